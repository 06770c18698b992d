#include "pages/status/metrics_logic.h"

#include <algorithm>
#include <functional>

#include "pages/common/fields.h"
#include "pages/common/page_context.h"
#include "pages/ports/port_registers.h"
#include "pages/status/mib_counter_logic.h"

namespace brisfell {
namespace {

constexpr uint16_t kCounterBases[3] = {kRegMibCounter1, kRegMibCounter2, kRegMibCounter3};
constexpr const char* kDirections[3] = {"rx", "tx", "drop"};

uint32_t Get(const std::map<uint16_t, uint32_t>& registers, uint16_t reg) {
  auto it = registers.find(reg);
  return it == registers.end() ? 0 : it->second;
}

std::string SwitchLabels(const SwitchRecord& r) {
  return "switch=\"" + EscapeLabelValue(FormatMac(r.mac)) + "\",model=\"" + EscapeLabelValue(r.modelName) + "\"";
}

struct Family {
  const char* name;
  const char* type;
  const char* help;
};

// One metric: its header, then a line per sample that `samples` adds.
void Emit(std::string& out, const Family& f, const std::function<void(const std::string& name)>& samples) {
  out += std::string("# HELP ") + f.name + " " + f.help + "\n";
  out += std::string("# TYPE ") + f.name + " " + f.type + "\n";
  samples(f.name);
}

void Sample(std::string& out, const std::string& name, const std::string& labels, uint64_t value) {
  out += name + "{" + labels + "} " + std::to_string(value) + "\n";
}

}  // namespace

std::string EscapeLabelValue(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string CounterKind(int counter, int code) {
  if (code == 2) return "crc_error_packets";
  if (code == 3) return "collision_packets";
  return std::string(kDirections[std::clamp(counter, 0, 2)]) + (code == 0 ? "_bytes" : "_packets");
}

std::string FormatMetrics(const std::vector<SwitchMetricsReading>& readings) {
  static constexpr Family kUp{"brisfell_up", "gauge", "Whether the switch answered every read of this scrape (1) or not (0)."};
  static constexpr Family kLink{"brisfell_port_link_up", "gauge", "Link state of the port: 1 up, 0 down."};
  static constexpr Family kSpeed{"brisfell_port_speed_bytes", "gauge",
                                 "Speed the port runs at, in bytes per second (0 for the chip's unknown speed code)."};
  static constexpr Family kDuplex{"brisfell_port_full_duplex", "gauge", "Duplex of the port: 1 full, 0 half."};
  static constexpr Family kLoop{"brisfell_loop_detected", "gauge", "Whether the switch reports a network loop: 1 yes, 0 no."};
  static constexpr Family kPortLoop{"brisfell_port_loop_detected", "gauge",
                                    "Whether the switch saw the network loop on this port: 1 yes, 0 no."};
  static constexpr Family kCounter{"brisfell_port_mib_total", "counter",
                                   "MIB counter of the port (32 bits, wraps to 0); kind says what it counts."};
  static constexpr uint64_t kSpeeds[4] = {1'250'000, 12'500'000, 125'000'000, 0};  // 10M, 100M, 1G

  std::string out;
  Emit(out, kUp, [&](const std::string& name) {
    for (const auto& r : readings)
      if (r.record) Sample(out, name, SwitchLabels(*r.record), r.up ? 1 : 0);
  });
  // Every port of every switch that answered, in shown port order.
  auto perPort = [&](const std::function<void(const SwitchRecord&, const std::map<uint16_t, uint32_t>&, int chip,
                                              const std::string& labels)>& each) {
    for (const auto& r : readings) {
      if (!r.record || !r.up) continue;
      const int n = std::clamp(r.record->portCount, 0, kMaxChipPorts);
      for (int p = 0; p < n; ++p)
        each(*r.record, r.registers, r.record->portToChip[p],
             SwitchLabels(*r.record) + ",port=\"" + PortLabel(p) + "\"");
    }
  };
  auto status = [](const std::map<uint16_t, uint32_t>& regs, int chip) {
    return PortByte(Get(regs, PairRegister(kRegPortStatus, chip)), chip);
  };
  Emit(out, kLink, [&](const std::string& name) {
    perPort([&](const SwitchRecord&, const auto& regs, int chip, const std::string& labels) {
      Sample(out, name, labels, (status(regs, chip) >> 4) & 1);
    });
  });
  Emit(out, kSpeed, [&](const std::string& name) {
    perPort([&](const SwitchRecord&, const auto& regs, int chip, const std::string& labels) {
      Sample(out, name, labels, kSpeeds[status(regs, chip) & 0x03]);
    });
  });
  Emit(out, kDuplex, [&](const std::string& name) {
    perPort([&](const SwitchRecord&, const auto& regs, int chip, const std::string& labels) {
      Sample(out, name, labels, (status(regs, chip) >> 2) & 1);
    });
  });
  // The loop ports count only while the switch reports a loop.
  auto loop = [](const std::map<uint16_t, uint32_t>& regs) {
    return reg_bit::kLoopFault.Get(Get(regs, kRegFaultStatus));
  };
  Emit(out, kLoop, [&](const std::string& name) {
    for (const auto& r : readings)
      if (r.record && r.up) Sample(out, name, SwitchLabels(*r.record), loop(r.registers));
  });
  Emit(out, kPortLoop, [&](const std::string& name) {
    perPort([&](const SwitchRecord&, const auto& regs, int chip, const std::string& labels) {
      Sample(out, name, labels, loop(regs) & port_field::kLoopPort.Get(Get(regs, kRegLoopPorts), chip));
    });
  });
  Emit(out, kCounter, [&](const std::string& name) {
    perPort([&](const SwitchRecord&, const auto& regs, int chip, const std::string& labels) {
      const uint32_t select = Get(regs, MibSelectRegister(chip));
      for (int c = 0; c < 3; ++c)
        Sample(out, name,
               labels + ",counter=\"" + std::to_string(c + 1) + "\",kind=\"" + CounterKind(c, MibCode(select, chip, c)) +
                   "\"",
               Get(regs, static_cast<uint16_t>(kCounterBases[c] + chip)));
    });
  });
  return out;
}

std::vector<uint16_t> MetricsRegisters() {
  std::vector<uint16_t> regs;
  for (int i = 0; i < kPortPairRegisters; ++i) regs.push_back(static_cast<uint16_t>(kRegPortStatus + i));
  for (int r = kRegMibSelect; r <= kRegMibLast; ++r) regs.push_back(static_cast<uint16_t>(r));
  for (int r = kRegLoopPorts; r <= kRegFaultStatus; ++r) regs.push_back(static_cast<uint16_t>(r));
  return regs;
}

std::string CollectMetrics(Engine& engine, const std::vector<int>& switches) {
  std::vector<SwitchRead> reads;
  for (int index : switches)
    if (engine.GetSwitchRecord(index)) reads.push_back({index, MetricsRegisters()});
  {
    AdapterIo io(engine);
    engine.ReadSwitches(reads);
  }
  std::vector<SwitchMetricsReading> readings;
  for (SwitchRead& read : reads) {
    SwitchMetricsReading r;
    r.record = engine.GetSwitchRecord(read.index);
    r.up = read.ok;
    if (r.up) r.registers = std::move(read.values);
    readings.push_back(std::move(r));
  }
  return FormatMetrics(readings);
}

}  // namespace brisfell
