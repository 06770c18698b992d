// The VLAN edit form's logic: what the form shows when it opens (for a new VLAN or an
// existing entry) and what OK does with the operator's choices.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "pages/common/page_context.h"
#include "pages/vlan/vlan_config.h"
#include "pages/vlan/vlan_model.h"

namespace brisfell {

inline constexpr const char* kAddVlanCaption = "Add New Vlan";
inline constexpr const char* kEditVlanCaptionFormat = "Edit Vlan %d";
inline constexpr const char* kNoPortSelected = "No port selected, nothing changed!";

constexpr int kVlanPortBased = 0;
constexpr int kVlanTagBased = 1;

struct VlanEditForm {
  int entry = -1;  // the entry edited; -1 for a new VLAN
  int portCount = 0;
  std::string caption;
  std::array<bool, kMaxChipPorts> checked{};  // by shown port position
  int type = -1;                              // kVlanPortBased, kVlanTagBased, -1 none chosen
  std::string vlanIdText;
  bool vlanIdEnabled = true;
};

// Opens the form on ctx.selectedListRow: a new VLAN (-1), or the entry's members, type and
// VLAN ID as read from the switch. A failed read leaves only the caption.
VlanEditForm InitVlanEditForm(PageContext& ctx);

// "Port-Based" disables the VLAN ID field, "Tag-Based" enables it.
void ChooseVlanType(VlanEditForm& form, int type);
// "All" and "None": the check states of the switch's ports.
void SetAllPorts(VlanEditForm& form, bool checked);

// The decimal value of the VLAN ID field: 0 when empty; large values saturate, so that they
// stay out of range rather than wrap into it.
uint32_t ParseVlanIdText(const std::string& text);

// OK: checks the choices, merges them into the switch's VLAN table and writes what changed.
// Refusals are shown through ctx.prompt with title "ERROR".
VlanOutcome ApplyVlanEdit(PageContext& ctx, const VlanEditForm& form);

}  // namespace brisfell
