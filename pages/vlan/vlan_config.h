// The VLAN configuration page's logic: the VLAN list and the two status labels, the selected
// row's entry, and the table operations (delete one, delete all, home VLAN). Add and edit
// happen in the edit form (vlan_edit.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pages/common/page_context.h"
#include "pages/common/table.h"
#include "pages/vlan/vlan_model.h"

namespace brisfell {

inline constexpr const char* kSelectVlanToEdit = "Please select Vlan to Edit!";
inline constexpr const char* kSelectVlanToDelete = "Please select a VLAN to Delete!";
inline constexpr const char* kMissingSelectionTitle = "Error";

// What a VLAN operation did, so that the page knows whether to refresh (after kWritten and
// kWriteFailed; the edit form's OK refreshes whatever happened) and the command line how to exit.
enum class VlanOutcome {
  kNothing,      // no adapter or switch, or no usable entry: nothing read or written
  kNoSelection,  // the missing selection was reported
  kReadFailed,   // a register read failed: nothing written, nothing shown
  kRefused,      // the refusal's message was shown: nothing written
  kDeclined,     // the operator answered No
  kWriteFailed,  // the adapter could not be opened, or a write could not be sent
  kWritten,      // the writes were sent
};

struct VlanList {
  Table table;  // the four columns always; rows only after a successful read
  bool read = false;  // false: the list is empty and the labels keep what they showed
  bool vlanFunction = false;  // VlanControl bit 0
  bool tagVlan = false;       // VlanControl bit 4
  std::vector<int> rowEntries;  // the entry index of each row
};

// "Enable" or "Disable".
const char* EnableText(bool on);
// The list's four columns, without rows.
Table VlanListColumns();
// The rows of the listed entries of `entries` on a switch of `portCount` ports whose shown
// position f is chip port portToChip[f].
VlanList BuildVlanList(const VlanTable& entries, int portCount, const std::vector<int>& portToChip);
// Reads VlanControl and the 32 entries of the current switch and builds the list.
VlanList RefreshVlanList(PageContext& ctx);

// The entry index named by a row's first cell ("Vlan %d"): the number after its fourth
// character, minus 1. Text without a number gives -1.
int VlanEntryFromRowText(const std::string& firstCell);

// Add Vlan: false when no switch is selected; otherwise the edit form is to open for a new VLAN.
bool BeginAddVlan(PageContext& ctx);
// Edit Vlan (reportMissing) and the list double-click: sets ctx.selectedListRow from the
// selected row and returns the entry the edit form is to open on, if any.
std::optional<int> BeginEditVlan(PageContext& ctx, const std::optional<std::string>& selectedFirstCell,
                                 bool reportMissing);

// Delete Vlan for the selected row's first cell (nullopt: no row selected).
VlanOutcome DeleteSelectedVlan(PageContext& ctx, const std::optional<std::string>& selectedFirstCell);
// Clears entry 0-30 and rebuilds the table, without asking.
VlanOutcome DeleteVlanEntry(PageContext& ctx, int entry);
// Writes the "Delete All" layout, without asking.
VlanOutcome DeleteAllVlans(PageContext& ctx);

// The question asked before the home-VLAN layout; the overlapping ports by their shown
// numbers, in either order.
std::string HomeVlanQuestion(int portCount, int overlapA, int overlapB);
// Asks, and on Yes writes the home-VLAN layout.
VlanOutcome ResetToHomeVlan(PageContext& ctx);

}  // namespace brisfell
