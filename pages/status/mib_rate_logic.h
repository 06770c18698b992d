// Counter rates: how fast each MIB counter grows, from two readings of the counters. The chip's
// counters are 32 bits wide and wrap, so a later reading may be smaller than an earlier one; a
// counter that was cleared (or switched to count something else) between the readings has no
// rate for that interval.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "pages/common/page_context.h"
#include "pages/common/table.h"

namespace brisfell {

// The MIB Counter refresh's registers (0x0700-0x075A), and when they were read on the engine's
// clock (the moment the reads began).
struct MibReading {
  int64_t timeUs = 0;
  std::map<uint16_t, uint32_t> registers;
};

// The same 91 reads as the page's refresh, in the same order. False when no adapter or switch
// is current or a read fails.
bool ReadMibCounters(PageContext& context, MibReading& reading);

// How far a 32-bit counter went from `before` to `after`, across the wrap.
uint32_t CounterIncrease(uint32_t before, uint32_t after);

// The most counter `counter` (0..2) of chip port `chip` can grow in a second when it counts
// `code`: the line rate of the port (gigabit for chip ports 24 and 25) in bytes or in
// minimum-size packets, with some room for a clock that runs a little off.
double CounterCeilingPerSecond(int chip, int code);

// Growth per second from `before` to `after` over `elapsedUs`. None when no time passed or
// when the increase is more than the port could have carried (the counter was cleared).
std::optional<double> CounterRate(uint32_t before, uint32_t after, int64_t elapsedUs, double ceilingPerSecond);

// "512000", "0.5"; "" for no rate.
std::string RateText(const std::optional<double>& rate);

// The MIB Counter list with a "Per second" column after each counter's "(unit)".
Table MibCounterColumnsWithRates();
// The list with rates between `before` and `now`; without `before` (the first reading) the
// rate cells are empty, and so is a counter's whose code changed between the readings.
Table DecodeMibCountersWithRates(const SwitchRecord& record, const MibReading& now, const MibReading* before);

// The rate of one counter of one chip port between two readings (none as above).
std::optional<double> MibCounterRate(const MibReading& now, const MibReading& before, int chip, int counter);

}  // namespace brisfell
