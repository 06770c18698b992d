#include "pages/status/port_status_logic.h"

#include <algorithm>

#include "pages/ports/port_registers.h"

namespace brisfell {
namespace {

enum Column { kPort, kLinked, kPortType, kSpeedDuplex, kFlowControl, kTx, kRx, kTrunk, kColumns };

uint32_t Get(const std::map<uint16_t, uint32_t>& registers, uint16_t reg) {
  auto it = registers.find(reg);
  return it == registers.end() ? 0 : it->second;
}

std::string PortType(int chip, uint32_t portInterface) {
  if (chip < 24) return "10/100TX";
  return (portInterface >> (chip - 22)) & 1 ? "1000TX(TBI)" : "1000TX(GMII)";
}

std::string SpeedDuplex(uint8_t status) {
  static constexpr int kSpeeds[4] = {10, 100, 1000, 0};
  return Format(status & 0x04 ? "%dM Full" : "%dM Half", kSpeeds[status & 0x03]);
}

}  // namespace

Table PortStatusColumns() {
  return {{"Port", "Linked", "Port Type", "Speed Duplex", "Flow Control", "Tx Bandwidth", "Rx Bandwidth",
           "Trunk Setting"},
          {}};
}

Table DecodePortStatus(const SwitchRecord& record, const std::map<uint16_t, uint32_t>& registers) {
  Table table = PortStatusColumns();
  const int n = std::clamp(record.portCount, 0, kMaxChipPorts);
  table.rows.assign(static_cast<size_t>(n), std::vector<std::string>(kColumns));
  for (int p = 0; p < n; ++p) table.rows[p][kPort] = PortLabel(p);

  const uint32_t portInterface = Get(registers, kRegPortInterface);
  for (int k = 0; k < n; ++k) {
    auto& row = table.rows[RowOfChip(record, k)];
    const uint8_t s = PortByte(Get(registers, PairRegister(kRegPortStatus, k)), k);
    const uint8_t b = PortByte(Get(registers, PairRegister(kRegPortBandwidth, k)), k);
    row[kLinked] = s & 0x10 ? "Up" : "Down";
    row[kPortType] = PortType(k, portInterface);
    row[kSpeedDuplex] = SpeedDuplex(s);
    row[kFlowControl] = s & 0x60 ? "Enable" : "Disable";
    row[kTx] = kBandwidthPageTexts[TxBandwidthCode(b)];
    row[kRx] = kBandwidthPageTexts[RxBandwidthCode(b)];
  }
  const auto trunks = TrunkSettingTexts(record, Get(registers, kRegTrunkEnable));
  for (int p = 0; p < n; ++p) table.rows[p][kTrunk] = trunks[p];
  return table;
}

bool RefreshPortStatus(PageContext& context, Table& table) {
  table = PortStatusColumns();
  if (!context.Ready()) return false;
  const int sw = context.Switch();
  const SwitchRecord* record = context.Record();
  if (!record) return false;

  RegisterReader reader(context.engine, sw);
  {
    AdapterIo io(context.engine);  // a failed open shows as a failed first read
    reader.Add(kRegPortInterface).Add(kRegTrunkEnable).AddRange(kRegPortDisable, 2);
    reader.AddRange(kRegPortBandwidth, kPortPairRegisters).AddRange(kRegPortStatus, kPortPairRegisters);
    if (!reader.ReadAll()) return false;
  }
  table = DecodePortStatus(*record, reader.Values());
  return true;
}

}  // namespace brisfell
