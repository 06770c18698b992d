#include "pages/system/fault_info_logic.h"

#include <algorithm>

#include "pages/common/fields.h"
#include "pages/common/trunk_groups.h"

namespace brisfell {

using reg_bit::kGigaPhy1Missing;
using reg_bit::kGigaPhy2Missing;
using reg_bit::kLoopFault;
using reg_bit::kTrunkFault;

void DecodeFaults(const SwitchRecord& record, uint32_t faults, FaultInfo& info) {
  info.portCount = record.portCount;
  info.trunkFault = kTrunkFault.Get(faults) ? "Error" : "Pass";
  std::string groups;
  for (int g = 1; g <= TrunkGroupCount(record); ++g)
    if ((faults >> TrunkFaultBit(record, g)) & 1) groups += TrunkFaultLine(record, g);
  info.faultGroups = groups;
  if (HasFixedTrunkGroups(record)) {
    info.gigaPhy1 = kGigaPhy1Missing.Get(faults) ? "Not Exist" : "Exist";
    info.gigaPhy2 = kGigaPhy2Missing.Get(faults) ? "Not Exist" : "Exist";
  }
  info.loopFault = kLoopFault.Get(faults) ? "Error" : "Pass";
  if (!kLoopFault.Get(faults)) info.loopPorts = 0;
}

Outcome RefreshFaultInfo(PageContext& context, FaultInfo& info) {
  if (!context.Ready()) return Outcome::NothingToDo();
  const SwitchRecord* record = context.Record();
  if (!record) return Outcome::NothingToDo();
  const int sw = context.Switch();
  info.portCount = record->portCount;
  AdapterIo io(context.engine);
  uint32_t faults = 0;
  if (!context.engine.ReadRegister(sw, kRegFaultStatus, faults, kRegisterTimeoutMs))
    return Outcome::ReadFailed("could not read the fault register");
  DecodeFaults(*record, faults, info);
  // The loop ports are read only when the switch reports a loop.
  if (!kLoopFault.Get(faults)) return Outcome::Done();
  uint32_t loops = 0;
  if (!context.engine.ReadRegister(sw, kRegLoopPorts, loops, kRegisterTimeoutMs))
    return Outcome::ReadFailed("could not read the loop ports");
  uint32_t shown = 0;
  for (int i = 0; i < std::clamp(record->portCount, 0, kMaxChipPorts); ++i)
    if (port_field::kLoopPort.Get(loops, record->portToChip[i])) shown |= 1u << i;
  info.loopPorts = shown;
  return Outcome::Done();
}

}  // namespace brisfell
