#include "pages/status/mib_counter_logic.h"

#include <algorithm>

#include "pages/ports/port_registers.h"

namespace brisfell {
namespace {

constexpr const char* kPageTexts[3][4] = {
    {"Rx bytes", "Rx packets", "CRC error packets", "Collision packets"},
    {"Tx bytes", "Tx packets", "CRC error packets", "Collision packets"},
    {"Drop bytes", "Drop packets", "CRC error packets", "Collision packets"},
};
constexpr const char* kDialogTexts[3][4] = {
    {"RX Byte Count", "RX Packet Count", "CRC Error Packet Count", "Collision Packet Count"},
    {"TX Byte Count", "TX Packet Count", "CRC Error Packet Count", "Collision Packet Count"},
    {"Drop Byte Count", "Drop Packet Count", "CRC Error Packet Count", "Collision Packet Count"},
};
constexpr uint16_t kCounterBases[3] = {kRegMibCounter1, kRegMibCounter2, kRegMibCounter3};

int ChipShift(int chip) { return (chip & 1) * 6; }

uint32_t Get(const std::map<uint16_t, uint32_t>& registers, uint16_t reg) {
  auto it = registers.find(reg);
  return it == registers.end() ? 0 : it->second;
}

// Toggling a port's selection bits and putting them back is what clears its counters.
bool ClearChip(Engine& engine, int sw, int chip) {
  const uint16_t reg = MibSelectRegister(chip);
  uint32_t value = 0;
  if (!engine.ReadRegister(sw, reg, value, kRegisterTimeoutMs)) return false;
  engine.WriteRegister(sw, reg, value ^ (0x3Fu << ChipShift(chip)));
  engine.WriteRegister(sw, reg, value);
  return true;
}

bool SetAllCodes(PageContext& context, uint32_t pattern) {
  if (!context.Ready()) return false;
  const int sw = context.Switch();
  AdapterIo io(context.engine);
  std::vector<uint16_t> regs;
  for (int i = 0; i < kMibSelectRegisters; ++i) regs.push_back(static_cast<uint16_t>(kRegMibSelect + i));
  std::map<uint16_t, uint32_t> values;
  const bool read = context.engine.ReadRegisters(sw, regs, values);
  // In order, up to the first register that could not be read.
  for (uint16_t reg : regs) {
    auto it = values.find(reg);
    if (it == values.end()) return false;
    context.engine.WriteRegister(sw, reg, (it->second & ~0x0FFFu) | pattern);
  }
  return read;
}

}  // namespace

const char* MibPageText(int counter, int code) { return kPageTexts[std::clamp(counter, 0, 2)][code & 3]; }
const char* MibDialogText(int counter, int code) { return kDialogTexts[std::clamp(counter, 0, 2)][code & 3]; }

int MibCode(uint32_t selectValue, int chip, int counter) {
  return static_cast<int>((selectValue >> (ChipShift(chip) + 2 * counter)) & 0x03);
}

uint32_t WithMibCodes(uint32_t selectValue, int chip, const std::array<int, 3>& codes) {
  for (int c = 0; c < 3; ++c) {
    if (codes[c] < 0 || codes[c] > 3) continue;
    const int shift = ChipShift(chip) + 2 * c;
    selectValue = (selectValue & ~(0x03u << shift)) | (static_cast<uint32_t>(codes[c]) << shift);
  }
  return selectValue;
}

Table MibCounterColumns() {
  return {{"Port", "Counter 1", "(unit)", "Counter 2", "(unit)", "Counter 3", "(unit)"}, {}};
}

Table DecodeMibCounters(const SwitchRecord& record, const std::map<uint16_t, uint32_t>& registers) {
  Table table = MibCounterColumns();
  const int n = std::clamp(record.portCount, 0, kMaxChipPorts);
  table.rows.assign(static_cast<size_t>(n), std::vector<std::string>(7));
  for (int p = 0; p < n; ++p) table.rows[p][0] = PortLabel(p);
  for (int k = 0; k < n; ++k) {
    auto& row = table.rows[RowOfChip(record, k)];
    const uint32_t select = Get(registers, MibSelectRegister(k));
    for (int c = 0; c < 3; ++c) {
      // The whole 32-bit value field of the reply is the counter.
      row[1 + 2 * c] = Format("%u", static_cast<unsigned>(Get(registers, static_cast<uint16_t>(kCounterBases[c] + k))));
      row[2 + 2 * c] = MibPageText(c, MibCode(select, k, c));
    }
  }
  return table;
}

bool RefreshMibCounters(PageContext& context, Table& table) {
  table = MibCounterColumns();
  if (!context.Ready()) return false;
  const SwitchRecord* record = context.Record();
  if (!record) return false;
  RegisterReader reader(context.engine, context.Switch());
  {
    AdapterIo io(context.engine);
    if (!reader.ReadRange(kRegMibSelect, kRegMibLast - kRegMibSelect + 1)) return false;
  }
  table = DecodeMibCounters(*record, reader.Values());
  return true;
}

bool MibPortClear(PageContext& context, int selectionMark) {
  if (selectionMark == -1) {
    context.prompt.Message("Error", "Please select Port to clear!", PromptIcon::Error);
    return false;
  }
  if (selectionMark < 0 || selectionMark > 25 || !context.Ready()) return false;
  const int chip = context.engine.MapPortToChip(context.Switch(), selectionMark);
  if (chip < 0) return false;  // a row the switch does not have
  AdapterIo io(context.engine);
  return ClearChip(context.engine, context.Switch(), chip);
}

bool MibAllClear(PageContext& context) {
  if (!context.Ready()) return false;
  AdapterIo io(context.engine);
  for (int chip = 0; chip < kMaxChipPorts; ++chip)
    if (!ClearChip(context.engine, context.Switch(), chip)) return false;
  return true;
}

bool MibAllBytes(PageContext& context) { return SetAllCodes(context, 0x000); }
bool MibAllPackets(PageContext& context) { return SetAllCodes(context, 0x555); }

bool MibConfigRequested(PageContext& context, int selectionMark, bool fromButton) {
  context.selectedListRow = selectionMark;
  if (selectionMark == -1) {
    if (fromButton) context.prompt.Message("Error", "Please select Port to config!", PromptIcon::Error);
    return false;
  }
  return selectionMark >= 0 && selectionMark <= 25 && context.Switch() != -1;
}

MibConfigState OpenMibConfig(PageContext& context) {
  MibConfigState state;
  state.row = context.selectedListRow;
  state.title = Format("Port %d MIB Counter Config", state.row + 1);
  state.chip = context.engine.MapPortToChip(context.Switch(), state.row);
  if (!context.Ready() || state.chip < 0) return state;
  uint32_t value = 0;
  {
    AdapterIo io(context.engine);
    if (!context.engine.ReadRegister(context.Switch(), MibSelectRegister(state.chip), value, kRegisterTimeoutMs))
      return state;
  }
  for (int c = 0; c < 3; ++c) state.codes[c] = MibCode(value, state.chip, c);
  state.read = true;
  return state;
}

bool ApplyMibConfig(PageContext& context, const MibConfigState& state, const std::array<int, 3>& codes) {
  if (!context.Ready() || state.chip < 0) return false;
  const int sw = context.Switch();
  const uint16_t reg = MibSelectRegister(state.chip);
  AdapterIo io(context.engine);
  uint32_t value = 0;
  if (!context.engine.ReadRegister(sw, reg, value, kRegisterTimeoutMs)) return false;
  // A list left without selection keeps the bits as read.
  const uint32_t updated = WithMibCodes(value, state.chip, codes);
  if (updated != value) context.engine.WriteRegister(sw, reg, updated);
  return true;
}

}  // namespace brisfell
