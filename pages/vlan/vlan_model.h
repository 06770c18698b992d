// The chip's VLAN registers and the procedures over them: reading them into an image,
// rebuilding the 32-entry table from the operator's change, and the two whole-table layouts.
// The computations are pure (image in, ordered register writes out) so that they can be
// checked without a switch; only ReadVlanImage and WriteVlanRegisters touch the wire.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace brisfell {

constexpr int kVlanEntries = 32;
constexpr int kOperatorEntries = 31;  // entries 0-30 hold VLANs and combined entries
constexpr int kUnassignedEntry = 31;  // ports in no other entry
constexpr uint32_t kVlanIdMask = 0x0FFF;
constexpr uint32_t kMaxVlanId = 4094;

inline constexpr const char* kVlanErrorTitle = "ERROR";
inline constexpr const char* kMaxVlansReached = "Failed!\nMaximum number of VLANs reached!\n";
inline constexpr const char* kInvalidVlanId = "Failed!\nInvalid VLAN ID (use 1-4094)!\n";
inline constexpr const char* kSameTagFormat = "Same Tag with VLAN %d!\n";

constexpr uint16_t VlanMembersLowRegister(int entry) { return static_cast<uint16_t>(kRegVlanTable + 3 * entry); }
constexpr uint16_t VlanMembersHighRegister(int entry) { return static_cast<uint16_t>(kRegVlanTable + 3 * entry + 1); }
constexpr uint16_t VlanIdRegister(int entry) { return static_cast<uint16_t>(kRegVlanTable + 3 * entry + 2); }

// The n low bits set.
uint32_t AllPortsMask(int portCount);
int PortVlanIndexWords(int portCount);   // n/2
int PortTagControlWords(int portCount);  // (n+7)/8
// The high member register exists only on chips with more than 16 ports.
inline bool HasHighMembers(int portCount) { return portCount > 16; }

struct VlanEntryValue {
  uint32_t members = 0;  // bit p = chip port p, within the all-ports mask
  uint32_t vlanId = 0;   // 0: port-based
  bool operator==(const VlanEntryValue&) const = default;
  bool PortBased() const { return vlanId == 0; }
};

using VlanTable = std::array<VlanEntryValue, kVlanEntries>;

// The VLAN registers of one switch as read.
struct VlanImage {
  int portCount = 0;
  uint32_t allPorts = 0;
  uint32_t vlanControl = 0;
  std::vector<uint32_t> portVlanIndex;   // registers 0x030C.., n/2 words
  std::vector<uint32_t> portTagControl;  // registers 0x0319.., (n+7)/8 words
  VlanTable entries{};

  // An empty image of the right shape for `portCount` ports.
  static VlanImage Empty(int portCount);
  // Chip port p's 5-bit VLAN index.
  int PortIndex(int chipPort) const;
};

struct VlanWrite {
  uint16_t reg = 0;
  uint32_t value = 0;
  bool operator==(const VlanWrite&) const = default;
};
using VlanWrites = std::vector<VlanWrite>;

// Reads the image of the current adapter's switch `switchIndex`: VlanControl, the index
// words, the tag words, then per entry its member registers and VLAN ID. Opens and closes the
// adapter; nullopt at the first failed read.
std::optional<VlanImage> ReadVlanImage(Engine& engine, int switchIndex);

// Whether entry k (0-30) is an operator VLAN: not empty, and not a port-based entry holding
// all members of another non-empty port-based entry (that shape is a combined entry).
bool IsListedVlan(const VlanTable& entries, int k);

// The VLAN table's registers entry by entry (members low, members high on the models with more
// than 16 ports, VLAN ID), and the entries as they hold them (members within `allPorts`).
std::vector<uint16_t> VlanTableRegisters(int portCount);
void DecodeVlanTable(const std::map<uint16_t, uint32_t>& values, int portCount, uint32_t allPorts, VlanTable& entries);

// The operator's change to the table.
struct VlanChange {
  enum class Kind { Delete, Set } kind = Kind::Set;
  int entry = -1;          // Delete: the entry to clear; Set: the entry edited, -1 for a new VLAN
  uint32_t members = 0;    // Set: chip-port member set, not empty
  bool tagBased = false;   // Set
  uint32_t vlanId = 0;     // Set, tag-based: as the operator gave it (checked here)
};

struct VlanRebuild {
  std::optional<std::string> failure;  // the refusal's message; nothing may be written
  VlanWrites writes;                   // the registers that change, in write order
  int entry = -1;                      // Set: the entry that received the change
  VlanImage after;                     // the image once the writes have landed
};

// Turns the image and the change into the table the chip must hold: removes the combined
// entries, applies the change (with the edit's checks and the removal of contained VLANs),
// recomputes every port's index and the combined and unassigned entries, and lists the
// writes of every register whose value differs from the one read.
VlanRebuild RebuildVlanTable(const VlanImage& image, const VlanChange& change);

// Every port's index 31, entries 0-30 empty, entry 31 all ports, every VLAN ID 0.
VlanWrites DeleteAllLayout(int portCount);
// Every port its own port-based VLAN overlapping at the last two chip ports.
VlanWrites HomeVlanLayout(int portCount);

// Opens the adapter, sends the writes in order and closes it; false when the adapter could not
// be opened or a write could not be sent (the rest is then not sent).
bool WriteVlanRegisters(Engine& engine, int switchIndex, const VlanWrites& writes);

// Applies writes to an image, as the chip would take them (tests and previews).
void ApplyWrites(VlanImage& image, const VlanWrites& writes);

}  // namespace brisfell
