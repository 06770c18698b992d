#include "pages/vlan/vlan_model.h"

namespace brisfell {

namespace {

constexpr uint32_t kWordMask = 0xFFFF;
constexpr uint32_t kIndexFieldMask = 0x1F;

bool ValidPortCount(int n) { return n > 0 && n <= kMaxChipPorts; }

bool Contains(uint32_t outer, uint32_t inner) { return (inner & ~outer) == 0; }

bool NonEmptyPortBased(const VlanEntryValue& e) { return e.PortBased() && e.members != 0; }

// A port-based entry holding all members of another is a combined entry from an earlier
// rebuild; it is dropped here and rebuilt below if some port still needs it.
void RemoveCombinedEntries(VlanTable& t) {
  for (int k = 0; k < kOperatorEntries; ++k) {
    if (!NonEmptyPortBased(t[k])) continue;
    for (int j = 0; j < kOperatorEntries; ++j) {
      if (j != k && NonEmptyPortBased(t[j]) && Contains(t[k].members, t[j].members)) {
        t[k] = {};
        break;
      }
    }
  }
}

// No port-based VLAN may contain another, or it would be taken for a combined entry: the
// contained one goes (of two equal ones, the lower-numbered).
void RemoveContainedVlans(VlanTable& t) {
  for (int k = 0; k < kOperatorEntries; ++k) {
    if (!NonEmptyPortBased(t[k])) continue;
    for (int j = 0; j < kOperatorEntries; ++j) {
      if (j != k && NonEmptyPortBased(t[j]) && Contains(t[j].members, t[k].members)) {
        t[k] = {};
        break;
      }
    }
  }
}

void AppendEntryWrites(VlanWrites& out, int portCount, int k, uint32_t members, bool membersChanged,
                       uint32_t vlanId, bool idChanged) {
  if (membersChanged) {
    out.push_back({VlanMembersLowRegister(k), members & kWordMask});
    if (HasHighMembers(portCount)) out.push_back({VlanMembersHighRegister(k), (members >> 16) & kWordMask});
  }
  if (idChanged) out.push_back({VlanIdRegister(k), vlanId & kVlanIdMask});
}

}  // namespace

uint32_t AllPortsMask(int portCount) {
  if (portCount <= 0) return 0;
  if (portCount >= 32) return 0xFFFFFFFFu;
  return (1u << portCount) - 1;
}

int PortVlanIndexWords(int portCount) { return portCount / 2; }
int PortTagControlWords(int portCount) { return (portCount + 7) / 8; }

VlanImage VlanImage::Empty(int portCount) {
  VlanImage image;
  image.portCount = portCount;
  image.allPorts = AllPortsMask(portCount);
  image.portVlanIndex.assign(static_cast<size_t>(PortVlanIndexWords(portCount)), 0);
  image.portTagControl.assign(static_cast<size_t>(PortTagControlWords(portCount)), 0);
  return image;
}

int VlanImage::PortIndex(int chipPort) const {
  const auto word = static_cast<size_t>(chipPort / 2);
  if (chipPort < 0 || word >= portVlanIndex.size()) return -1;
  return static_cast<int>((portVlanIndex[word] >> (chipPort % 2 * 8)) & kIndexFieldMask);
}

std::optional<VlanImage> ReadVlanImage(Engine& engine, int switchIndex) {
  const int n = engine.PortCount(switchIndex);
  if (!ValidPortCount(n)) return std::nullopt;
  VlanImage image = VlanImage::Empty(n);

  // Every register in one batch, in the order they were always read.
  std::vector<uint16_t> regs = {kRegVlanControl};
  for (size_t i = 0; i < image.portVlanIndex.size(); ++i) regs.push_back(static_cast<uint16_t>(kRegPortVlanIndex + i));
  for (size_t i = 0; i < image.portTagControl.size(); ++i) regs.push_back(static_cast<uint16_t>(kRegPortTagControl + i));
  for (uint16_t r : VlanTableRegisters(n)) regs.push_back(r);
  std::map<uint16_t, uint32_t> v;
  {
    AdapterIo io(engine);
    if (!io.ok() || !engine.ReadRegisters(switchIndex, regs, v)) return std::nullopt;
  }
  image.vlanControl = v[kRegVlanControl] & kWordMask;
  for (size_t i = 0; i < image.portVlanIndex.size(); ++i)
    image.portVlanIndex[i] = v[static_cast<uint16_t>(kRegPortVlanIndex + i)] & kWordMask;
  for (size_t i = 0; i < image.portTagControl.size(); ++i)
    image.portTagControl[i] = v[static_cast<uint16_t>(kRegPortTagControl + i)] & kWordMask;
  DecodeVlanTable(v, n, image.allPorts, image.entries);
  return image;
}

std::vector<uint16_t> VlanTableRegisters(int portCount) {
  std::vector<uint16_t> regs;
  for (int k = 0; k < kVlanEntries; ++k) {
    regs.push_back(VlanMembersLowRegister(k));
    if (HasHighMembers(portCount)) regs.push_back(VlanMembersHighRegister(k));
    regs.push_back(VlanIdRegister(k));
  }
  return regs;
}

void DecodeVlanTable(const std::map<uint16_t, uint32_t>& values, int portCount, uint32_t allPorts, VlanTable& entries) {
  auto get = [&](uint16_t reg) {
    auto it = values.find(reg);
    return it == values.end() ? 0u : it->second & kWordMask;
  };
  for (int k = 0; k < kVlanEntries; ++k) {
    const uint32_t high = HasHighMembers(portCount) ? get(VlanMembersHighRegister(k)) : 0;
    entries[k].members = (get(VlanMembersLowRegister(k)) | high << 16) & allPorts;
    entries[k].vlanId = get(VlanIdRegister(k)) & kVlanIdMask;
  }
}

bool IsListedVlan(const VlanTable& entries, int k) {
  if (k < 0 || k >= kOperatorEntries || entries[k].members == 0) return false;
  if (!entries[k].PortBased()) return true;
  for (int j = 0; j < kOperatorEntries; ++j) {
    if (j != k && NonEmptyPortBased(entries[j]) && Contains(entries[k].members, entries[j].members)) return false;
  }
  return true;
}

VlanRebuild RebuildVlanTable(const VlanImage& image, const VlanChange& change) {
  VlanRebuild out;
  out.after = image;
  const int n = image.portCount;
  const uint32_t all = image.allPorts;
  const bool isSet = change.kind == VlanChange::Kind::Set;
  if (!ValidPortCount(n) || change.entry < (isSet ? -1 : 0) || change.entry >= kOperatorEntries) return out;

  VlanTable t = image.entries;
  RemoveCombinedEntries(t);

  if (!isSet) {
    t[change.entry] = {};
  } else {
    int s = change.entry;
    if (s == -1) {
      for (int k = 0; k < kOperatorEntries && s == -1; ++k)
        if (t[k].members == 0) s = k;
      if (s == -1) {
        out.failure = kMaxVlansReached;
        return out;
      }
    }
    if (change.tagBased) {
      if (change.vlanId < 1 || change.vlanId > kMaxVlanId) {
        out.failure = kInvalidVlanId;
        return out;
      }
      for (int j = 0; j < kVlanEntries; ++j) {
        if (j != s && t[j].vlanId == change.vlanId) {
          out.failure = Format(kSameTagFormat, j + 1);
          return out;
        }
      }
      t[s] = {change.members & all, change.vlanId};
    } else {
      t[s] = {change.members & all, 0};
    }
    RemoveContainedVlans(t);
    out.entry = s;
  }

  // Each port's index: its only port-based VLAN, or a combined entry for the union of all of
  // them, then (below) its lowest tag-based VLAN, else the unassigned entry.
  std::array<int, kMaxChipPorts> index{};
  std::array<int, kMaxChipPorts> combinedRef{};
  std::vector<uint32_t> combined;
  for (int p = 0; p < n; ++p) {
    index[p] = kUnassignedEntry;
    combinedRef[p] = -1;
    const uint32_t bit = 1u << p;
    int count = 0, only = -1;
    uint32_t unionSet = 0;
    for (int k = 0; k < kOperatorEntries; ++k) {
      if (NonEmptyPortBased(t[k]) && (t[k].members & bit)) {
        ++count;
        only = k;
        unionSet |= t[k].members;
      }
    }
    if (count == 1) {
      index[p] = only;
    } else if (count > 1) {
      int ref = -1;
      for (size_t i = 0; i < combined.size(); ++i)
        if (combined[i] == unionSet) ref = static_cast<int>(i);
      if (ref == -1) {
        combined.push_back(unionSet);
        ref = static_cast<int>(combined.size()) - 1;
      }
      combinedRef[p] = ref;
    }
  }

  // Combined entries fill from the top; entry 0 is kept for the operator.
  for (size_t i = 0; i < combined.size(); ++i) {
    int place = -1;
    for (int k = kOperatorEntries - 1; k >= 1 && place == -1; --k)
      if (t[k].members == 0) place = k;
    if (place == -1) {
      out.failure = kMaxVlansReached;
      out.entry = -1;
      return out;
    }
    t[place] = {combined[i], 0};
    for (int p = 0; p < n; ++p)
      if (combinedRef[p] == static_cast<int>(i)) index[p] = place;
  }

  for (int k = 0; k < kOperatorEntries; ++k) {
    if (t[k].PortBased() || t[k].members == 0) continue;
    for (int p = 0; p < n; ++p)
      if ((t[k].members & (1u << p)) && index[p] == kUnassignedEntry) index[p] = k;
  }

  std::vector<uint32_t> words = image.portVlanIndex;
  for (int p = 0; p < n; ++p) {
    const int shift = p % 2 * 8;
    uint32_t& w = words[static_cast<size_t>(p / 2)];
    w = (w & ~(kIndexFieldMask << shift)) | (static_cast<uint32_t>(index[p]) << shift);
  }

  uint32_t used = 0;
  for (int k = 0; k < kOperatorEntries; ++k) used |= t[k].members;
  t[kUnassignedEntry] = {all & ~used, 0};

  for (size_t i = 0; i < words.size(); ++i)
    if (words[i] != image.portVlanIndex[i])
      out.writes.push_back({static_cast<uint16_t>(kRegPortVlanIndex + i), words[i]});
  for (int k = 0; k < kVlanEntries; ++k) {
    AppendEntryWrites(out.writes, n, k, t[k].members, t[k].members != image.entries[k].members, t[k].vlanId,
                      t[k].vlanId != image.entries[k].vlanId);
  }

  out.after.portVlanIndex = words;
  out.after.entries = t;
  return out;
}

VlanWrites DeleteAllLayout(int portCount) {
  VlanWrites out;
  if (!ValidPortCount(portCount)) return out;
  for (int i = 0; i < PortVlanIndexWords(portCount); ++i)
    out.push_back({static_cast<uint16_t>(kRegPortVlanIndex + i), 0x1F1F});
  for (int k = 0; k < kVlanEntries; ++k)
    AppendEntryWrites(out, portCount, k, k == kUnassignedEntry ? AllPortsMask(portCount) : 0, true, 0, true);
  return out;
}

VlanWrites HomeVlanLayout(int portCount) {
  VlanWrites out;
  if (!ValidPortCount(portCount) || portCount < 3) return out;
  const int n = portCount;
  const uint32_t all = AllPortsMask(n);
  const uint32_t overlap = (1u << (n - 2)) | (1u << (n - 1));
  out.push_back({kRegVlanControl, 0x0001});
  for (int i = 0; i < PortVlanIndexWords(n); ++i)
    out.push_back({static_cast<uint16_t>(kRegPortVlanIndex + i), static_cast<uint32_t>(2 * i) | static_cast<uint32_t>(2 * i + 1) << 8});
  for (int i = 0; i < PortTagControlWords(n); ++i)
    out.push_back({static_cast<uint16_t>(kRegPortTagControl + i), 0xFFFF});
  for (int k = 0; k < kVlanEntries; ++k) {
    uint32_t members = 0;
    if (k < n - 2)
      members = (1u << k) | overlap;
    else if (k < n)
      members = all;
    AppendEntryWrites(out, n, k, members, true, 0, true);
  }
  return out;
}

bool WriteVlanRegisters(Engine& engine, int switchIndex, const VlanWrites& writes) {
  AdapterIo io(engine);
  if (!io.ok()) return false;
  for (const VlanWrite& w : writes)
    if (!engine.WriteRegister(switchIndex, w.reg, w.value)) return false;
  return true;
}

void ApplyWrites(VlanImage& image, const VlanWrites& writes) {
  for (const VlanWrite& w : writes) {
    const uint32_t v = w.value & kWordMask;
    if (w.reg == kRegVlanControl) {
      image.vlanControl = v;
    } else if (w.reg >= kRegPortVlanIndex && w.reg < kRegPortVlanIndex + image.portVlanIndex.size()) {
      image.portVlanIndex[w.reg - kRegPortVlanIndex] = v;
    } else if (w.reg >= kRegPortTagControl && w.reg < kRegPortTagControl + image.portTagControl.size()) {
      image.portTagControl[w.reg - kRegPortTagControl] = v;
    } else if (w.reg >= kRegVlanTable && w.reg < kRegVlanTable + 3 * kVlanEntries) {
      VlanEntryValue& e = image.entries[(w.reg - kRegVlanTable) / 3];
      switch ((w.reg - kRegVlanTable) % 3) {
        case 0:
          e.members = ((e.members & ~kWordMask) | v) & image.allPorts;
          break;
        case 1:
          if (HasHighMembers(image.portCount)) e.members = ((e.members & kWordMask) | v << 16) & image.allPorts;
          break;
        default:
          e.vlanId = v & kVlanIdMask;
      }
    }
  }
}

}  // namespace brisfell
