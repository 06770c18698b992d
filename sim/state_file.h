// The emulated segment's state kept in a file between runs, so that a sequence of commands
// can be tried on the emulator one process at a time. The file holds, per switch (by MAC),
// the registers and EEPROM bytes that differ from the scenario's power-on state, and the
// registers whose writes the switch ignores (a chip that does not take a write):
//
//   {"format": "brisfell-sim-state 1",
//    "switches": [{"mac": "02:0B:F1:24:00:01", "registers": {"0x0608": "0x0001"},
//                  "eeprom": {"0x0123": "0xA5"}, "ignoreWrites": ["0x060B"]}]}
//
// Live port state, traffic and MIB counters are the scenario's and are not kept.
#pragma once

#include <string>

#include "sim/scenario.h"
#include "sim/segment.h"

namespace brisfell::sim {

inline constexpr const char* kStateFormat = "brisfell-sim-state 1";

// Applies the file at `path` to `segment` (built from `scenario`). A missing file is no error
// and changes nothing; a file that cannot be read or parsed is (false, with `error`).
// Switches the segment does not have are skipped.
bool LoadSegmentState(Segment& segment, const std::string& path, std::string& error);

// Writes what differs in `segment` from a fresh segment of `scenario` (replacing the file
// whole); false with `error` when it cannot be written.
bool SaveSegmentState(Segment& segment, const Scenario& scenario, const std::string& path, std::string& error);

}  // namespace brisfell::sim
