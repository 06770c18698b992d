// The Tag Control page's logic: every port's output tag mode with its VLAN index and that
// entry's VLAN ID, and the one-port dialog that changes the tag mode. The command line sets
// the mode of many ports at once through the same rule: read, replace two bits, write only
// what changed.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "pages/common/outcome.h"
#include "pages/common/page_context.h"
#include "pages/common/table.h"

namespace brisfell {

constexpr int kTagModeCount = 4;
// Indexed by the 2-bit mode: 0 remove, 1 insert into high-priority only, 2 insert into all,
// 3 don't touch.
inline constexpr std::array<const char*, kTagModeCount> kTagModeTexts = {
    "Remove tag", "Insert tag (high priority only)", "Insert tag (all frame)", "Don't touch"};
// The dialog's radio buttons, in the same order, so a button's position is its mode.
inline constexpr std::array<const char*, kTagModeCount> kTagModeChoices = {
    "Remove Tag (Remove tag from tagged packet)",
    "Insert Tag (Insert tag into untagged high-priority packet only)",
    "Insert Tag (Insert tag into all untagged packet)",
    "Don't Touch (Not modify the packet)"};
// The command line's words for the modes, in the same order.
inline constexpr std::array<const char*, kTagModeCount> kTagModeWords = {"remove", "insert-high", "insert-all",
                                                                        "keep"};
inline constexpr std::array<int, 4> kTagControlWidths = {40, 250, 80, 80};

inline constexpr const char* kTagDialogCaptionFormat = "Port %d Tag/Untag Configuration";
inline constexpr const char* kTagDialogGroup = "Port's VLAN Output Priority-Tagging Control";

// The list's four columns, without rows.
Table TagControlColumns();

// The registers the page reads, as read.
struct TagControlRegisters {
  std::vector<uint32_t> vlanIndex;        // 0x030C.., n/2 words
  std::vector<uint32_t> tagControl;       // 0x0319.., (n+7)/8 words
  std::array<uint32_t, 32> vlanIds{};     // entry k's VLAN ID register
};

// One row per shown port, filled through the switch's port map.
Table DecodeTagControl(const SwitchRecord& record, const TagControlRegisters& registers);
// Refresh: the index words, the tag words, then the 32 VLAN ID registers. `table` gets the
// columns always and the rows only when every read succeeded.
Outcome RefreshTagControl(PageContext& context, Table& table);

// "Config" (message when nothing is selected) or a double-click (none): sets the shared
// selected row and tells whether the dialog should open.
bool TagConfigRequested(PageContext& context, int selectionMark, bool fromButton);

struct TagDialogState {
  int row = -1;   // shown position
  int chip = -1;  // its chip port
  std::string title;
  int mode = -1;  // as read when the dialog opened; -1 when the read failed
};

// Opens the dialog on context.selectedListRow and reads the port's mode.
TagDialogState OpenTagDialog(PageContext& context);
// OK: reads the port's tag register again and writes it only when `mode` changes it. No mode
// (-1) writes nothing: the two bits would have no value to take.
Outcome ApplyTagDialog(PageContext& context, const TagDialogState& state, int mode);

// The tag registers with chip ports `chips` set to `mode`; every other bit as given.
std::map<uint16_t, uint32_t> WithTagMode(std::map<uint16_t, uint32_t> registers, const std::vector<int>& chips,
                                         int mode);
// Many ports at once, as the dialog's OK for each of them: each tag register involved is read
// once (before anything is written) and written once, only when its value changes.
// `before`/`after` receive the values read and the values the writes leave.
Outcome ApplyTagModes(PageContext& context, const std::vector<int>& positions, int mode,
                      std::map<uint16_t, uint32_t>* before = nullptr, std::map<uint16_t, uint32_t>* after = nullptr);

// The mode a command-line word names (one of kTagModeWords, case-insensitive), -1 for none.
int TagModeFromWord(const std::string& word);

}  // namespace brisfell
