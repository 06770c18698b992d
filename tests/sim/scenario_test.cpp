// Scenario files: the built-in one, what discovery makes of it, and the refusals.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/sim_fixture.h"
#include "wire.h"

namespace brisfell::sim::test {
namespace {

std::string SourceDir() { return BRISFELL_SOURCE_DIR; }

TEST(Scenario, BuiltInEqualsTheShippedFile) {
  const Scenario file = LoadScenarioFile(SourceDir() + "/sim/scenarios/default.json");
  EXPECT_TRUE(file == DefaultScenario()) << "run sim/scenarios/embed_default.py after editing default.json";
  EXPECT_EQ(file.switches.size(), 5u);
}

TEST(Scenario, ExampleFilesLoad) {
  const Scenario s = LoadScenarioFile(SourceDir() + "/sim/scenarios/keyed-pair.json");
  ASSERT_EQ(s.switches.size(), 2u);
  EXPECT_NE(s.switches[0].key, kDefaultAuthKey);
}

TEST(Scenario, DiscoveryOfTheDefaultSegment) {
  SimFixture f;
  EXPECT_EQ(f.engine.EnumerateAdapters(), 1);
  EXPECT_EQ(f.engine.AdapterDescription(0), "Brisfell emulated segment (5 switches)");
  EXPECT_EQ(f.DiscoverAndSelect(), 5);
  ASSERT_EQ(f.engine.SwitchCount(), 5);
  // Nearest first, then scenario order: the indexes stay the same run after run.
  const char* macs[] = {"02:0B:F1:24:00:01", "02:0B:F1:16:00:03", "02:0B:F1:16:00:01", "02:0B:F1:26:00:01",
                        "02:0B:F1:16:00:04"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(FormatMac(f.engine.GetSwitchRecord(i)->mac), macs[i]);

  const SwitchRecord& core = *f.engine.GetSwitchRecord(0);
  EXPECT_EQ(core.vendorId, 0x6B2D7002u);
  EXPECT_EQ(core.downLinkPort, 1);
  EXPECT_EQ(core.upLinkMac, Mac{});
  const SwitchRecord& a = *f.engine.GetSwitchRecord(1);
  EXPECT_EQ(a.upLinkMac, core.mac);
  EXPECT_EQ(a.upLinkPort, 4);
  EXPECT_EQ(a.downLinkPort, 15);
  EXPECT_EQ(f.engine.MapChipToPort(0, a.upLinkPort) + 1, 6);  // as the topology list shows it
  const SwitchRecord& legacy = *f.engine.GetSwitchRecord(2);
  EXPECT_EQ(legacy.vendorId, 0x6B2D7001u) << "taken from the EEPROM copy";
  EXPECT_EQ(legacy.portCount, 16);
  const SwitchRecord& gig = *f.engine.GetSwitchRecord(3);
  EXPECT_EQ(gig.portCount, 26);
  EXPECT_EQ(gig.modelName, "Switch 4");
  const SwitchRecord& b = *f.engine.GetSwitchRecord(4);
  EXPECT_EQ(b.upLinkMac, a.mac);
  EXPECT_EQ(b.upLinkPort, 6);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(f.engine.GetSwitchRecord(i)->authKey, kDefaultKeyBytes);
  EXPECT_EQ(&f.Emulated(4), &f.segment.Switch(2));
  EXPECT_EQ(f.IndexOfVendor(0x6B2D7003), 1);
  EXPECT_EQ(f.IndexOfPortCount(24), 0);
  EXPECT_EQ(f.segment.OpenAdapterCount(), 0);
}

TEST(Scenario, DefaultSegmentLooksAlive) {
  SimFixture f;
  f.DiscoverAndSelect();
  ASSERT_TRUE(f.engine.OpenAdapterIo(0));
  uint32_t v = 0;
  ASSERT_TRUE(f.engine.ReadRegister(0, 0x0307, v, kRegisterTimeoutMs));
  EXPECT_EQ(v, 0x8204u);  // trunk group 2
  ASSERT_TRUE(f.engine.ReadRegister(0, 0x0619, v, kRegisterTimeoutMs));
  EXPECT_EQ(v & 0xFF00u, 0x7500u);  // chip port 1, the station's: up, 100 full, flow control
  uint32_t first = 0;
  ASSERT_TRUE(f.engine.ReadRegister(0, 0x070D + 1, first, kRegisterTimeoutMs));
  f.clock.Advance(1'000'000);
  ASSERT_TRUE(f.engine.ReadRegister(0, 0x070D + 1, v, kRegisterTimeoutMs));
  EXPECT_GT(v, first);
  f.engine.CloseAdapterIo(0);
}

TEST(Scenario, ValuesAndTopologyFromText) {
  const Scenario s = ParseScenario(R"({
    "station": {"mac": "02-00-00-00-00-09", "switch": 1, "port": 2},
    "switches": [
      {"mac": "020000000001", "model": "24-port", "key": 4660, "uplink": {"switch": "switch2", "port": 9, "via": 0},
       "allPorts": {"link": true, "speed": 10, "duplex": "half"},
       "ports": [{"chips": [3, 4], "link": false, "traffic": {"rxBytes": "0x10", "perSecond": {"txPackets": 2.5}}}],
       "registers": {"0x0307": 130}, "eeprom": {"12": "0x03"}, "tbiPorts": [], "eepromWriteProtected": true},
      {"mac": "02:00:00:00:00:02", "vendorId": 305426433, "eepromVendorId": "0x6B2D7001"}
    ]})");
  ASSERT_EQ(s.switches.size(), 2u);
  const SwitchSetup& a = s.switches[0];
  EXPECT_EQ(a.name, "switch1");
  EXPECT_EQ(a.vendorId, 0x6B2D7002u);
  EXPECT_EQ(a.key, 0x1234);
  EXPECT_EQ(a.upstream, 1);
  EXPECT_EQ(a.upstreamPort, 9);
  EXPECT_EQ(a.towardStation, 0);
  EXPECT_TRUE(a.ports[0].link);
  EXPECT_EQ(a.ports[0].speed, 10);
  EXPECT_FALSE(a.ports[0].fullDuplex);
  EXPECT_FALSE(a.ports[4].link);
  EXPECT_EQ(a.ports[4].speed, 10);
  EXPECT_EQ(a.ports[3].traffic.totals[static_cast<int>(TrafficKind::RxBytes)], 16u);
  EXPECT_EQ(a.ports[3].traffic.perSecond[static_cast<int>(TrafficKind::TxPackets)], 2.5);
  EXPECT_EQ(a.registers.at(0x0307), 130u);
  EXPECT_EQ(a.eeprom.at(12), 3);
  EXPECT_TRUE(a.eepromWriteProtected);
  const SwitchSetup& b = s.switches[1];
  EXPECT_EQ(b.upstream, -1);
  EXPECT_EQ(b.towardStation, 2);
  EXPECT_EQ(ModelVendorId(b), 0x6B2D7001u);
  EXPECT_EQ(ModelPortCount(b), 16);
}

struct BadScenario {
  std::string text;
  const char* message;  // a piece of the expected message
};

TEST(Scenario, RefusesBrokenScenariosSayingWhere) {
  const std::string ok = R"("mac": "02:00:00:00:00:01", "uplink": {"via": 0})";
  const BadScenario cases[] = {
      {"{", "not valid JSON"},
      {"[]", "top level: must be a JSON object"},
      {R"({"switchs": []})", "unknown key \"switchs\""},
      {R"({"switches": [{"uplink": {"via": 0}}]})", "switches[0]: a switch needs a \"mac\""},
      {R"({"switches": [{"mac": "02:00:00:00:00", "uplink": {"via": 0}}]})", "switches[0].mac"},
      {R"({"switches": [{"mac": "01:00:00:00:00:01", "uplink": {"via": 0}}]})", "group"},
      {R"({"switches": [{)" + ok + R"(}, {)" + ok + R"(}]})", "is used by switches[0] (switch1) too"},
      {R"({"switches": [{"mac": "02:00:00:00:00:01"}]})", "is not connected"},
      {R"({"switches": [{)" + ok + R"(, "lnk": true}]})", "switches[0]: unknown key \"lnk\""},
      {R"({"switches": [{)" + ok + R"(, "model": "12-port"}]})", "switches[0].model"},
      {R"({"switches": [{)" + ok + R"(, "model": "16-port", "vendorId": 1}]})", "either"},
      {R"({"switches": [{)" + ok + R"(, "key": -1}]})", "switches[0].key: must not be negative"},
      {R"({"switches": [{)" + ok + R"(, "key": "0x12345"}]})", "above the largest"},
      {R"({"switches": [{)" + ok + R"(, "chipId": "12ab"}]})", "is not a number"},
      {R"({"switches": [{)" + ok + R"(, "ports": [{"chip": 20, "link": true}], "model": "16-port"}]})",
       "beyond this model's 16 ports"},
      {R"({"switches": [{)" + ok + R"(, "ports": [{"chip": 1, "speed": 20}]}]})", "ports[0].speed"},
      {R"({"switches": [{)" + ok + R"(, "ports": [{"chip": 1, "traffic": {"rx": 1}}]}]})", "ports[0].traffic"},
      {R"({"switches": [{)" + ok + R"(, "tbiPorts": [3]}]})", "TBI"},
      {R"({"switches": [{"mac": "02:00:00:00:00:01", "uplink": {"switch": "nobody", "port": 1, "via": 0}}]})",
       "no switch is named \"nobody\""},
      {R"({"switches": [{"name": "a", "mac": "02:00:00:00:00:01", "uplink": {"switch": "b", "port": 1, "via": 0}},
                         {"name": "b", "mac": "02:00:00:00:00:02", "uplink": {"switch": "a", "port": 1, "via": 0}}]})",
       "loop"},
      {R"({"switches": [{"mac": "02:00:00:00:00:01", "uplink": {"switch": 0, "port": 1, "via": 0}}]})", "itself"},
      {R"({"switches": [{"mac": "02:00:00:00:00:01", "model": "16-port", "uplink": {"via": 17}}]})",
       "beyond its 16 ports"},
      {R"({"station": {"switch": 0, "port": 1}, "switches": [{)" + ok + R"(}]})", "cannot have an uplink"},
      {R"({"station": {"switch": 3, "port": 1}, "switches": [{)" + ok + R"(}]})", "station.switch"},
      {R"({"station": {"mac": "02:00:00:00:00:01"}, "switches": [{)" + ok + R"(}]})", "station's own address"},
      // A number beyond a double's range, named by its place.
      {R"({"switches": [{)" + ok + R"(}, {)" + ok + R"(, "ports": [{"chip": 1}, {"chip": 1e999}]}]})",
       "switches[1].ports[1].chip: the number 1e999 is out of range"},
      {"0.666666e66636", "top level: the number 0.666666e66636 is out of range"},
  };
  for (const auto& c : cases) {
    try {
      ParseScenario(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what() << "\nfor: " << c.text;
    }
  }
}

TEST(Scenario, FileErrorsNameTheFile) {
  try {
    LoadScenarioFile("/nonexistent/brisfell.json");
    ADD_FAILURE() << "a missing file was accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/brisfell.json"), std::string::npos) << e.what();
  }
  SimFixture f;  // for its temporary folder
  const std::string path = f.tempDir + "/broken.json";
  std::ofstream(path) << R"({"switches": [{"mac": 5}]})";
  try {
    LoadScenarioFile(path);
    ADD_FAILURE() << "a broken file was accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("switches[0].mac"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace brisfell::sim::test
