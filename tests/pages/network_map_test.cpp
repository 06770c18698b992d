// The network map on the emulated segment: the tree the switches' hello replies describe,
// labelled with exactly the ports the Overview shows, whatever the replies say.
#include <gtest/gtest.h>

#include <set>

#include "pages/status/network_map_logic.h"
#include "pages/status/overview_logic.h"
#include "support/sim_fixture.h"

namespace brisfell {
namespace {

// Each switch appears once; parents come first; every link carries the Overview's ports.
void ExpectMatchesTheOverview(Engine& engine, const NetworkMap& map) {
  ASSERT_FALSE(map.nodes.empty());
  EXPECT_EQ(map.nodes[0].kind, MapNodeKind::Station);
  std::multiset<int> seen;
  for (size_t i = 1; i < map.nodes.size(); ++i) {
    const MapNode& n = map.nodes[i];
    ASSERT_GE(n.parent, 0);
    ASSERT_LT(n.parent, static_cast<int>(i));
    EXPECT_EQ(n.depth, map.nodes[n.parent].depth + 1);
    if (n.kind != MapNodeKind::Switch) continue;
    seen.insert(n.switchIndex);
    engine.SetCurrentSwitchIndex(n.switchIndex);
    const auto row = BuildOverview(engine).topology.rows.at(0);
    SCOPED_TRACE(row[0]);
    EXPECT_EQ(n.mac, row[0]);
    EXPECT_EQ(n.ownPort, row[1]);
    const MapNode& parent = map.nodes[n.parent];
    if (parent.kind == MapNodeKind::Switch) {
      EXPECT_EQ(parent.mac, row[2]);
      EXPECT_EQ(n.parentPort, row[3]);
    } else {
      EXPECT_EQ(row[2], kNotAvailable);
      EXPECT_EQ(n.parentPort, parent.kind == MapNodeKind::Station ? "" : kNotAvailable);
    }
  }
  std::multiset<int> all;
  for (int s = 0; s < engine.SwitchCount(); ++s) all.insert(s);
  EXPECT_EQ(seen, all);
}

// Leaves side by side; a parent centred over its children; no two nodes of a row on one slot.
void ExpectTidyLayout(const NetworkMap& map) {
  std::set<std::pair<int, double>> places;
  for (size_t i = 0; i < map.nodes.size(); ++i) {
    EXPECT_TRUE(places.insert({map.nodes[i].depth, map.nodes[i].slot}).second) << "node " << i;
    std::vector<double> kids;
    for (const MapNode& c : map.nodes)
      if (c.parent == static_cast<int>(i)) kids.push_back(c.slot);
    if (!kids.empty()) {
      EXPECT_DOUBLE_EQ(map.nodes[i].slot, (kids.front() + kids.back()) / 2);
    }
    EXPECT_LT(map.nodes[i].slot, map.width);
  }
}

const MapNode& NodeOf(const NetworkMap& map, const SimFixture& f, const char* mac) {
  const int s = [&] {
    for (int i = 0; i < f.engine.SwitchCount(); ++i)
      if (FormatMac(f.engine.GetSwitchRecord(i)->mac) == mac) return i;
    return -1;
  }();
  const int node = map.NodeOfSwitch(s);
  if (node < 0) throw std::runtime_error(std::string("not on the map: ") + mac);
  return map.nodes[node];
}

TEST(NetworkMapTest, TheBuiltInSegmentIsATreeFromTheStation) {
  SimFixture f;
  EXPECT_TRUE(BuildNetworkMap(f.engine).nodes.empty());  // no adapter chosen yet
  ASSERT_EQ(f.DiscoverAndSelect(0), 5);
  const NetworkMap map = BuildNetworkMap(f.engine);
  ASSERT_EQ(map.nodes.size(), 6u);
  EXPECT_EQ(map.nodes[0].mac, FormatMac(f.segment.StationMac()));
  EXPECT_EQ(map.depth, 3);
  EXPECT_DOUBLE_EQ(map.width, 3);  // three leaves: access-b, legacy, gig
  const MapNode& core = NodeOf(map, f, "02:0B:F1:24:00:01");
  const MapNode& accessA = NodeOf(map, f, "02:0B:F1:16:00:03");
  const MapNode& accessB = NodeOf(map, f, "02:0B:F1:16:00:04");
  EXPECT_EQ(core.parent, 0);
  EXPECT_EQ(core.name, "TGR7724");
  EXPECT_EQ(core.model, "24 ports, vendor 0x6B2D7002");
  EXPECT_EQ(map.nodes[accessB.parent].mac, accessA.mac);
  EXPECT_EQ(map.nodes[accessA.parent].mac, core.mac);
  // Another maker's switch is named by its place in the table, as the switch selector lists it.
  const MapNode& gig = NodeOf(map, f, "02:0B:F1:26:00:01");
  EXPECT_EQ(gig.name, Format("Switch %d", gig.switchIndex + 1));
  ExpectMatchesTheOverview(f.engine, map);
  ExpectTidyLayout(map);
}

TEST(NetworkMapTest, UpstreamNotFoundAndUntranslatablePortsSayNa) {
  sim::Scenario scenario = sim::DefaultScenario();
  SimFixture f(scenario);
  // access-a stays silent (it still passes frames on): access-b's upstream is not discovered.
  f.segment.FindSwitch(*ParseMac("02:0B:F1:16:00:03"))->SetMuted(true);
  // The gig switch says it heard the hello on chip port 30, which no port map has.
  sim::EmulatedSwitch& gig = *f.segment.FindSwitch(*ParseMac("02:0B:F1:26:00:01"));
  gig.SetPlacement(30, gig.UpLinkPort(), gig.UpLinkMac());
  ASSERT_EQ(f.DiscoverAndSelect(0), 4);
  const NetworkMap map = BuildNetworkMap(f.engine);
  ASSERT_EQ(map.nodes.size(), 6u);  // station, one undiscovered upstream, four switches

  const MapNode& accessB = NodeOf(map, f, "02:0B:F1:16:00:04");
  const MapNode& missing = map.nodes[accessB.parent];
  EXPECT_EQ(missing.kind, MapNodeKind::Undiscovered);
  EXPECT_EQ(missing.mac, "02:0B:F1:16:00:03");
  EXPECT_EQ(missing.parent, 0);
  EXPECT_EQ(accessB.parentPort, kNotAvailable);
  EXPECT_EQ(accessB.ownPort, "1");
  EXPECT_EQ(NodeOf(map, f, "02:0B:F1:26:00:01").ownPort, kNotAvailable);
  ExpectMatchesTheOverview(f.engine, map);
  ExpectTidyLayout(map);
}

TEST(NetworkMapTest, RepliesThatNameEachOtherAsUpstreamAreCut) {
  SimFixture f;
  sim::EmulatedSwitch& core = *f.segment.FindSwitch(*ParseMac("02:0B:F1:24:00:01"));
  sim::EmulatedSwitch& accessA = *f.segment.FindSwitch(*ParseMac("02:0B:F1:16:00:03"));
  core.SetPlacement(core.DownLinkPort(), 15, accessA.MacAddress());
  ASSERT_EQ(f.DiscoverAndSelect(0), 5);
  const NetworkMap map = BuildNetworkMap(f.engine);
  ASSERT_EQ(map.nodes.size(), 6u);
  // Every switch hangs below the station, through exactly one cut link.
  int cut = 0;
  for (const MapNode& n : map.nodes)
    if (n.kind == MapNodeKind::Switch && n.parent == 0) ++cut;
  EXPECT_EQ(cut, 1);
  ExpectTidyLayout(map);
}

TEST(NetworkMapTest, NoSwitchLeavesTheStationAlone) {
  sim::Scenario quiet = sim::DefaultScenario();
  for (auto& sw : quiet.switches) sw.muted = true;
  SimFixture f(quiet);
  ASSERT_EQ(f.DiscoverAndSelect(0), 0);
  const NetworkMap map = BuildNetworkMap(f.engine);
  ASSERT_EQ(map.nodes.size(), 1u);
  EXPECT_EQ(map.NodeOfSwitch(0), -1);
  EXPECT_DOUBLE_EQ(map.width, 1);
}

}  // namespace
}  // namespace brisfell
