// Test helpers for the emulator suites: scenarios built in code, and a station that talks to
// the segment frame by frame through the driver interface.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "engine/frames.h"
#include "sim/segment.h"

namespace brisfell::sim::test {

inline Mac SwitchMac(int n) { return {0x02, 0x0B, 0xF1, 0x77, 0x00, static_cast<uint8_t>(n)}; }
inline const Mac kStation = {0x02, 0x0B, 0xF1, 0x00, 0x00, 0x01};

inline SwitchSetup PlainSwitch(uint32_t vendorId, int n = 1) {
  SwitchSetup s;
  s.name = "sw" + std::to_string(n);
  s.mac = SwitchMac(n);
  s.vendorId = vendorId;
  s.chipId = 0x1234;
  s.towardStation = 3;
  return s;
}

inline Scenario ScenarioOf(std::vector<SwitchSetup> switches) {
  Scenario s;
  s.name = "test";
  s.stationMac = kStation;
  s.switches = std::move(switches);
  return s;
}

using Batch = std::vector<std::vector<uint8_t>>;

inline Batch Frames(const uint8_t* buffer, size_t n) {
  Batch frames;
  WalkBatch(buffer, n, [&](const uint8_t* data, size_t length) {
    frames.emplace_back(data, data + length);
    return true;
  });
  return frames;
}

// The station side: one open adapter on the segment.
struct Wire {
  VirtualClock clock;
  Segment segment;
  std::unique_ptr<AdapterHandle> handle;
  std::vector<uint8_t> buffer = std::vector<uint8_t>(256000);

  explicit Wire(const Scenario& scenario) : segment(scenario, clock) {
    const char* name = Segment::kAdapterName;
    handle = segment.OpenAdapter(reinterpret_cast<const uint8_t*>(name), false);
    segment.SetReadTimeout(*handle, 10);
  }

  void Send(const Frame& frame) {
    Frame copy = frame;
    Packet p;
    InitPacket(p, copy.data(), static_cast<uint32_t>(copy.size()));
    ASSERT_TRUE(segment.SendPacket(*handle, p));
  }

  // One receive call.
  Batch Receive() {
    Packet p;
    InitPacket(p, buffer.data(), static_cast<uint32_t>(buffer.size()));
    EXPECT_TRUE(segment.ReceivePacket(*handle, p));
    return Frames(buffer.data(), p.bytesReceived);
  }

  // Everything that arrives within `ms`.
  Batch ReceiveFor(int ms) {
    Batch all;
    const int64_t end = clock.NowUs() + ms * 1000LL;
    while (clock.NowUs() < end) {
      for (auto& f : Receive()) all.push_back(std::move(f));
    }
    return all;
  }

  std::optional<uint32_t> Get(const Mac& to, uint16_t reg, KeyBytes key = kDefaultKeyBytes) {
    segment.DiscardPending(*handle);
    Send(BuildGet(kStation, to, key, reg));
    // Returns at the reply, so that the clock moves no further than the wire makes it.
    const int64_t end = clock.NowUs() + 20'000;
    while (clock.NowUs() < end) {
      for (const auto& f : Receive())
        if (auto v = ParseGetReply(f.data(), f.size(), reg, to)) return v;
    }
    return std::nullopt;
  }

  void Set(const Mac& to, uint16_t reg, uint32_t value, KeyBytes key = kDefaultKeyBytes) {
    Send(BuildSet(kStation, to, key, reg, value));
  }

  std::vector<HelloReply> Hello(const Mac& to = kBroadcastMac, KeyBytes key = kDefaultKeyBytes) {
    Send(BuildDirectedHello(kStation, to, key));
    std::vector<HelloReply> replies;
    for (const auto& f : ReceiveFor(20))
      if (auto r = ParseHelloReply(f.data(), f.size())) replies.push_back(*r);
    return replies;
  }
};

}  // namespace brisfell::sim::test
