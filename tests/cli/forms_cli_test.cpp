// The form pages' commands as the built brisfell-cli runs them on the emulated segment: typed
// JSON from the page tables, changes that keep what was not named, and usage errors that send
// nothing. A state file carries the segment from one command to the next.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_fixture.h"

namespace {

using brisfell::testing::CliRun;

class FormsCli : public brisfell::testing::CliTest {
 protected:
  // Switch 0 has 24 ports, 1 has 16, 3 has 26, 4 is the 16-port switch with a settable key.
  CliRun Cli(const std::string& args) { return Run("--sim --sim-state state.json " + args); }
};

TEST_F(FormsCli, EveryFormPageShowsTypedValuesUnderItsKeywords) {
  struct Case {
    const char* page;
    std::vector<std::pair<const char*, nlohmann::json::value_t>> keys;
  };
  using V = nlohmann::json::value_t;
  const std::vector<Case> cases = {
      {"global", {{"backpressure", V::boolean}, {"storm_filter", V::boolean}, {"loop_detect", V::boolean}}},
      {"qos", {{"tos", V::boolean}, {"flow_control", V::boolean}, {"dot1p", V::boolean}, {"ratio", V::string},
               {"high", V::array}}},
      {"igmp", {{"snooping", V::boolean}, {"router_ports", V::array}}},
      {"vlan-control", {{"function", V::boolean}, {"unicast_leaky", V::boolean}, {"multicast_leaky", V::boolean},
                        {"tag_aware", V::boolean}, {"admit", V::string}, {"ingress_filter", V::boolean}}},
  };
  for (const Case& c : cases) {
    for (const char* sw : {"0", "1", "3"}) {
      SCOPED_TRACE(std::string(c.page) + " on switch " + sw);
      const CliRun r = Cli(std::string("--json -s ") + sw + " show " + c.page);
      ASSERT_EQ(r.status, 0) << r.err;
      const auto j = r.Json();
      for (const auto& [key, type] : c.keys) EXPECT_EQ(j.at(key).type(), type) << key << " in " << j;
    }
  }
  const CliRun text = Cli("-s 1 show vlan-control");
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Ingress rule for acceptable frame types control"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Admit all frames"), std::string::npos) << text.out;
}

TEST_F(FormsCli, AChangeKeepsWhatWasNotNamedAndSaysWhatChanged) {
  const auto before = Cli("--json -s 1 show qos").Json();
  const CliRun set = Cli("-s 1 qos ratio 1:0 high 1,9,G1");
  // G1 is not a port of a 16-port switch: refused before anything is written.
  EXPECT_EQ(set.status, 2) << set.err;
  EXPECT_NE(set.err.find("1-16"), std::string::npos) << set.err;
  EXPECT_EQ(Cli("--json -s 1 show qos").Json(), before);

  const CliRun ok = Cli("-s 1 --json qos ratio 1:0 high 1,9");
  ASSERT_EQ(ok.status, 0) << ok.err;
  const auto changes = ok.Json()["changes"];
  ASSERT_EQ(changes.size(), 2u) << changes;
  EXPECT_EQ(changes[0]["setting"], "ratio");
  EXPECT_EQ(changes[0]["new"], "1:0");
  EXPECT_EQ(changes[1]["new"], nlohmann::json({"1", "9"}));
  auto after = Cli("--json -s 1 show qos").Json();
  EXPECT_EQ(after["ratio"], "1:0");
  EXPECT_EQ(after["high"], nlohmann::json({"1", "9"}));
  after["ratio"] = before["ratio"];
  after["high"] = before["high"];
  EXPECT_EQ(after, before);  // nothing else moved

  const CliRun again = Cli("-s 1 qos ratio 1:0");
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.out.find("nothing to change"), std::string::npos) << again.out;

  const CliRun text = Cli("-s 3 global storm-filter on loop-detect on");
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("global: storm filter Disable -> Enable"), std::string::npos) << text.out;
  const auto global = Cli("--json -s 3 show global").Json();
  EXPECT_EQ(global["storm_filter"], true);
  EXPECT_EQ(global["loop_detect"], true);
}

TEST_F(FormsCli, BadWordsAreUsageErrors) {
  for (const char* args : {"global", "global backpressure", "global backpressure maybe", "global speed on",
                           "global backpressure on backpressure off", "vlan-control admit some", "qos high 0",
                           "qos ratio 2:1", "igmp", "igmp sometimes"}) {
    SCOPED_TRACE(args);
    const CliRun r = Cli(std::string("-s 0 ") + args);
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_FALSE(r.err.empty());
  }
}

TEST_F(FormsCli, IgmpTakesItsValueAloneAndVlanControlItsWords) {
  ASSERT_EQ(Cli("-s 0 igmp on").status, 0);
  EXPECT_EQ(Cli("--json -s 0 show igmp").Json()["snooping"], true);
  ASSERT_EQ(Cli("-s 0 vlan-control function on tag-aware on admit tagged").status, 0);
  const auto j = Cli("--json -s 0 show vlan-control").Json();
  EXPECT_EQ(j["function"], true);
  EXPECT_EQ(j["tag_aware"], true);
  EXPECT_EQ(j["admit"], "tagged");
}

TEST_F(FormsCli, ResetsAndFaults) {
  EXPECT_EQ(Cli("-s 0 reset soft").status, 0);
  const CliRun unasked = Cli("-s 0 reset hard");
  EXPECT_EQ(unasked.status, 1);
  EXPECT_NE(unasked.err.find("--yes"), std::string::npos) << unasked.err;
  EXPECT_EQ(Cli("--yes -s 0 reset hard").status, 0);
  // The switch with a settable key offers no hardware reset.
  const CliRun refused = Cli("--yes -s 4 reset hard");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("soft reset"), std::string::npos) << refused.err;
  EXPECT_EQ(Cli("-s 0 reset warm").status, 2);

  const auto gig = Cli("--json -s 3 show faults").Json();
  EXPECT_TRUE(gig["giga_phy_1_present"].is_boolean()) << gig;
  EXPECT_TRUE(gig["loop_ports"].is_array());
  const auto small = Cli("--json -s 1 show faults").Json();
  EXPECT_TRUE(small["giga_phy_1_present"].is_null()) << small;
}

}  // namespace
