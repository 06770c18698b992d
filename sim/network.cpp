#include "sim/network.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace brisfell::sim {

Network::Network(const Scenario& scenario, Clock* clock) : station_(scenario.stationMac) {
  ValidateScenario(scenario);
  const auto& setups = scenario.switches;
  for (const auto& desc : setups) switches_.push_back(std::make_unique<EmulatedSwitch>(desc, clock));
  distance_.assign(setups.size(), 0);
  for (size_t i = 0; i < setups.size(); ++i) {
    int d = 1;
    for (int at = setups[i].upstream; at >= 0; at = setups[at].upstream) ++d;
    distance_[i] = d;
    const SwitchSetup& s = setups[i];
    const Mac upMac = s.upstream >= 0 ? setups[s.upstream].mac : Mac{};
    const uint8_t upPort = s.upstream >= 0 ? static_cast<uint8_t>(s.upstreamPort) : 0;
    switches_[i]->SetPlacement(static_cast<uint8_t>(s.towardStation), upPort, upMac);
  }
  order_.resize(setups.size());
  std::iota(order_.begin(), order_.end(), 0);
  std::stable_sort(order_.begin(), order_.end(), [this](int a, int b) { return distance_[a] < distance_[b]; });
}

EmulatedSwitch* Network::FindSwitch(const Mac& mac) {
  const int i = IndexOf(mac);
  return i < 0 ? nullptr : switches_[i].get();
}

int Network::IndexOf(const Mac& mac) const {
  for (size_t i = 0; i < switches_.size(); ++i)
    if (switches_[i]->MacAddress() == mac) return static_cast<int>(i);
  return -1;
}

std::vector<Outgoing> Network::FromStation(const uint8_t* frame, size_t length, const Mac& station, int64_t nowUs) {
  std::vector<Outgoing> out;
  if (length < 14 || std::memcmp(frame + 6, station.data(), 6) != 0) return out;
  // Switches forward everything, so each one sees the frame whatever the others do with it.
  for (int i : order_) {
    EmulatedSwitch& sw = *switches_[i];
    auto reply = sw.HandleFrame(frame, length, sw.DownLinkPort(), nowUs);
    if (!reply) continue;
    Outgoing o;
    o.bytes.assign(reply->begin(), reply->end());
    o.atUs = nowUs + kAnswerUs + 2 * kHopUs * distance_[i];
    o.fromSwitch = i;
    out.push_back(std::move(o));
  }
  std::stable_sort(out.begin(), out.end(), [](const Outgoing& a, const Outgoing& b) { return a.atUs < b.atUs; });
  return out;
}

}  // namespace brisfell::sim
