// What the port and status page tests share: the emulated segment with a page context on
// top, and a way to find each model.
#pragma once

#include <gtest/gtest.h>

#include <ios>
#include <memory>
#include <vector>

#include "engine/frames.h"
#include "pages/common/page_context.h"
#include "pages/common/prompt.h"
#include "support/sim_fixture.h"

namespace brisfell::testing {

// The default scenario holds one switch of each model (24, 16 and 26 ports).
struct PortsTest : ::testing::Test {
  SimFixture sim;
  ScriptedPrompt prompt;
  PageContext ctx{sim.engine, prompt};

  void SetUp() override { ASSERT_GT(sim.DiscoverAndSelect(0), 0); }

  // Makes the first switch with `ports` ports current and forgets what it logged so far.
  sim::EmulatedSwitch& Use(int ports) {
    const int index = sim.IndexOfPortCount(ports);
    EXPECT_GE(index, 0) << "no " << ports << "-port switch in the scenario";
    return MakeCurrent(index);
  }
  // The same for the first switch with that vendor identifier.
  sim::EmulatedSwitch& UseVendor(uint32_t vendor) {
    const int index = sim.IndexOfVendor(vendor);
    EXPECT_GE(index, 0) << "no switch of vendor " << std::hex << vendor << std::dec << " in the scenario";
    return MakeCurrent(index);
  }
  sim::EmulatedSwitch& MakeCurrent(int index) {
    sim.Select(index);
    auto& sw = sim.Emulated(index);
    sw.ClearLog();
    return sw;
  }
  const SwitchRecord& Record() const { return *ctx.Record(); }
  // Shown row of a chip port on the current switch.
  int Row(int chip) const { return sim.engine.MapChipToPort(ctx.Switch(), chip); }

  static std::vector<uint16_t> ReadOrder(const sim::EmulatedSwitch& sw) {
    std::vector<uint16_t> regs;
    for (const auto& r : sw.ReadLogWithoutReadBacks()) regs.push_back(r.reg);
    return regs;
  }
  static std::vector<uint16_t> WriteOrder(const sim::EmulatedSwitch& sw) {
    std::vector<uint16_t> regs;
    for (const auto& w : sw.WriteLog()) regs.push_back(w.reg);
    return regs;
  }
  // Get requests for `reg` the station sent since the recording was last cleared.
  int GetsSent(uint16_t reg) const {
    int n = 0;
    for (const auto& f : sim.segment.Recording()) {
      const auto frame = DecodeFrame(f.bytes.data(), f.bytes.size());
      if (f.direction == sim::RecordedFrame::Direction::FromStation && frame && frame->opcode == rrcp::kOpGet &&
          frame->reg == reg)
        ++n;
    }
    return n;
  }
  static std::vector<uint16_t> Range(uint16_t first, int count) {
    std::vector<uint16_t> regs;
    for (int i = 0; i < count; ++i) regs.push_back(static_cast<uint16_t>(first + i));
    return regs;
  }
};

inline std::vector<uint16_t> operator+(std::vector<uint16_t> a, const std::vector<uint16_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace brisfell::testing
