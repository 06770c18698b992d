// Trunk groups, the one place that knows them. Switches with more than 24 ports have eight
// fixed groups (group g enabled by bit g - 1 of the trunk register); smaller models take their
// first n / 4 groups from the model's table (group g enabled by bit g). The trunking dialog, the
// port lists and the fault page all go through here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/switch_record.h"

namespace brisfell {

constexpr int kMaxTrunkGroups = 8;

// The eight fixed groups of switches with more than 24 ports.
bool HasFixedTrunkGroups(const SwitchRecord& record);
// How many groups the switch offers (8 fixed, or n / 4 from the model's table).
int TrunkGroupCount(const SwitchRecord& record);
// The trunk register bit that enables group g (1-based).
int TrunkEnableBit(const SwitchRecord& record, int group);
// Group g's chip ports, in table order.
std::vector<int> TrunkMemberChips(const SwitchRecord& record, int group);
// The group a chip port belongs to (1-based), 0 for none.
int TrunkGroupOfChip(const SwitchRecord& record, int chip);

// The trunking dialog's caption for group g: "Trunk 1 (port 1,2)" for the fixed groups, else
// "Trunk %d (port " with the members' shown numbers joined by ", " and ")".
std::string TrunkBoxCaption(const SwitchRecord& record, int group);
// The captions of the eight fixed groups.
extern const std::array<const char*, kMaxTrunkGroups> kFixedTrunkCaptions;

// The fault register bit that reports group g, and the line the fault page shows for it.
int TrunkFaultBit(const SwitchRecord& record, int group);
std::string TrunkFaultLine(const SwitchRecord& record, int group);

// "Trunk Setting" texts indexed by shown row: "Trunked"/"none" for the fixed groups,
// "Trunk %d"/"none" for a model's groups, "" for a row in no group.
std::vector<std::string> TrunkSettingTexts(const SwitchRecord& record, uint32_t trunkEnable);

}  // namespace brisfell
