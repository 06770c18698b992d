// What the VLAN page tests share: the emulated segment with a page context, a way to pick each
// model, and the chip's VLAN registers as the emulated switch holds them.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <vector>

#include "pages/common/page_context.h"
#include "pages/common/prompt.h"
#include "pages/vlan/vlan_model.h"
#include "support/sim_fixture.h"

namespace brisfell {

inline void PrintTo(const VlanWrite& w, std::ostream* os) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "{0x%04X, 0x%04X}", w.reg, w.value);
  *os << buf;
}

}  // namespace brisfell

namespace brisfell::testing {

struct VlanTest : ::testing::Test {
  SimFixture sim;
  ScriptedPrompt prompt;
  PageContext ctx{sim.engine, prompt};

  void SetUp() override { ASSERT_GT(sim.DiscoverAndSelect(0), 0); }

  // Makes the first switch with `ports` ports current and forgets what it logged so far.
  sim::EmulatedSwitch& Use(int ports) {
    const int index = sim.IndexOfPortCount(ports);
    EXPECT_GE(index, 0) << "no " << ports << "-port switch in the scenario";
    sim.Select(index);
    auto& sw = sim.Emulated(index);
    sw.ClearLog();
    return sw;
  }
  sim::EmulatedSwitch& Chip() { return sim.Emulated(ctx.Switch()); }
  int ChipPort(int position) const { return sim.engine.MapPortToChip(ctx.Switch(), position); }

  // The VLAN registers of the current switch, read past the wire.
  VlanImage ChipImage() {
    const int n = ctx.PortCount();
    sim::EmulatedSwitch& sw = Chip();
    VlanImage image = VlanImage::Empty(n);
    image.vlanControl = sw.Register(kRegVlanControl) & 0xFFFF;
    for (size_t i = 0; i < image.portVlanIndex.size(); ++i)
      image.portVlanIndex[i] = sw.Register(static_cast<uint16_t>(kRegPortVlanIndex + i)) & 0xFFFF;
    for (size_t i = 0; i < image.portTagControl.size(); ++i)
      image.portTagControl[i] = sw.Register(static_cast<uint16_t>(kRegPortTagControl + i)) & 0xFFFF;
    for (int k = 0; k < kVlanEntries; ++k) {
      uint32_t m = sw.Register(VlanMembersLowRegister(k)) & 0xFFFF;
      if (n > 16) m |= (sw.Register(VlanMembersHighRegister(k)) & 0xFFFF) << 16;
      image.entries[k] = {m & image.allPorts, sw.Register(VlanIdRegister(k)) & kVlanIdMask};
    }
    return image;
  }

  void SetEntry(int k, uint32_t members, uint32_t vid) {
    Chip().SetRegister(VlanMembersLowRegister(k), members & 0xFFFF);
    Chip().SetRegister(VlanMembersHighRegister(k), members >> 16);
    Chip().SetRegister(VlanIdRegister(k), vid);
  }

  VlanWrites Written() {
    VlanWrites out;
    for (const auto& w : Chip().WriteLog()) out.push_back({w.reg, w.value});
    return out;
  }
  std::vector<uint16_t> RegistersRead() {
    std::vector<uint16_t> out;
    for (const auto& r : Chip().ReadLogWithoutReadBacks()) out.push_back(r.reg);
    return out;
  }
};

}  // namespace brisfell::testing
