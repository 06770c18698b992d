// What an emulated segment holds: the station, the switches with their identities, live port
// state, traffic and overrides, and how they hang together. Scenarios are JSON documents
// (sim/scenarios/*.json); DefaultScenario() is the one the application's --sim uses.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/profiles.h"
#include "engine/types.h"
#include "sim/faults.h"

namespace brisfell::sim {

// What the three MIB counters of a port can count (see the counter selection registers).
enum class TrafficKind : int {
  RxBytes,
  RxPackets,
  TxBytes,
  TxPackets,
  DropBytes,
  DropPackets,
  CrcErrors,
  Collisions,
};
constexpr int kTrafficKinds = 8;

// A port's traffic: what it had counted when the switch came up, and how fast it keeps counting.
struct PortTraffic {
  std::array<uint64_t, kTrafficKinds> totals{};
  std::array<double, kTrafficKinds> perSecond{};

  uint64_t& Total(TrafficKind k) { return totals[static_cast<int>(k)]; }
  double& Rate(TrafficKind k) { return perSecond[static_cast<int>(k)]; }
  bool operator==(const PortTraffic&) const = default;
};

struct PortState {
  bool link = false;
  int speed = 100;  // 10, 100 or 1000
  bool fullDuplex = true;
  bool flowControl = false;
  PortTraffic traffic;
  bool operator==(const PortState&) const = default;
};

struct SwitchSetup {
  std::string name;
  Mac mac{};
  uint32_t vendorId = 0x6B2D7001;  // what the hello reply reports
  // The copy in EEPROM bytes 26-29; 0 means the same as vendorId (bytes 26-29 can still be set
  // to anything through `eeprom`).
  uint32_t eepromVendorId = 0;
  uint16_t chipId = 0;
  uint16_t key = kDefaultAuthKey;
  std::array<PortState, kMaxChipPorts> ports{};
  uint32_t tbiPorts = 0;         // bit k: chip port k (24 or 25) has a TBI interface
  uint32_t loopPorts = 0;        // bit k: a loop was detected on chip port k
  uint16_t faultStatus = 0;      // the fault status register, as is
  uint32_t igmpRouterPorts = 0;  // bit k: chip port k leads to a multicast router
  std::map<uint16_t, uint32_t> registers;  // applied after the model's power-on defaults
  std::map<uint16_t, uint8_t> eeprom;      // applied after the EEPROM image is built
  int eepromBusyPolls = 1;
  bool eepromWriteProtected = false;
  bool muted = false;

  // Topology: the switch this one hangs on (index into Scenario::switches, -1 = it sits on the
  // station's own segment), the chip port of that switch, and this switch's own chip port that
  // leads toward the station.
  int upstream = -1;
  int upstreamPort = 0;
  int towardStation = 0;

  bool operator==(const SwitchSetup&) const = default;
};

struct Scenario {
  std::string name;
  std::string description;
  Mac stationMac{};
  std::vector<SwitchSetup> switches;
  Faults faults;  // the wire's faults ("faults" in the file; none by default)
  bool operator==(const Scenario&) const = default;
};

// Scenario files are read whole; a longer file is refused (a scenario of 64 switches with
// every register set fits many times over).
constexpr size_t kMaxScenarioFileBytes = 4 * 1024 * 1024;

uint32_t EepromVendorId(const SwitchSetup& desc);
// The vendor identifier whose model a switch really is: the hello's when it carries the known
// maker code, else the EEPROM copy's when that does, else the hello's (the generic chip).
uint32_t ModelVendorId(const SwitchSetup& desc);
int ModelPortCount(const SwitchSetup& desc);

// Throws std::runtime_error with a message naming the offending place.
Scenario ParseScenario(const std::string& text);
// Only a regular file is read (a link, FIFO or device is refused unread), and at most
// kMaxScenarioFileBytes of it.
Scenario LoadScenarioFile(const std::string& path);
// Sets the scenario's faults from the text of brisfell-sim --faults: "key=value" pairs
// separated by commas with the keys of the "faults" object ("dropToStation=0.1,seed=7",
// "mute=core,mute=gig"), or that object itself as JSON. Faults not named keep their values.
// Throws std::runtime_error naming the offending key.
void ApplyFaultsText(Scenario& scenario, const std::string& text);
// The built-in scenario; sim/scenarios/default.json holds the same text.
Scenario DefaultScenario();
std::string DefaultScenarioText();

// Checks the topology and identities of a scenario built in code (ParseScenario runs it too).
void ValidateScenario(const Scenario& scenario);

}  // namespace brisfell::sim
