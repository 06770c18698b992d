#include "cli/status_schemas.h"

namespace brisfell::cli {

std::function<void(size_t, Json&)> ChipPorts(const SwitchRecord& record) {
  return [&record](size_t row, Json& j) { j["chip_port"] = record.portToChip.at(row); };
}

const Schema& PortStatusSchema() {
  static const Schema schema = {{"port"},
                                {"linked", FlagValue("Up", "Down")},
                                {"port_type", TextValue, false},
                                {"speed_duplex"},
                                {"flow_control", FlagValue("Enable", "Disable")},
                                {"tx_bandwidth", TextOrNull({"no"}), false},
                                {"rx_bandwidth", TextOrNull({"no"}), false},
                                {"trunk", TextOrNull({"none"}), false}};
  return schema;
}

const Schema& MibSchema() {
  static const Schema schema = {{"port"},
                                {"counter_1", NumberValue},
                                {"counter_1_unit"},
                                {"counter_2", NumberValue},
                                {"counter_2_unit"},
                                {"counter_3", NumberValue},
                                {"counter_3_unit"}};
  return schema;
}

const Schema& MibRateSchema() {
  // Rates may have a fraction ("0.5"); none yet is null.
  static const CellValue rate = [](const std::string& cell) -> Json {
    if (cell.empty()) return nullptr;
    return std::stod(cell);
  };
  static const Schema schema = {{"port"},
                                {"counter_1", NumberValue},
                                {"counter_1_unit"},
                                {"counter_1_per_second", rate},
                                {"counter_2", NumberValue},
                                {"counter_2_unit"},
                                {"counter_2_per_second", rate},
                                {"counter_3", NumberValue},
                                {"counter_3_unit"},
                                {"counter_3_per_second", rate}};
  return schema;
}

}  // namespace brisfell::cli
