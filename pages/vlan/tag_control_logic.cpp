#include "pages/vlan/tag_control_logic.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "pages/common/fields.h"
#include "pages/vlan/vlan_model.h"

namespace brisfell {
namespace {

using port_field::kTagMode;
using port_field::kVlanIndex;

int ClampedPortCount(int n) { return std::clamp(n, 0, kMaxChipPorts); }

}  // namespace

Table TagControlColumns() {
  Table t;
  t.columns = {"Port", "Tag Control", "VID Index", "VID"};
  return t;
}

Table DecodeTagControl(const SwitchRecord& record, const TagControlRegisters& registers) {
  Table table = TagControlColumns();
  const int n = ClampedPortCount(record.portCount);
  table.rows.resize(static_cast<size_t>(n));
  for (int row = 0; row < n; ++row) table.rows[row] = {PortLabel(row), "", "", ""};
  auto word = [](const std::vector<uint32_t>& words, size_t i) { return i < words.size() ? words[i] : 0u; };
  for (int p = 0; p < n; ++p) {
    const int row = record.chipToPort[p];
    if (row < 0 || row >= n) continue;
    const uint32_t mode = kTagMode.Get(word(registers.tagControl, kTagMode.Register(p) - kTagMode.base), p);
    const uint32_t index = kVlanIndex.Get(word(registers.vlanIndex, kVlanIndex.Register(p) - kVlanIndex.base), p);
    auto& cells = table.rows[row];
    cells[1] = kTagModeTexts[mode];
    cells[2] = Format("%u", index);
    cells[3] = Format("%u", registers.vlanIds[index] & kVlanIdMask);
  }
  return table;
}

Outcome RefreshTagControl(PageContext& context, Table& table) {
  table = TagControlColumns();
  if (!context.Ready()) return Outcome::NothingToDo();
  const SwitchRecord* record = context.Record();
  if (!record) return Outcome::NothingToDo();
  const int sw = context.Switch();
  const int n = ClampedPortCount(record->portCount);

  TagControlRegisters regs;
  regs.vlanIndex.resize(static_cast<size_t>(PortVlanIndexWords(n)));
  regs.tagControl.resize(static_cast<size_t>(PortTagControlWords(n)));
  std::vector<uint16_t> wanted;
  for (size_t i = 0; i < regs.vlanIndex.size(); ++i) wanted.push_back(static_cast<uint16_t>(kVlanIndex.base + i));
  for (size_t i = 0; i < regs.tagControl.size(); ++i) wanted.push_back(static_cast<uint16_t>(kTagMode.base + i));
  for (int k = 0; k < kVlanEntries; ++k) wanted.push_back(VlanIdRegister(k));
  std::map<uint16_t, uint32_t> v;
  {
    AdapterIo io(context.engine);
    if (!context.engine.ReadRegisters(sw, wanted, v))
      return Outcome::ReadFailed("could not read the VLAN index, tag control and VLAN ID registers: " +
                                 context.engine.LastFailure());
  }
  for (size_t i = 0; i < regs.vlanIndex.size(); ++i) regs.vlanIndex[i] = v[static_cast<uint16_t>(kVlanIndex.base + i)];
  for (size_t i = 0; i < regs.tagControl.size(); ++i) regs.tagControl[i] = v[static_cast<uint16_t>(kTagMode.base + i)];
  for (int k = 0; k < kVlanEntries; ++k) regs.vlanIds[k] = v[VlanIdRegister(k)];
  table = DecodeTagControl(*record, regs);
  return Outcome::Done();
}

bool TagConfigRequested(PageContext& context, int selectionMark, bool fromButton) {
  context.selectedListRow = selectionMark;
  if (selectionMark == -1) {
    if (fromButton) context.prompt.Message("Error", "Please select Port to config!", PromptIcon::Error);
    return false;
  }
  return selectionMark >= 0 && selectionMark < context.PortCount() && context.Switch() != -1;
}

TagDialogState OpenTagDialog(PageContext& context) {
  TagDialogState state;
  state.row = context.selectedListRow;
  state.title = Format(kTagDialogCaptionFormat, state.row + 1);
  state.chip = context.engine.MapPortToChip(context.Switch(), state.row);
  if (!context.Ready() || state.chip < 0) return state;
  uint32_t value = 0;
  {
    AdapterIo io(context.engine);
    if (!context.engine.ReadRegister(context.Switch(), kTagMode.Register(state.chip), value, kRegisterTimeoutMs))
      return state;
  }
  state.mode = static_cast<int>(kTagMode.Get(value, state.chip));
  return state;
}

Outcome ApplyTagDialog(PageContext& context, const TagDialogState& state, int mode) {
  if (!context.Ready() || state.chip < 0) return Outcome::NothingToDo();
  if (mode < 0 || mode >= kTagModeCount) {
    context.Status("Tag mode not written: no mode was chosen.");
    return Outcome::NothingToDo("no mode chosen");
  }
  const int sw = context.Switch();
  const uint16_t reg = kTagMode.Register(state.chip);
  AdapterIo io(context.engine);
  uint32_t value = 0;
  if (!context.engine.ReadRegister(sw, reg, value, kRegisterTimeoutMs))
    return Outcome::ReadFailed("could not read the tag control register");
  const uint32_t updated = kTagMode.With(value, state.chip, static_cast<uint32_t>(mode));
  if (updated == value) return Outcome::NothingToDo();
  context.engine.WriteRegister(sw, reg, updated);
  return Outcome::Done();
}

std::map<uint16_t, uint32_t> WithTagMode(std::map<uint16_t, uint32_t> registers, const std::vector<int>& chips,
                                         int mode) {
  for (int chip : chips) {
    uint32_t& value = registers[kTagMode.Register(chip)];
    value = kTagMode.With(value, chip, static_cast<uint32_t>(mode));
  }
  return registers;
}

Outcome ApplyTagModes(PageContext& context, const std::vector<int>& positions, int mode,
                      std::map<uint16_t, uint32_t>* before, std::map<uint16_t, uint32_t>* after) {
  if (!context.Ready()) return Outcome::NothingToDo();
  if (mode < 0 || mode >= kTagModeCount) return Outcome::Refused("no such tag mode");
  const int sw = context.Switch();
  std::vector<int> chips;
  std::set<uint16_t> regs;
  for (int position : positions) {
    const int chip = context.engine.MapPortToChip(sw, position);
    if (chip < 0) return Outcome::Refused(Format("the switch has no port %s", PortLabel(position).c_str()));
    chips.push_back(chip);
    regs.insert(kTagMode.Register(chip));
  }
  if (chips.empty()) return Outcome::NothingToDo();

  AdapterIo io(context.engine);
  std::map<uint16_t, uint32_t> read;
  // Every register is read before the first write, so a failed read leaves the switch as it was.
  for (uint16_t reg : regs)
    if (!context.engine.ReadRegister(sw, reg, read[reg], kRegisterTimeoutMs))
      return Outcome::ReadFailed(Format("could not read the tag control register 0x%04X", reg));
  const std::map<uint16_t, uint32_t> updated = WithTagMode(read, chips, mode);
  if (before) *before = read;
  if (after) *after = updated;
  bool wrote = false;
  for (const auto& [reg, value] : updated) {
    if (value == read.at(reg)) continue;
    context.engine.WriteRegister(sw, reg, value);
    wrote = true;
  }
  return wrote ? Outcome::Done() : Outcome::NothingToDo();
}

int TagModeFromWord(const std::string& word) {
  std::string lower = word;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  for (int m = 0; m < kTagModeCount; ++m)
    if (lower == kTagModeWords[m]) return m;
  return -1;
}

}  // namespace brisfell
