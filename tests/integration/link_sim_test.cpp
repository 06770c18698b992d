// The read paths against the emulated switches: several switches read at once, batches that
// stay right under every kind of wire fault, and the EEPROM look-ups of discovery side by side.
#include <gtest/gtest.h>

#include "sim/scenario.h"
#include "support/sim_fixture.h"

namespace brisfell {
namespace {

std::vector<uint16_t> Range(uint16_t first, int count) {
  std::vector<uint16_t> r;
  for (int i = 0; i < count; ++i) r.push_back(static_cast<uint16_t>(first + i));
  return r;
}

// Every switch of the segment in one call: one that stopped answering fails alone, after the
// time-out of one read, and says which switch and register.
TEST(LinkSim, SeveralSwitchesAreReadAtOnce) {
  SimFixture f;
  ASSERT_EQ(f.DiscoverAndSelect(), 5);
  std::vector<SwitchRead> reads;
  for (int i = 0; i < f.engine.SwitchCount(); ++i) reads.push_back({i, Range(kRegMibSelect, 91)});
  const int muted = f.IndexOfPortCount(24);
  f.Emulated(muted).SetMuted(true);
  AdapterIo io(f.engine);
  const int64_t start = f.clock.NowUs();
  EXPECT_FALSE(f.engine.ReadSwitches(reads));
  EXPECT_EQ(f.clock.NowUs() - start, 1'000'000);
  for (const SwitchRead& r : reads) {
    SCOPED_TRACE(r.index);
    if (r.index == muted) {
      EXPECT_FALSE(r.ok);
      EXPECT_EQ(r.failure, Format("no answer from %s (TGR7724) for register 0x0700 after %d tries in 1000 ms",
                                  FormatMac(f.engine.GetSwitchRecord(muted)->mac).c_str(), kRegisterTries));
      EXPECT_EQ(f.engine.LastFailure(), r.failure);
      continue;
    }
    ASSERT_TRUE(r.ok) << r.failure;
    ASSERT_EQ(r.values.size(), 91u);
    for (const auto& [reg, value] : r.values) {
      if (reg < kRegMibCounter1) {
        EXPECT_EQ(value, f.Emulated(r.index).Register(reg)) << reg;
      }
    }
  }
}

// Lost, doubled and late frames, strays from other switches, frames cut short and the
// station's own frames echoed: a batch read still gives exactly what the switch holds, or
// fails. (A stray naming another register of the same switch with a wrong value is a fault
// of its own in the fault matrix: without a transaction number in the frames, it can only be
// told from an answer when it comes out of order.)
TEST(LinkSim, BatchesGiveWhatTheSwitchHoldsUnderEveryFault) {
  int succeeded = 0;
  for (uint64_t seed = 1; seed <= 10; ++seed) {
    SimFixture f;
    ASSERT_EQ(f.DiscoverAndSelect(), 5);
    sim::Faults& x = f.segment.GetFaults();
    x.seed = seed;
    x.dropToSwitches = x.dropToStation = 0.1;
    x.duplicateReplies = x.strayOtherMac = x.strayTruncated = x.strayIpv4 = 0.3;
    x.duplicateDelayUs = 2'000;
    x.echoStationFrames = true;
    const std::vector<uint16_t> regs = Range(kRegPortBandwidth, 13);
    sim::EmulatedSwitch& sw = f.Emulated(0);
    for (uint16_t r : regs) sw.SetRegister(r, 0x0100u * (r & 0xFF) + seed);
    AdapterIo io(f.engine);
    for (int round = 0; round < 3; ++round) {
      std::map<uint16_t, uint32_t> values;
      if (!f.engine.ReadRegisters(0, regs, values)) continue;
      ++succeeded;
      for (uint16_t r : regs) EXPECT_EQ(values[r], sw.Register(r)) << "seed " << seed << ", register " << r;
      for (uint16_t r : regs) sw.SetRegister(r, sw.Register(r) ^ 0x5555);  // a change each round
    }
  }
  EXPECT_EQ(succeeded, 30) << "10% loss each way costs time, not the read";
}

// Two switches whose hello names another maker are looked up in their EEPROM side by side:
// the look-up of both takes hardly longer than that of one.
TEST(LinkSim, DiscoveryLooksUpUnknownMakersSideBySide) {
  auto legacy = [](int n) {
    sim::SwitchSetup s;
    s.name = "legacy" + std::to_string(n);
    s.mac = {0x02, 0x0B, 0xF1, 0x55, 0x00, static_cast<uint8_t>(n)};
    s.vendorId = 0x12347001;
    s.eepromVendorId = 0x6B2D7001;
    s.towardStation = 3;
    return s;
  };
  auto discover = [&](int switches) {
    sim::Scenario scenario;
    scenario.name = "legacy";
    scenario.stationMac = {0x02, 0x0B, 0xF1, 0x00, 0x00, 0x01};
    for (int n = 1; n <= switches; ++n) scenario.switches.push_back(legacy(n));
    SimFixture f(scenario);
    f.engine.EnumerateAdapters();
    const int64_t start = f.clock.NowUs();
    EXPECT_EQ(f.engine.DiscoverSwitches(0, false), switches);
    for (int i = 0; i < f.engine.SwitchCount(); ++i) EXPECT_EQ(f.engine.GetSwitchRecord(i)->vendorId, 0x6B2D7001u) << i;
    EXPECT_TRUE(f.engine.DiscoveryWarnings().empty());
    return f.clock.NowUs() - start;
  };
  const int64_t one = discover(1);
  const int64_t two = discover(2);
  EXPECT_LT(two - one, (one - kBroadcastHelloWindowMs * 1000) / 2);
}

}  // namespace
}  // namespace brisfell
