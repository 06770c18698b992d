#include "pages/vlan/vlan_config.h"

#include <algorithm>
#include <cctype>

#include "pages/common/form.h"
#include "pages/vlan/tag_control_logic.h"

namespace brisfell {

namespace {

// The list needs VlanControl and the entries only; the first failed read ends it.
bool ReadListRegisters(Engine& engine, int sw, int n, uint32_t& control, VlanTable& entries) {
  std::vector<uint16_t> regs = VlanTableRegisters(n);
  regs.insert(regs.begin(), kRegVlanControl);
  std::map<uint16_t, uint32_t> v;
  {
    AdapterIo io(engine);
    if (!io.ok() || !engine.ReadRegisters(sw, regs, v)) return false;
  }
  control = v[kRegVlanControl];
  DecodeVlanTable(v, n, AllPortsMask(n), entries);
  return true;
}

VlanOutcome Write(PageContext& ctx, const VlanWrites& writes) {
  return WriteVlanRegisters(ctx.engine, ctx.Switch(), writes) ? VlanOutcome::kWritten : VlanOutcome::kWriteFailed;
}

}  // namespace

// A rebuild changes more than the list shows: the status line names every register it wrote.
VlanOutcome WriteRebuild(PageContext& ctx, const VlanImage& image, const VlanRebuild& rebuild) {
  const VlanOutcome outcome = Write(ctx, rebuild.writes);
  if (outcome == VlanOutcome::kWritten)
    ctx.Status(VlanChangesStatus(DescribeVlanChanges(image, rebuild.after, PortToChip(ctx))));
  return outcome;
}

const char* EnableText(bool on) { return on ? "Enable" : "Disable"; }

Table VlanListColumns() {
  Table t;
  t.columns = {"Vlan No.", "Port/Tag based", "Vlan ID", "Port##{Vlan Member}"};
  return t;
}

VlanList BuildVlanList(const VlanTable& entries, int portCount, const std::vector<int>& portToChip) {
  VlanList list;
  list.table = VlanListColumns();
  for (int k = 0; k < kOperatorEntries; ++k) {
    if (!IsListedVlan(entries, k)) continue;
    const VlanEntryValue& e = entries[k];
    std::string members;
    for (int f = 0; f < portCount && f < static_cast<int>(portToChip.size()); ++f) {
      const int chip = portToChip[f];
      if (chip < 0 || chip >= kMaxChipPorts || !(e.members & (1u << chip))) continue;
      if (!members.empty()) members += ", ";
      members += PortLabel(f);
    }
    list.table.rows.push_back({Format("Vlan %d", k + 1), e.PortBased() ? "Port-Based" : "Tag-Based",
                               e.PortBased() ? std::string() : Format("%u", e.vlanId), members});
    list.rowEntries.push_back(k);
  }
  return list;
}

VlanList RefreshVlanList(PageContext& ctx) {
  VlanList empty;
  empty.table = VlanListColumns();
  if (!ctx.Ready()) return empty;
  const int sw = ctx.Switch();
  const int n = ctx.PortCount();
  if (n <= 0 || n > kMaxChipPorts) return empty;

  VlanImage image = VlanImage::Empty(n);
  if (!ReadListRegisters(ctx.engine, sw, n, image.vlanControl, image.entries)) return empty;
  return VlanListOf(image, PortToChip(ctx));
}

VlanList VlanListOf(const VlanImage& image, const std::vector<int>& portToChip) {
  VlanList list = BuildVlanList(image.entries, image.portCount, portToChip);
  list.read = true;
  list.vlanFunction = image.vlanControl & 0x01;
  list.tagVlan = image.vlanControl & 0x10;
  return list;
}

std::vector<int> PortToChip(PageContext& ctx) {
  const int n = std::max(0, ctx.PortCount());
  std::vector<int> portToChip(static_cast<size_t>(n));
  for (int f = 0; f < n; ++f) portToChip[f] = ctx.engine.MapPortToChip(ctx.Switch(), f);
  return portToChip;
}

std::string VlanFieldChange::Text() const {
  return (highReg ? Format("registers 0x%04X and 0x%04X, ", reg, highReg) : Format("register 0x%04X, ", reg)) + subject +
         ": " + setting + " " + before + " -> " + after;
}

std::vector<VlanFieldChange> DescribeVlanChanges(const VlanImage& before, const VlanImage& after,
                                                 const std::vector<int>& portToChip) {
  std::vector<VlanFieldChange> out;
  const int n = std::min(before.portCount, static_cast<int>(portToChip.size()));
  std::vector<int> chipToPort(kMaxChipPorts, -1);
  for (int f = 0; f < n; ++f)
    if (portToChip[f] >= 0 && portToChip[f] < kMaxChipPorts) chipToPort[portToChip[f]] = f;
  auto portName = [&](int chip) { return chipToPort[chip] >= 0 ? "port " + PortLabel(chipToPort[chip]) : Format("chip port %d", chip); };
  auto members = [&](uint32_t set) {
    uint32_t positions = 0;
    for (int chip = 0; chip < kMaxChipPorts; ++chip)
      if ((set >> chip & 1) && chipToPort[chip] >= 0) positions |= 1u << chipToPort[chip];
    return PortListText(positions, n);
  };

  // The whole-table layouts also set the control register and the tag modes.
  if (before.vlanControl != after.vlanControl)
    out.push_back({kRegVlanControl, 0, "Vlan Control", "value", Format("0x%04X", before.vlanControl),
                   Format("0x%04X", after.vlanControl), before.vlanControl, after.vlanControl});
  for (int chip = 0; chip < before.portCount && chip < after.portCount; ++chip) {
    const int was = before.PortIndex(chip), now = after.PortIndex(chip);
    if (was != now)
      out.push_back({static_cast<uint16_t>(kRegPortVlanIndex + chip / 2), 0, portName(chip), "VLAN index",
                     std::to_string(was), std::to_string(now), static_cast<uint32_t>(was), static_cast<uint32_t>(now)});
  }
  for (int chip = 0; chip < before.portCount && chip < after.portCount; ++chip) {
    const size_t word = static_cast<size_t>(chip / 8);
    if (word >= before.portTagControl.size() || word >= after.portTagControl.size()) break;
    const int shift = 2 * (chip % 8);
    const uint32_t was = before.portTagControl[word] >> shift & 3, now = after.portTagControl[word] >> shift & 3;
    if (was != now)
      out.push_back({static_cast<uint16_t>(kRegPortTagControl + word), 0, portName(chip), "tag mode",
                     kTagModeWords[was], kTagModeWords[now], was, now});
  }
  for (int k = 0; k < kVlanEntries; ++k) {
    const VlanEntryValue& was = before.entries[k];
    const VlanEntryValue& now = after.entries[k];
    if (was == now) continue;
    // Hidden entries by their index; the operator's VLANs by their number, as listed.
    std::string subject = Format("entry %d (ports in no VLAN)", k);
    if (k < kOperatorEntries)
      subject = IsListedVlan(before.entries, k) || IsListedVlan(after.entries, k) ? Format("Vlan %d", k + 1)
                                                                                  : Format("entry %d (combined)", k);
    // A member set is written whole: both registers where the chip has two.
    if (was.members != now.members)
      out.push_back({VlanMembersLowRegister(k), HasHighMembers(before.portCount) ? VlanMembersHighRegister(k) : uint16_t{0},
                     subject, "members", members(was.members), members(now.members), was.members, now.members});
    if (was.vlanId != now.vlanId)
      out.push_back({VlanIdRegister(k), 0, subject, "VLAN ID", std::to_string(was.vlanId), std::to_string(now.vlanId),
                     was.vlanId, now.vlanId});
  }
  return out;
}

std::string VlanChangesStatus(const std::vector<VlanFieldChange>& changes) {
  if (changes.empty()) return "VLAN registers: nothing changed.";
  std::string text = "VLAN registers written: ";
  for (size_t i = 0; i < changes.size(); ++i) text += (i ? "; " : "") + changes[i].Text();
  return text + ".";
}

int VlanEntryFromRowText(const std::string& firstCell) {
  // As atoi would read it: blanks, a sign, then digits.
  size_t i = 4;
  while (i < firstCell.size() && std::isspace(static_cast<unsigned char>(firstCell[i]))) ++i;
  bool negative = false;
  if (i < firstCell.size() && (firstCell[i] == '+' || firstCell[i] == '-')) negative = firstCell[i++] == '-';
  long number = 0;
  for (; i < firstCell.size() && std::isdigit(static_cast<unsigned char>(firstCell[i])); ++i)
    number = std::min(number * 10 + (firstCell[i] - '0'), 1'000'000L);
  return static_cast<int>((negative ? -number : number) - 1);
}

bool BeginAddVlan(PageContext& ctx) {
  if (ctx.Switch() == -1) return false;
  ctx.selectedListRow = -1;
  return true;
}

std::optional<int> BeginEditVlan(PageContext& ctx, const std::optional<std::string>& selectedFirstCell,
                                 bool reportMissing) {
  if (!selectedFirstCell) {
    if (reportMissing) ctx.prompt.Message(kMissingSelectionTitle, kSelectVlanToEdit, PromptIcon::Error);
    return std::nullopt;
  }
  const int entry = VlanEntryFromRowText(*selectedFirstCell);
  ctx.selectedListRow = entry;
  if (entry < 0 || entry >= kOperatorEntries || ctx.Switch() == -1) return std::nullopt;
  return entry;
}

VlanOutcome DeleteSelectedVlan(PageContext& ctx, const std::optional<std::string>& selectedFirstCell) {
  if (!selectedFirstCell) {
    ctx.prompt.Message(kMissingSelectionTitle, kSelectVlanToDelete, PromptIcon::Error);
    return VlanOutcome::kNoSelection;
  }
  return DeleteVlanEntry(ctx, VlanEntryFromRowText(*selectedFirstCell));
}

VlanOutcome DeleteVlanEntry(PageContext& ctx, int entry) {
  if (entry < 0 || entry >= kOperatorEntries || !ctx.Ready()) return VlanOutcome::kNothing;
  const std::optional<VlanImage> image = ReadVlanImage(ctx.engine, ctx.Switch());
  if (!image) return VlanOutcome::kReadFailed;
  const VlanRebuild rebuild = RebuildVlanTable(*image, {VlanChange::Kind::Delete, entry, 0, false, 0});
  if (rebuild.failure) {
    ctx.prompt.Message(kVlanErrorTitle, *rebuild.failure, PromptIcon::Error);
    return VlanOutcome::kRefused;
  }
  return WriteRebuild(ctx, *image, rebuild);
}

VlanOutcome DeleteAllVlans(PageContext& ctx) {
  if (!ctx.Ready()) return VlanOutcome::kNothing;
  const VlanWrites writes = DeleteAllLayout(ctx.PortCount());
  if (writes.empty()) return VlanOutcome::kNothing;
  return Write(ctx, writes);
}

std::string HomeVlanQuestion(int portCount, int overlapA, int overlapB) {
  std::string text = "VLAN settings will be reset to Home VLAN mode. In\n";
  text += "this mode, all ports belong to different VLAN with\n";
  text += "two overlapping ports (";
  text += Format("%d,%d", std::min(overlapA, overlapB), std::max(overlapA, overlapB));
  text += ").\n";
  if (portCount <= 24) {
    text += "\n";
    text += "This mode can be saved as power on default by clicking\n";
    text += "Save to Hardware under System->Configurations.\n";
  }
  text += "\nContinue?";
  return text;
}

VlanOutcome ResetToHomeVlan(PageContext& ctx) {
  if (!ctx.Ready()) return VlanOutcome::kNothing;
  const int sw = ctx.Switch();
  const int n = ctx.PortCount();
  const VlanWrites writes = HomeVlanLayout(n);
  if (writes.empty()) return VlanOutcome::kNothing;
  const int a = ctx.engine.MapChipToPort(sw, n - 2) + 1;
  const int b = ctx.engine.MapChipToPort(sw, n - 1) + 1;
  if (!ctx.prompt.AskYesNo(kApplicationTitle, HomeVlanQuestion(n, a, b), PromptIcon::None))
    return VlanOutcome::kDeclined;
  return Write(ctx, writes);
}

}  // namespace brisfell
