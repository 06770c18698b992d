#include "pages/ports/trunk_logic.h"

#include <algorithm>

#include "pages/ports/port_registers.h"

namespace brisfell {
std::array<std::string, kMaxTrunkBoxes> TrunkCaptions(const SwitchRecord* record) {
  std::array<std::string, kMaxTrunkBoxes> captions;
  for (int i = 0; i < kMaxTrunkBoxes; ++i) captions[i] = kFixedTrunkCaptions[i];
  if (!record) return captions;
  for (int g = 1; g <= TrunkGroupCount(*record); ++g) captions[g - 1] = TrunkBoxCaption(*record, g);
  return captions;
}

std::array<bool, kMaxTrunkBoxes> TrunkTicks(int portCount, int groups, uint32_t trunkEnable) {
  std::array<bool, kMaxTrunkBoxes> ticked{};
  for (int i = 1; i <= std::min(groups, kMaxTrunkBoxes); ++i)
    ticked[i - 1] = (trunkEnable >> (portCount > 24 ? i - 1 : i)) & 1;
  return ticked;
}

uint32_t TrunkValue(int portCount, int groups, uint32_t read, const std::array<bool, kMaxTrunkBoxes>& ticked) {
  groups = std::min(groups, kMaxTrunkBoxes);
  if (portCount > 24) {
    uint32_t value = 0;
    for (int i = 1; i <= groups; ++i)
      if (ticked[i - 1]) value |= 1u << (i - 1);
    return value;
  }
  uint32_t value = read;
  for (int g = 1; g <= groups; ++g) {
    value &= ~(1u << g);
    if (ticked[g - 1]) value |= 1u << g;
  }
  return value;
}

TrunkDialogState OpenTrunkDialog(PageContext& context) {
  TrunkDialogState state;
  const SwitchRecord* record = context.Record();
  state.portCount = context.PortCount();
  state.captions = TrunkCaptions(record);
  state.visibleBoxes = record ? TrunkGroupCount(*record) : 0;
  if (!context.Ready()) return state;
  uint32_t value = 0;
  {
    AdapterIo io(context.engine);
    if (!context.engine.ReadRegister(context.Switch(), kRegTrunkEnable, value, kRegisterTimeoutMs)) return state;
  }
  state.ticked = TrunkTicks(state.portCount, state.visibleBoxes, value);
  state.read = true;
  return state;
}

bool ApplyTrunkDialog(PageContext& context, const TrunkDialogState& state,
                      const std::array<bool, kMaxTrunkBoxes>& ticked) {
  if (!context.Ready()) return false;
  Engine& engine = context.engine;
  const int sw = context.Switch();
  AdapterIo io(engine);
  uint32_t read = 0;
  // Above 24 ports the register is the eight boxes and nothing else, so it is not read.
  if (state.portCount <= 24 && !engine.ReadRegister(sw, kRegTrunkEnable, read, kRegisterTimeoutMs)) return false;
  engine.WriteRegister(sw, kRegTrunkEnable, TrunkValue(state.portCount, state.visibleBoxes, read, ticked));
  return true;
}

}  // namespace brisfell
