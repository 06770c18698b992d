// The metrics text on the emulated segment: well-formed exposition, the same port state as the
// Port Status page shows, counters with their kind, and a silent switch that only says so.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "pages/status/metrics_logic.h"
#include "pages/status/mib_counter_logic.h"
#include "pages/status/port_status_logic.h"
#include "ports_fixture.h"
#include "support/exposition.h"

namespace brisfell::testing {
namespace {

struct MetricsTest : PortsTest {
  std::vector<int> All() const {
    std::vector<int> all;
    for (int i = 0; i < sim.engine.SwitchCount(); ++i) all.push_back(i);
    return all;
  }
  Exposition Scrape(const std::vector<int>& switches) {
    const Exposition e = ParseExposition(CollectMetrics(sim.engine, switches));
    for (const auto& error : e.errors) ADD_FAILURE() << error;
    return e;
  }
  std::string Mac(int s) const { return FormatMac(sim.engine.GetSwitchRecord(s)->mac); }
};

TEST_F(MetricsTest, EverySwitchAndPortWithThePortStatusPagesState) {
  const Exposition e = Scrape(All());
  EXPECT_EQ(e.types, (std::map<std::string, std::string>{{"brisfell_up", "gauge"},
                                                        {"brisfell_port_link_up", "gauge"},
                                                        {"brisfell_port_speed_bytes", "gauge"},
                                                        {"brisfell_port_full_duplex", "gauge"},
                                                        {"brisfell_loop_detected", "gauge"},
                                                        {"brisfell_port_loop_detected", "gauge"},
                                                        {"brisfell_port_mib_total", "counter"}}));
  EXPECT_EQ(e.help.size(), e.types.size());
  ASSERT_EQ(e.Named("brisfell_up").size(), 5u);
  int ports = 0;
  for (int s = 0; s < sim.engine.SwitchCount(); ++s) {
    SCOPED_TRACE(Mac(s));
    const std::map<std::string, std::string> who = {{"switch", Mac(s)}, {"model", sim.engine.ModelName(s)}};
    const auto up = e.Find("brisfell_up", who);
    ASSERT_EQ(up.size(), 1u);
    EXPECT_EQ(up[0].value, 1);
    // Link, speed and duplex as the Port Status list decodes them.
    sim.Select(s);
    Table page;
    ASSERT_TRUE(RefreshPortStatus(ctx, page));
    for (const auto& row : page.rows) {
      auto labels = who;
      labels["port"] = row[0];
      const auto link = e.Find("brisfell_port_link_up", labels);
      const auto speed = e.Find("brisfell_port_speed_bytes", labels);
      const auto duplex = e.Find("brisfell_port_full_duplex", labels);
      ASSERT_EQ(link.size(), 1u) << row[0];
      ASSERT_EQ(speed.size(), 1u);
      ASSERT_EQ(duplex.size(), 1u);
      EXPECT_EQ(link[0].value, row[1] == "Up" ? 1 : 0);
      EXPECT_EQ(Format("%dM %s", static_cast<int>(speed[0].value * 8 / 1e6), duplex[0].value == 1 ? "Full" : "Half"),
                row[3]);
      EXPECT_EQ(e.Find("brisfell_port_mib_total", labels).size(), 3u);
    }
    ports += sim.engine.PortCount(s);
  }
  EXPECT_EQ(e.Named("brisfell_port_link_up").size(), static_cast<size_t>(ports));
  EXPECT_EQ(e.Named("brisfell_port_mib_total").size(), static_cast<size_t>(3 * ports));
}

TEST_F(MetricsTest, CountersCarryTheirValueAndKind) {
  auto& sw = Use(16);
  const int k = 10;  // no traffic of its own
  sw.SetRegister(MibSelectRegister(k), static_cast<uint32_t>(0 | 2 << 2 | 3 << 4));  // bytes, CRC, collisions
  sw.SetRegister(kRegMibCounter1 + k, 0xFFFFFFFFu);
  sw.SetRegister(kRegMibCounter2 + k, 7);
  sw.SetRegister(kRegMibCounter3 + k, 0);
  const Exposition e = Scrape({ctx.Switch()});
  const std::string port = PortLabel(Row(k));
  auto counter = [&](const char* n) {
    return e.Find("brisfell_port_mib_total", {{"switch", Mac(ctx.Switch())}, {"port", port}, {"counter", n}});
  };
  ASSERT_EQ(counter("1").size(), 1u);
  EXPECT_EQ(counter("1")[0].labels.at("kind"), "rx_bytes");
  EXPECT_EQ(counter("1")[0].value, 4294967295.0);
  EXPECT_EQ(counter("2")[0].labels.at("kind"), "crc_error_packets");
  EXPECT_EQ(counter("2")[0].value, 7);
  EXPECT_EQ(counter("3")[0].labels.at("kind"), "collision_packets");
  // Status registers, the MIB block, then the loop ports and fault status: nothing else is read.
  EXPECT_EQ(ReadOrder(sw), Range(0x0619, 13) + Range(0x0700, 91) + Range(0x0101, 2));
  EXPECT_EQ(sim.segment.OpenAdapterCount(), 0);
}

TEST_F(MetricsTest, ALoopOnTheSwitchAndOnItsPortsOnlyWhileTheSwitchReportsIt) {
  // The scenario's access-b reports a loop on chip ports 2 and 3.
  const int looped = sim.IndexOfVendor(0x6B2D7004);
  ASSERT_GE(looped, 0);
  const Exposition e = Scrape(All());
  ASSERT_EQ(e.Named("brisfell_loop_detected").size(), 5u);
  for (const auto& s : e.Named("brisfell_loop_detected")) EXPECT_EQ(s.value, s.labels.at("switch") == Mac(looped) ? 1 : 0);
  std::vector<std::string> ports;
  for (const auto& s : e.Named("brisfell_port_loop_detected")) {
    if (s.value == 1 && s.labels.at("switch") == Mac(looped)) {
      ports.push_back(s.labels.at("port"));
    } else {
      EXPECT_EQ(s.value, 0) << s.labels.at("switch") << " " << s.labels.at("port");
    }
  }
  EXPECT_EQ(ports, (std::vector<std::string>{PortLabel(sim.engine.MapChipToPort(looped, 2)),
                                             PortLabel(sim.engine.MapChipToPort(looped, 3))}));
  // With the loop bit clear the loop register's bits do not count, as on the Fault Information page.
  auto& sw = UseVendor(0x6B2D7004);
  sw.SetRegister(kRegFaultStatus, 0x0002);
  const Exposition cleared = Scrape({looped});
  ASSERT_EQ(cleared.Named("brisfell_loop_detected").size(), 1u);
  EXPECT_EQ(cleared.Named("brisfell_loop_detected")[0].value, 0);
  for (const auto& s : cleared.Named("brisfell_port_loop_detected")) EXPECT_EQ(s.value, 0) << s.labels.at("port");
}

TEST_F(MetricsTest, ASilentSwitchOnlySaysItIsDown) {
  const int silent = sim.IndexOfPortCount(24);
  sim.Emulated(silent).SetMuted(true);
  const Exposition e = Scrape(All());
  ASSERT_EQ(e.Named("brisfell_up").size(), 5u);
  for (const auto& s : e.Named("brisfell_up")) EXPECT_EQ(s.value, s.labels.at("switch") == Mac(silent) ? 0 : 1);
  EXPECT_TRUE(e.Find("brisfell_port_link_up", {{"switch", Mac(silent)}}).empty());
  EXPECT_TRUE(e.Find("brisfell_port_mib_total", {{"switch", Mac(silent)}}).empty());
  EXPECT_FALSE(e.Find("brisfell_port_link_up", {{"switch", Mac(sim.IndexOfPortCount(26))}}).empty());
  // Nobody answers: still a well-formed text, every switch down.
  for (int s = 0; s < sim.engine.SwitchCount(); ++s) sim.Emulated(s).SetMuted(true);
  const Exposition none = Scrape(All());
  EXPECT_EQ(none.Named("brisfell_up").size(), 5u);
  EXPECT_EQ(none.Named("brisfell_port_link_up").size(), 0u);
}

// The alert rules and the Grafana dashboard that ship ask only for metrics and counter kinds
// that the exposition has, so a renamed metric cannot leave them silently empty.
TEST_F(MetricsTest, TheShippedRulesAndDashboardAskForMetricsThatExist) {
  const Exposition e = Scrape(All());
  std::set<std::string> kinds;
  for (int c = 0; c < 3; ++c)
    for (int code = 0; code < 4; ++code) kinds.insert(CounterKind(c, code));
  for (const char* file : {"dist/prometheus/brisfell.rules.yml", "dist/grafana/brisfell.json"}) {
    SCOPED_TRACE(file);
    std::ifstream in(std::string(BRISFELL_SOURCE_DIR) + "/" + file);
    ASSERT_TRUE(in) << "cannot open";
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    if (std::string(file).ends_with(".json")) {
      EXPECT_NO_THROW(EXPECT_TRUE(nlohmann::json::parse(text).contains("panels")));
    }
    // Every brisfell_... name, and every kind a selector asks for (kind="a" or kind=~"a|b").
    auto word = [&](size_t at) {
      size_t end = at;
      while (end < text.size() && (std::islower(static_cast<unsigned char>(text[end])) || text[end] == '_' || text[end] == '|'))
        ++end;
      return text.substr(at, end - at);
    };
    int names = 0;
    for (size_t at = text.find("brisfell_"); at != std::string::npos; at = text.find("brisfell_", at + 1), ++names)
      EXPECT_EQ(e.types.count(word(at)), 1u) << word(at);
    EXPECT_GT(names, 2);
    for (size_t at = text.find("kind="); at != std::string::npos; at = text.find("kind=", at + 1)) {
      size_t value = at + 5;
      while (value < text.size() && (text[value] == '~' || text[value] == '\\' || text[value] == '"')) ++value;
      std::stringstream alternatives(word(value));
      for (std::string k; std::getline(alternatives, k, '|');) EXPECT_EQ(kinds.count(k), 1u) << k;
    }
  }
}

TEST(MetricsText, LabelValuesAndKinds) {
  EXPECT_EQ(EscapeLabelValue("Switch 5"), "Switch 5");
  EXPECT_EQ(EscapeLabelValue("a\"b\\c\nd"), "a\\\"b\\\\c\\nd");
  const std::string kinds[3][4] = {{"rx_bytes", "rx_packets", "crc_error_packets", "collision_packets"},
                                   {"tx_bytes", "tx_packets", "crc_error_packets", "collision_packets"},
                                   {"drop_bytes", "drop_packets", "crc_error_packets", "collision_packets"}};
  for (int c = 0; c < 3; ++c)
    for (int code = 0; code < 4; ++code) EXPECT_EQ(CounterKind(c, code), kinds[c][code]) << c << " " << code;
  // A model name that needs escaping keeps the text well-formed.
  SwitchRecord r;
  r.modelName = "odd \"name\"\\";
  r.portCount = 0;
  const Exposition e = ParseExposition(FormatMetrics({{&r, true, {}}}));
  EXPECT_TRUE(e.errors.empty()) << e.errors.front();
  ASSERT_EQ(e.Named("brisfell_up").size(), 1u);
  EXPECT_EQ(e.Named("brisfell_up")[0].labels.at("model"), r.modelName);
}

}  // namespace
}  // namespace brisfell::testing
