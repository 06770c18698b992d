#include "pages/common/trunk_groups.h"

#include <algorithm>

namespace brisfell {
namespace {

// First chip port of each fixed group; a group runs to the next one's first port.
constexpr std::array<int, kMaxTrunkGroups + 1> kFixedFirstChip = {0, 2, 4, 8, 12, 16, 20, 24, 26};

const std::array<const char*, kMaxTrunkGroups> kFixedFaultLines = {
    "{port 0,1}\r\n",         "{port 2,3}\r\n",         "{port 4,5,6,7}\r\n",     "{port 8,9,10,11}\r\n",
    "{port 12,13,14,15}\r\n", "{port 16,17,18,19}\r\n", "{port 20,21,22,23}\r\n", "{port G0,G1}\r\n"};

int Ports(const SwitchRecord& record) { return std::clamp(record.portCount, 0, kMaxChipPorts); }

bool ValidGroup(const SwitchRecord& record, int group) { return group >= 1 && group <= TrunkGroupCount(record); }

std::string JoinedPortNumbers(const SwitchRecord& record, int group) {
  std::string out;
  for (int chip : TrunkMemberChips(record, group))
    out += (out.empty() ? "" : ", ") + Format("%d", record.chipToPort[chip] + 1);
  return out;
}

}  // namespace

const std::array<const char*, kMaxTrunkGroups> kFixedTrunkCaptions = {
    "Trunk 1 (port 1,2)",         "Trunk 2 (port 3,4)",          "Trunk 3 (port 5,6,7,8)",
    "Trunk 4 (port 9,10,11,12)",  "Trunk 5 (port 13,14,15,16)",  "Trunk 6 (port 17,18,19,20)",
    "Trunk 7 (port 21,22,23,24)", "Trunk 8 (port G1,G2)"};

bool HasFixedTrunkGroups(const SwitchRecord& record) { return record.portCount > 24; }

int TrunkGroupCount(const SwitchRecord& record) {
  if (HasFixedTrunkGroups(record)) return kMaxTrunkGroups;
  // A model table shorter than n / 4 only offers the groups it lists.
  return std::clamp<int>(std::min<int>(record.portCount / 4, static_cast<int>(record.trunkGroups.size())), 0,
                         kMaxTrunkGroups);
}

int TrunkEnableBit(const SwitchRecord& record, int group) {
  return HasFixedTrunkGroups(record) ? group - 1 : group;
}

std::vector<int> TrunkMemberChips(const SwitchRecord& record, int group) {
  std::vector<int> chips;
  if (!ValidGroup(record, group)) return chips;
  if (HasFixedTrunkGroups(record)) {
    for (int k = kFixedFirstChip[group - 1]; k < kFixedFirstChip[group] && k < Ports(record); ++k) chips.push_back(k);
    return chips;
  }
  for (uint8_t chip : record.trunkGroups[static_cast<size_t>(group - 1)])
    if (chip < Ports(record)) chips.push_back(chip);
  return chips;
}

int TrunkGroupOfChip(const SwitchRecord& record, int chip) {
  for (int g = 1; g <= TrunkGroupCount(record); ++g) {
    const auto members = TrunkMemberChips(record, g);
    if (std::find(members.begin(), members.end(), chip) != members.end()) return g;
  }
  return 0;
}

std::string TrunkBoxCaption(const SwitchRecord& record, int group) {
  if (HasFixedTrunkGroups(record))
    return group >= 1 && group <= kMaxTrunkGroups ? kFixedTrunkCaptions[static_cast<size_t>(group - 1)] : "";
  if (!ValidGroup(record, group)) return "";
  return Format("Trunk %d (port ", group) + JoinedPortNumbers(record, group) + ")";
}

int TrunkFaultBit(const SwitchRecord& record, int group) {
  return HasFixedTrunkGroups(record) ? 4 + group : 5 + group;
}

std::string TrunkFaultLine(const SwitchRecord& record, int group) {
  if (HasFixedTrunkGroups(record))
    return group >= 1 && group <= kMaxTrunkGroups ? kFixedFaultLines[static_cast<size_t>(group - 1)] : "";
  if (!ValidGroup(record, group)) return "";
  return "{port " + JoinedPortNumbers(record, group) + "}\r\n";
}

std::vector<std::string> TrunkSettingTexts(const SwitchRecord& record, uint32_t trunkEnable) {
  const int n = Ports(record);
  std::vector<std::string> texts(static_cast<size_t>(n));
  const bool fixed = HasFixedTrunkGroups(record);
  for (int g = 1; g <= TrunkGroupCount(record); ++g) {
    const bool on = (trunkEnable >> TrunkEnableBit(record, g)) & 1;
    const std::string text = on ? (fixed ? std::string("Trunked") : Format("Trunk %d", g)) : "none";
    for (int chip : TrunkMemberChips(record, g)) texts[record.chipToPort[chip]] = text;
  }
  return texts;
}

}  // namespace brisfell
