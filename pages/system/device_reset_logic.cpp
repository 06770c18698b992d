#include "pages/system/device_reset_logic.h"

namespace brisfell {
namespace {

Outcome SendReset(PageContext& context, uint32_t command) {
  AdapterIo io(context.engine);
  if (!io.ok()) return Outcome::ReadFailed("the adapter could not be opened");
  context.engine.WriteRegister(context.Switch(), kRegReset, command);
  return Outcome::Done();
}

}  // namespace

bool HardwareResetOffered(const SwitchRecord* record) {
  return !record || record->vendorId != kNoHardwareResetVendor;
}

Outcome SoftReset(PageContext& context) {
  if (!context.Ready()) return Outcome::NothingToDo();
  return SendReset(context, kSoftResetCommand);
}

Outcome HardwareReset(PageContext& context) {
  if (!context.Ready()) return Outcome::NothingToDo();
  if (!HardwareResetOffered(context.Record()))
    return Outcome::Refused("this switch offers no hardware reset (use the soft reset)");
  if (!context.prompt.AskYesNo(kApplicationTitle, kHardwareResetQuestion, PromptIcon::None))
    return Outcome::Declined();
  return SendReset(context, kHardwareResetCommand);
}

}  // namespace brisfell
