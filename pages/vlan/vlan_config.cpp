#include "pages/vlan/vlan_config.h"

#include <algorithm>
#include <cctype>

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

  uint32_t control = 0;
  VlanTable entries{};
  if (!ReadListRegisters(ctx.engine, sw, n, control, entries)) return empty;

  std::vector<int> portToChip(static_cast<size_t>(n));
  for (int f = 0; f < n; ++f) portToChip[f] = ctx.engine.MapPortToChip(sw, f);
  VlanList list = BuildVlanList(entries, n, portToChip);
  list.read = true;
  list.vlanFunction = control & 0x01;
  list.tagVlan = control & 0x10;
  return list;
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
  return Write(ctx, rebuild.writes);
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
