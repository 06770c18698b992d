#include "pages/ports/port_config_logic.h"

#include <algorithm>

#include "pages/ports/port_registers.h"

namespace brisfell {
namespace {

enum Column { kPort, kEnabled, kTx, kRx, kSpeedDuplex, kPause, kTrunk, kColumns };

uint32_t Get(const std::map<uint16_t, uint32_t>& registers, uint16_t reg) {
  auto it = registers.find(reg);
  return it == registers.end() ? 0 : it->second;
}

}  // namespace

Table PortConfigColumns() {
  return {{"Port", "Enabled", "Tx Bandwidth", "Rx Bandwidth", "Speed Duplex", "Pause Flow Control",
           "Trunk Setting"},
          {}};
}

Table DecodePortConfig(const SwitchRecord& record, const std::map<uint16_t, uint32_t>& registers) {
  Table table = PortConfigColumns();
  const int n = std::clamp(record.portCount, 0, kMaxChipPorts);
  table.rows.assign(static_cast<size_t>(n), std::vector<std::string>(kColumns));
  for (int p = 0; p < n; ++p) table.rows[p][kPort] = PortLabel(p);
  for (int k = 0; k < n; ++k) {
    auto& row = table.rows[RowOfChip(record, k)];
    const bool disabled = Get(registers, DisableRegister(k)) & DisableMask(k);
    const uint8_t b = PortByte(Get(registers, PairRegister(kRegPortBandwidth, k)), k);
    const uint8_t a = PortByte(Get(registers, PairRegister(kRegPortAdvertise, k)), k);
    row[kEnabled] = disabled ? "disable" : "enable";
    row[kTx] = kBandwidthPageTexts[TxBandwidthCode(b)];
    row[kRx] = kBandwidthPageTexts[RxBandwidthCode(b)];
    row[kSpeedDuplex] = AdvertisedSpeedText(a);
    row[kPause] = kPauseTexts[PauseCode(a)];
  }
  const auto trunks = TrunkSettingTexts(record, Get(registers, kRegTrunkEnable));
  for (int p = 0; p < n; ++p) table.rows[p][kTrunk] = trunks[p];
  return table;
}

bool RefreshPortConfig(PageContext& context, Table& table) {
  table = PortConfigColumns();
  if (!context.Ready()) return false;
  const SwitchRecord* record = context.Record();
  if (!record) return false;
  RegisterReader reader(context.engine, context.Switch());
  {
    AdapterIo io(context.engine);
    reader.Add(kRegTrunkEnable).AddRange(kRegPortDisable, 2).AddRange(kRegPortBandwidth, kPortPairRegisters);
    reader.AddRange(kRegPortAdvertise, kPortPairRegisters).AddRange(kRegPortStatus, kPortPairRegisters);
    if (!reader.ReadAll()) return false;
  }
  table = DecodePortConfig(*record, reader.Values());
  return true;
}

bool PortConfigRequested(PageContext& context, int selectionMark, bool fromButton) {
  context.selectedListRow = selectionMark;
  if (selectionMark == -1) {
    if (fromButton) context.prompt.Message("Error", "Please select Port to config!", PromptIcon::Error);
    return false;
  }
  return selectionMark >= 0 && selectionMark <= 25 && context.Switch() != -1;
}

}  // namespace brisfell
