// The emulated segment with an engine on top, on virtual time: what most test suites start
// from. The switch database lives in a temporary folder removed with the fixture.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "engine/engine.h"
#include "sim/emulated_switch.h"
#include "sim/scenario.h"
#include "sim/segment.h"

namespace brisfell {

struct SimFixture {
  sim::VirtualClock clock;
  sim::Segment segment;
  Engine engine;
  std::string tempDir;

  explicit SimFixture(const sim::Scenario& s = sim::DefaultScenario()) : segment(s, clock), engine(segment, clock) {
    std::string pattern = (std::filesystem::temp_directory_path() / "brisfell-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    tempDir = pattern;
    engine.SetDatabasePath(tempDir + "/qswrec.dat");
  }

  ~SimFixture() {
    std::error_code ignored;
    std::filesystem::remove_all(tempDir, ignored);
  }

  SimFixture(const SimFixture&) = delete;
  SimFixture& operator=(const SimFixture&) = delete;

  std::string DatabasePath() const { return tempDir + "/qswrec.dat"; }

  // EnumerateAdapters + DiscoverSwitches(0, false) + SetCurrentSwitchIndex(index); returns
  // discovery's result.
  int DiscoverAndSelect(int index = 0) {
    engine.EnumerateAdapters();
    const int result = engine.DiscoverSwitches(0, false);
    engine.SetCurrentSwitchIndex(index);
    return result;
  }

  // Engine table index of the first switch whose record has this vendorId, -1 if none.
  int IndexOfVendor(uint32_t vendorId) const {
    for (int i = 0; i < engine.SwitchCount(); ++i)
      if (engine.GetSwitchRecord(i)->vendorId == vendorId) return i;
    return -1;
  }

  // First switch with this port count, -1 if none.
  int IndexOfPortCount(int ports) const {
    for (int i = 0; i < engine.SwitchCount(); ++i)
      if (engine.PortCount(i) == ports) return i;
    return -1;
  }

  // The emulated switch behind engine record i (found by MAC).
  sim::EmulatedSwitch& Emulated(int engineIndex) {
    const SwitchRecord* record = engine.GetSwitchRecord(engineIndex);
    if (!record) throw std::out_of_range("no engine record " + std::to_string(engineIndex));
    sim::EmulatedSwitch* sw = segment.FindSwitch(record->mac);
    if (!sw) throw std::out_of_range("engine record " + std::to_string(engineIndex) + " has no emulated switch");
    return *sw;
  }

  // Selects engine record i and makes it current, for tests that start after discovery.
  void Select(int engineIndex) { engine.SetCurrentSwitchIndex(engineIndex); }
};

}  // namespace brisfell
