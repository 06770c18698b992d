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
// The list and labels of an image read whole.
VlanList VlanListOf(const VlanImage& image, const std::vector<int>& portToChip);
// Shown position f of the current switch is chip port PortToChip(ctx)[f].
std::vector<int> PortToChip(PageContext& ctx);

// One field a VLAN operation changed. The list shows only the operator's VLANs; a rebuild also
// moves ports' VLAN indexes and the combined and unassigned entries, and these name them.
struct VlanFieldChange {
  uint16_t reg = 0;         // the register that holds it (a member set's low register)
  uint16_t highReg = 0;     // a member set's high register on chips with one, else 0
  std::string subject;      // "port 5", "Vlan 2", "entry 30 (combined)", "entry 31 (ports in no VLAN)"
  std::string setting;      // "VLAN index", "members", "VLAN ID", "tag mode", "value" (Vlan Control)
  std::string before;       // as shown: an index, port names ("1, 2, G1", "none"), an ID
  std::string after;
  uint32_t beforeValue = 0;  // the index, the chip-port member set, the ID
  uint32_t afterValue = 0;
  // "register 0x030D, port 3: VLAN index 31 -> 30"; "registers 0x0376 and 0x0377, ..."
  std::string Text() const;
};
// Every field that differs between two images of one switch: Vlan Control, port indexes and
// tag modes in chip-port order, then entries 0 to 31 (members, then VLAN ID).
std::vector<VlanFieldChange> DescribeVlanChanges(const VlanImage& before, const VlanImage& after,
                                                 const std::vector<int>& portToChip);
// The page's status line after a write: "VLAN registers written: " and each change.
std::string VlanChangesStatus(const std::vector<VlanFieldChange>& changes);
// Sends a rebuild's writes (read from `image`) and, once sent, shows what they changed.
VlanOutcome WriteRebuild(PageContext& ctx, const VlanImage& image, const VlanRebuild& rebuild);

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
