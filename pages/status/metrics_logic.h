// Metrics for monitoring systems: per switch whether it answered, per port the link state,
// speed and duplex and the three MIB counters with what they count, in the Prometheus text
// exposition format (version 0.0.4), so that a scraper or node_exporter's textfile collector
// can take them as they are.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace brisfell {

inline constexpr const char* kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

struct SwitchMetricsReading {
  const SwitchRecord* record = nullptr;
  bool up = false;                          // every read answered
  std::map<uint16_t, uint32_t> registers;   // the port status and MIB registers
};

// The exposition text: each metric's HELP and TYPE once, then its samples for every switch.
// A switch that did not answer has only its brisfell_up 0 sample.
std::string FormatMetrics(const std::vector<SwitchMetricsReading>& readings);

// The registers a scrape reads of each switch: the port status ones, then the MIB ones.
std::vector<uint16_t> MetricsRegisters();

// Reads the given switches (table indexes) all at once and formats what they said.
std::string CollectMetrics(Engine& engine, const std::vector<int>& switches);

// A label value with backslash, double quote and line feed escaped.
std::string EscapeLabelValue(const std::string& value);

// "rx_bytes", "tx_packets", "crc_error_packets", ...: what counter `counter` (0..2) counts
// with code `code`.
std::string CounterKind(int counter, int code);

}  // namespace brisfell
