// Scenario files and --faults texts come from whoever runs the emulator. Any text either loads
// into a scenario the emulator can run, or is refused with a message; nothing else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "sim/network.h"
#include "sim/scenario.h"

using namespace brisfell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses: a whole scenario, or --faults text applied to the built-in one.
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  try {
    sim::Scenario scenario;
    if (data[0] & 1) {
      scenario = sim::DefaultScenario();
      sim::ApplyFaultsText(scenario, text);
    } else {
      scenario = sim::ParseScenario(text);
    }
    if (scenario.switches.size() > 64) return 0;  // accepted, but too many to build quickly
    sim::Network network(scenario);
    if (network.SwitchCount() != static_cast<int>(scenario.switches.size())) std::abort();
  } catch (const std::runtime_error& e) {
    if (std::string(e.what()).empty()) std::abort();  // a refusal always says why
  }
  return 0;
}
