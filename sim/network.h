// The switch side of a segment: the emulated switches of a scenario and how they hang
// together. It takes a frame the station sent and says which frames come back and when; the
// in-memory segment and the emulator on a real interface both sit on top of it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/clock.h"
#include "engine/types.h"
#include "sim/emulated_switch.h"
#include "sim/scenario.h"

namespace brisfell::sim {

struct Outgoing {
  std::vector<uint8_t> bytes;
  int64_t atUs = 0;     // when the frame reaches the station
  int fromSwitch = -1;  // index of the switch that sent it
};

class Network {
 public:
  // Time taken by a switch to answer, and by a frame to cross one link.
  static constexpr int64_t kAnswerUs = 50;
  static constexpr int64_t kHopUs = 20;

  // `clock` is handed to the switches for the test-access reads of their counters.
  explicit Network(const Scenario& scenario, Clock* clock = nullptr);

  const Mac& StationMac() const { return station_; }
  int SwitchCount() const { return static_cast<int>(switches_.size()); }
  EmulatedSwitch& Switch(int i) { return *switches_.at(i); }
  const EmulatedSwitch& Switch(int i) const { return *switches_.at(i); }
  EmulatedSwitch* FindSwitch(const Mac& mac);
  int IndexOf(const Mac& mac) const;
  // Links between the station and switch i (1 for a switch on the station's own segment).
  int Distance(int i) const { return distance_.at(i); }

  // A frame sent by `station` (frames from any other source are not the console's and are
  // ignored; pass the frame's own source to answer whoever asks). Every switch sees it, entering
  // through its own port toward the station; the replies come back sorted by arrival time, then
  // by distance and scenario order, so the order is always the same.
  std::vector<Outgoing> FromStation(const uint8_t* frame, size_t length, const Mac& station, int64_t nowUs);

 private:
  Mac station_{};
  std::vector<std::unique_ptr<EmulatedSwitch>> switches_;
  std::vector<int> distance_;
  std::vector<int> order_;  // by distance, then scenario order
};

}  // namespace brisfell::sim
