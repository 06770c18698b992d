// The VLAN commands run as the built brisfell-cli on the emulated segment. Each run starts a
// fresh segment (switch 0 has 24 ports, 1 has 16, 3 has 26, all in home VLAN mode or close to
// it), and a change prints the list as it reads afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"

namespace {

namespace fs = std::filesystem;

using brisfell::testing::CliRun;

class VlanCli : public brisfell::testing::CliTest {
 protected:
  // Every run is on a fresh emulated segment.
  CliRun Cli(const std::string& args) { return Run("--sim " + args); }
};

int Lines(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

TEST_F(VlanCli, ShowVlansAsTypedJsonAndThePagesTexts) {
  const CliRun r = Cli("--json show vlans");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto j = r.Json();
  ASSERT_EQ(j["vlans"].size(), 22u);
  EXPECT_EQ(j["vlans"][0], nlohmann::json::parse(R"({"vlan": 1, "type": "Port-Based", "vlan_id": null,
                                                    "ports": ["2", "23", "24"]})"));
  EXPECT_TRUE(j["vlan_function"].is_boolean());
  EXPECT_TRUE(j["tag_vlan"].is_boolean());

  const CliRun text = Cli("-s 1 show vlans");
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Vlan 1"), std::string::npos);
  EXPECT_NE(text.out.find("1, 8, 9"), std::string::npos);
  EXPECT_NE(text.out.find("Vlan Function: "), std::string::npos);
  EXPECT_NE(text.out.find("TAG Vlan: "), std::string::npos);
}

TEST_F(VlanCli, ChangesReportWhatChangedInTheList) {
  const CliRun edit = Cli("-s 1 --json vlan edit 3 1-4 --vid 7");
  ASSERT_EQ(edit.status, 0) << edit.err;
  const auto changes = edit.Json()["changes"];
  ASSERT_FALSE(changes.empty());
  for (const auto& c : changes) EXPECT_EQ(c["vlan"], 3) << c;
  const auto ports = std::find_if(changes.begin(), changes.end(), [](const auto& c) { return c["setting"] == "ports"; });
  ASSERT_NE(ports, changes.end());
  EXPECT_EQ((*ports)["new"], nlohmann::json({"1", "2", "3", "4"}));

  const CliRun text = Cli("-s 1 vlan edit 3 1-4 --vid 7");
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Vlan 3: ports "), std::string::npos) << text.out;
  EXPECT_NE(text.out.find(" -> 1, 2, 3, 4"), std::string::npos) << text.out;

  const CliRun all = Cli("-s 3 --json vlan delete-all");
  ASSERT_EQ(all.status, 0) << all.err;
  const auto removedAll = all.Json()["changes"];
  EXPECT_FALSE(removedAll.empty());
  for (const auto& c : removedAll) EXPECT_TRUE(c.contains("removed")) << c;

  // A leading zero is decimal: 010 is VLAN 10, not 8.
  const CliRun del = Cli("--json vlan delete 010");
  ASSERT_EQ(del.status, 0) << del.err;
  const auto removed = del.Json()["changes"];
  ASSERT_EQ(removed.size(), 1u) << removed;
  EXPECT_EQ(removed[0]["vlan"], 10);
  EXPECT_TRUE(removed[0].contains("removed"));
}

TEST_F(VlanCli, RefusalsAndUsageErrors) {
  // Two VLANs with the same tag: the page's refusal, one line, exit 1. (Named by MAC: an index
  // would add the line that says which switch it named.)
  const CliRun same = Cli("-s 02:0B:F1:16:00:03 --sim-state state.json vlan edit 3 1-4 --vid 1");
  const CliRun refused = Cli("-s 02:0B:F1:16:00:03 --sim-state state.json vlan add 5,6 --vid 1");
  ASSERT_EQ(same.status, 0) << same.err;
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(refused.out.empty());
  EXPECT_NE(refused.err.find("Same Tag with VLAN"), std::string::npos) << refused.err;
  EXPECT_EQ(Lines(refused.err), 1) << refused.err;

  const CliRun missing = Cli("vlan delete 23");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Vlan 23"), std::string::npos) << missing.err;

  for (const char* args : {"vlan edit 32 1", "vlan add 1-3,99", "vlan add 1 --vid 12a", "vlan add 1,2 --vid 4095",
                           "vlan add 1 --vid 0", "-s 1 vlan add 1,17"}) {
    const CliRun r = Cli(args);
    EXPECT_EQ(r.status, 2) << args << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << args;
  }
}

TEST_F(VlanCli, HomeAsksUnlessYes) {
  const CliRun asked = Cli("-s 3 vlan home");
  EXPECT_EQ(asked.status, 1);
  EXPECT_NE(asked.err.find("two overlapping ports (25,26)."), std::string::npos) << asked.err;
  EXPECT_TRUE(asked.out.empty());

  const CliRun done = Cli("-s 3 --yes --sim-state state.json --json vlan home");
  ASSERT_EQ(done.status, 0) << done.err;
  EXPECT_EQ(done.Json()["vlan_function"], true);
  const CliRun list = Cli("-s 3 --sim-state state.json --json show vlans");
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.Json()["vlans"].size(), 24u);
  EXPECT_EQ(list.Json()["vlans"][23]["ports"], nlohmann::json({"24", "G1", "G2"}));
}

}  // namespace
