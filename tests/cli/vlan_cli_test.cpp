// The VLAN commands run as the built brisfell-cli on the emulated segment. Each run starts a
// fresh segment (switch 0 has 24 ports, 1 has 16, 3 has 26, all in home VLAN mode or close to
// it), and a change prints the list as it reads afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_fixture.h"

namespace {

namespace fs = std::filesystem;
using Row = std::vector<std::string>;

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

TEST_F(VlanCli, ShowVlansAsJsonKeepsThePagesTexts) {
  const CliRun r = Cli("--json show vlans");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto j = r.Json();
  EXPECT_EQ(j["columns"], (Row{"Vlan No.", "Port/Tag based", "Vlan ID", "Port##{Vlan Member}"}));
  ASSERT_EQ(j["rows"].size(), 22u);
  EXPECT_EQ(j["rows"][0], (Row{"Vlan 1", "Port-Based", "", "2, 23, 24"}));
  EXPECT_TRUE(j["vlanFunction"] == "Enable" || j["vlanFunction"] == "Disable");
  EXPECT_TRUE(j["tagVlan"] == "Enable" || j["tagVlan"] == "Disable");
  EXPECT_LT(r.out.find("\"rows\""), r.out.find("\"vlanFunction\""));
  EXPECT_LT(r.out.find("\"vlanFunction\""), r.out.find("\"tagVlan\""));

  const CliRun text = Cli("-s 1 show vlans");
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Vlan 1"), std::string::npos);
  EXPECT_NE(text.out.find("1, 8, 9"), std::string::npos);
  EXPECT_NE(text.out.find("Vlan Function: "), std::string::npos);
  EXPECT_NE(text.out.find("TAG Vlan: "), std::string::npos);
}

TEST_F(VlanCli, ChangesPrintTheNewList) {
  const CliRun edit = Cli("-s 1 --json vlan edit 3 1-4 --vid 7");
  ASSERT_EQ(edit.status, 0) << edit.err;
  EXPECT_EQ(edit.Json()["rows"][2], (Row{"Vlan 3", "Tag-Based", "7", "1, 2, 3, 4"}));

  const CliRun add = Cli("-s 3 --json vlan delete-all");
  ASSERT_EQ(add.status, 0) << add.err;
  EXPECT_TRUE(add.Json()["rows"].empty());

  const CliRun del = Cli("--json vlan delete 2");
  ASSERT_EQ(del.status, 0) << del.err;
  const auto rows = del.Json()["rows"];
  EXPECT_EQ(rows.size(), 21u);
  for (const auto& row : rows) EXPECT_NE(row[0], "Vlan 2");
}

TEST_F(VlanCli, RefusalsPrintOneMessageAndExitOne) {
  const CliRun bad = Cli("vlan add 1,2 --vid 4095");
  EXPECT_EQ(bad.status, 1);
  EXPECT_TRUE(bad.out.empty());
  EXPECT_NE(bad.err.find("Invalid VLAN ID (use 1-4094)!"), std::string::npos) << bad.err;
  EXPECT_EQ(Lines(bad.err), 1) << bad.err;

  const CliRun missing = Cli("vlan delete 23");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Vlan 23"), std::string::npos) << missing.err;

  EXPECT_EQ(Cli("vlan edit 32 1").status, 2);
  EXPECT_EQ(Cli("vlan add 1-3,99").status, 2);
  EXPECT_EQ(Cli("vlan add 1 --vid 12a").status, 2);
}

TEST_F(VlanCli, HomeAsksUnlessYes) {
  const CliRun asked = Cli("-s 3 vlan home");
  EXPECT_EQ(asked.status, 1);
  EXPECT_NE(asked.err.find("two overlapping ports (25,26)."), std::string::npos) << asked.err;
  EXPECT_TRUE(asked.out.empty());

  const CliRun done = Cli("-s 3 --yes --json vlan home");
  ASSERT_EQ(done.status, 0) << done.err;
  const auto j = done.Json();
  EXPECT_EQ(j["rows"].size(), 24u);
  EXPECT_EQ(j["rows"][23], (Row{"Vlan 24", "Port-Based", "", "24, G1, G2"}));
  EXPECT_EQ(j["vlanFunction"], "Enable");
}

}  // namespace
