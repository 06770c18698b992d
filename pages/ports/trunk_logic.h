// The trunking dialog: one check box per trunk group of the model, backed by the group
// enable bits of 0x0307.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "pages/common/page_context.h"
#include "pages/common/trunk_groups.h"

namespace brisfell {

constexpr int kMaxTrunkBoxes = kMaxTrunkGroups;

struct TrunkDialogState {
  int portCount = 0;
  int visibleBoxes = kMaxTrunkBoxes;
  std::array<std::string, kMaxTrunkBoxes> captions;
  std::array<bool, kMaxTrunkBoxes> ticked{};
  bool read = false;  // the boxes came from the switch
};

// Box captions: the fixed ones above 24 ports, else built from the model's table through the
// port map ("Trunk %d (port a, b, c, d)").
std::array<std::string, kMaxTrunkBoxes> TrunkCaptions(const SwitchRecord* record);
// Which boxes a 0x0307 value ticks.
std::array<bool, kMaxTrunkBoxes> TrunkTicks(int portCount, int groups, uint32_t trunkEnable);
// The value OK writes: above 24 ports only the boxes (bits 0-7, all other bits 0); otherwise
// the value read with bits 1..groups replaced by the boxes.
uint32_t TrunkValue(int portCount, int groups, uint32_t read, const std::array<bool, kMaxTrunkBoxes>& ticked);

// Opening: captions for the current switch and the boxes from 0x0307 when it can be read.
TrunkDialogState OpenTrunkDialog(PageContext& context);
// OK: writes 0x0307 (after a fresh read on switches of 24 ports or fewer). False when nothing
// was written (no switch, or the read failed).
bool ApplyTrunkDialog(PageContext& context, const TrunkDialogState& state,
                      const std::array<bool, kMaxTrunkBoxes>& ticked);

}  // namespace brisfell
