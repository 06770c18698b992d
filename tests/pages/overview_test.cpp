// The Overview lists on an emulated chain: a 16-port switch hanging on port 5 (chip port 4)
// of a 24-port switch, which sits on the station's own segment.
#include <gtest/gtest.h>

#include "pages/status/overview_logic.h"
#include "support/sim_fixture.h"

namespace brisfell {
namespace {

constexpr Mac kCoreMac = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
constexpr Mac kAccessMac = {0x02, 0x0B, 0xF1, 0x16, 0x00, 0x07};

sim::Scenario ChainedPair() {
  sim::Scenario s;
  s.name = "pair";
  s.stationMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
  sim::SwitchSetup core;
  core.name = "core";
  core.mac = kCoreMac;
  core.vendorId = core.eepromVendorId = 0x6B2D7002;
  core.chipId = 5;
  core.towardStation = 0;
  sim::SwitchSetup access;
  access.name = "access";
  access.mac = kAccessMac;
  access.vendorId = access.eepromVendorId = 0x6B2D7001;
  access.chipId = 0x5310;
  access.upstream = 0;
  access.upstreamPort = 4;
  access.towardStation = 15;
  s.switches = {core, access};
  return s;
}

int IndexOfMac(const Engine& engine, const Mac& mac) {
  for (int i = 0; i < engine.SwitchCount(); ++i)
    if (engine.GetSwitchRecord(i)->mac == mac) return i;
  return -1;
}

using Rows = std::vector<std::vector<std::string>>;

TEST(OverviewTest, ColumnsAreFixedAndListsEmptyWithoutAdapterOrSwitch) {
  SimFixture f(ChainedPair());
  OverviewTables t = BuildOverview(f.engine);  // nothing discovered, no adapter chosen
  EXPECT_EQ(t.devices.columns, (std::vector<std::string>{"Name", "MAC Address", "Chip ID", "Vendor ID"}));
  EXPECT_EQ(t.topology.columns,
            (std::vector<std::string>{"Down Link MAC", "Down Link Port", "Up Link MAC", "Up Link Port"}));
  EXPECT_TRUE(t.devices.rows.empty());
  EXPECT_TRUE(t.topology.rows.empty());

  f.DiscoverAndSelect(0);
  f.engine.SetCurrentSwitchIndex(-1);
  t = BuildOverview(f.engine);
  EXPECT_TRUE(t.devices.rows.empty());
  EXPECT_TRUE(t.topology.rows.empty());
  // The discovery hello (and its repeats) only; the lists read nothing.
  EXPECT_EQ(f.segment.FramesFromStation(), static_cast<size_t>(kBroadcastHellos));
}

TEST(OverviewTest, DownstreamSwitchUsesTheUpstreamSwitchsPortMap) {
  SimFixture f(ChainedPair());
  ASSERT_EQ(f.DiscoverAndSelect(0), 2);
  const int access = IndexOfMac(f.engine, kAccessMac);
  ASSERT_NE(access, -1);
  f.Select(access);
  const size_t framesBefore = f.segment.FramesFromStation();

  const OverviewTables t = BuildOverview(f.engine);
  EXPECT_EQ(t.devices.rows, (Rows{{"LM8816", "02:0B:F1:16:00:07", "0x5310", "0x6B2D7001"}}));
  // Heard on chip port 15, shown as port 1 on the 16-port model; the 24-port upstream switch
  // shows its chip port 4 as port 6.
  EXPECT_EQ(t.topology.rows, (Rows{{"02:0B:F1:16:00:07", "1", "00:0A:1B:2C:3D:4E", "6"}}));
  EXPECT_EQ(f.segment.FramesFromStation(), framesBefore);
}

TEST(OverviewTest, DirectlyAttachedSwitchHasNoUpLink) {
  SimFixture f(ChainedPair());
  f.DiscoverAndSelect(0);
  f.Select(IndexOfMac(f.engine, kCoreMac));
  const OverviewTables t = BuildOverview(f.engine);
  // Four hex digits for the chip, eight for the vendor, always upper case.
  EXPECT_EQ(t.devices.rows, (Rows{{"TGR7724", "00:0A:1B:2C:3D:4E", "0x0005", "0x6B2D7002"}}));
  EXPECT_EQ(t.topology.rows, (Rows{{"00:0A:1B:2C:3D:4E", "2", "na", "na"}}));
}

TEST(OverviewTest, UndiscoveredUpstreamSwitchGivesNa) {
  SimFixture f(ChainedPair());
  f.segment.FindSwitch(kCoreMac)->SetMuted(true);  // still passes frames on, answers nothing
  ASSERT_EQ(f.DiscoverAndSelect(0), 1);
  ASSERT_EQ(f.engine.GetSwitchRecord(0)->mac, kAccessMac);
  const OverviewTables t = BuildOverview(f.engine);
  EXPECT_EQ(t.topology.rows, (Rows{{"02:0B:F1:16:00:07", "1", "na", "na"}}));
}

TEST(OverviewTest, PortBeyondTheUpstreamModelGivesNaNotZero) {
  SimFixture f(ChainedPair());
  // A reply claiming chip port 30 of the 24-port switch: no shown port has that number.
  f.segment.FindSwitch(kAccessMac)->SetPlacement(15, 30, kCoreMac);
  f.DiscoverAndSelect(0);
  f.Select(IndexOfMac(f.engine, kAccessMac));
  const OverviewTables t = BuildOverview(f.engine);
  EXPECT_EQ(t.topology.rows, (Rows{{"02:0B:F1:16:00:07", "1", "00:0A:1B:2C:3D:4E", "na"}}));
}

}  // namespace
}  // namespace brisfell
