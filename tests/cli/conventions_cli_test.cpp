// What every command shares, run as the built brisfell-cli on the emulated segment: numbers and
// port names as administrators write them, usage errors that leave the wire and the switch
// database alone, typed JSON and JSON errors, the choices on a missing or unknown command.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"

namespace {

using brisfell::testing::CliRun;
using brisfell::testing::Recorded;
using brisfell::testing::WriteFrames;

class ConventionsCli : public brisfell::testing::CliTest {
 protected:
  // A fresh emulated segment, recorded to wire.pcap.
  CliRun Sim(const std::string& args) { return Run("--sim --pcap wire.pcap " + args); }
};

TEST_F(ConventionsCli, MalformedArgumentsAreUsageErrorsBeforeAnyFrame) {
  const std::vector<std::string> cases = {
      "read +1",         "read ' 1'",      "read '1 '",           "read 0x",
      "read -1",         "read 0x10000",   "read 5-3",            "read 1-",
      "write 0x0608 -1", "write 0x10000 1", "write 0x0608 4294967296", "eeprom-read 0xFFFF 2",
      "eeprom-read 2040 20", "eeprom-write 2047 1 2", "eeprom-read 0 0", "port 25 disable",
      "port G3 disable", "port 0 disable", "ports 1,,2 disable", "ports 4-2 disable",
      "port 3 speed fast", "vlan add 1 --vid 4095", "vlan add 1 --vid 0", "vlan delete 0",
      "vlan delete 32",  "mib-select 1 0 1 9", "mib-all frames", "trunk x",
      "--key 0x1234 read 1", "--key 0x10000 -s 02:0B:F1:24:00:01 read 1", "--color sometimes discover",
      "-s 1 --json --key 7 read 1", "-s zz read 1", "-s 1x show status",
      // Too fast (it spins), beyond a day, or not a number at all.
      "watch status --interval 0", "watch status --interval 0.05", "watch status --interval 86401",
      "watch status --interval 1e300", "watch status --interval nan", "watch status --interval inf",
      // One value a setting: which of two was meant?
      "port 3 speed 100f speed 10h", "ports 1-2 enable disable", "port 3 rx 1m tx 2m rx 4m",
      "show status --bogus", "show status extra"};
  for (const auto& args : cases) {
    const CliRun r = Sim(args);
    EXPECT_EQ(r.status, 2) << args << ": " << r.err;
    EXPECT_TRUE(Recorded(Path("wire.pcap")).empty()) << args;
    EXPECT_FALSE(Exists("qswrec.dat")) << args;
  }
  // The same with --json: the error is a document on stdout.
  const CliRun j = Sim("--json port 25 disable");
  EXPECT_EQ(j.status, 2);
  EXPECT_TRUE(j.Json()["error"].is_string()) << j.out;
  EXPECT_EQ(Run("--sim-state s.json discover").status, 2);
}

TEST_F(ConventionsCli, RangesOfTheChosenSwitchAreCheckedBeforeAnyWrite) {
  struct Case {
    const char* args;
    const char* says;
  } const cases[] = {
      {"-s 1 port 20 disable", "this switch has ports 1-16"},
      {"-s 0 ports 1-G1 disable", "this switch has ports 1-24"},
      {"-s 1 vlan add 1,17", "this switch has ports 1-16"},
      {"-s 1 mib-clear 17", "this switch has ports 1-16"},
      {"-s 0 trunk 7", "groups 1-6"},
  };
  for (const auto& c : cases) {
    const CliRun r = Sim(c.args);
    EXPECT_EQ(r.status, 2) << c.args << ": " << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << ": " << r.err;
    EXPECT_TRUE(WriteFrames(Path("wire.pcap")).empty()) << c.args;
    // Discovery ran, but a usage error leaves the switch database as it was (absent).
    EXPECT_FALSE(Exists("qswrec.dat")) << c.args;
  }
}

TEST_F(ConventionsCli, NumbersAreDecimalOrHexAndALeadingZeroIsDecimal) {
  for (const char* reg : {"10", "010", "0x0A", "0X0a"}) {
    const CliRun r = Sim(std::string("--json read ") + reg);
    ASSERT_EQ(r.status, 0) << reg << ": " << r.err;
    EXPECT_EQ(r.Json()["registers"][0]["register"], 10) << reg;
  }
  const CliRun port = Sim("-s 0 --json port 010 disable");
  ASSERT_EQ(port.status, 0) << port.err;
  const auto changes = port.Json()["changes"];
  ASSERT_EQ(changes.size(), 1u) << changes;
  EXPECT_EQ(changes[0]["port"], "10");
  EXPECT_EQ(changes[0]["setting"], "enabled");
  EXPECT_EQ(changes[0]["new"], false);
}

TEST_F(ConventionsCli, FailuresAreJsonDocumentsWithExitOne) {
  WriteFile("mute.json", R"({"name": "mute", "station": {"mac": "02:0B:F1:00:00:01"},
    "switches": [{"name": "s", "mac": "02:0B:F1:24:00:01", "vendorId": "0x6B2D7002", "muted": true}]})");
  const CliRun r = Run("--sim mute.json --json show status");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.Json()["error"].is_string()) << r.out;
  const CliRun text = Run("--sim mute.json show status");
  EXPECT_EQ(text.status, 1);
  EXPECT_TRUE(text.out.empty());
  EXPECT_EQ(text.err.rfind("brisfell-cli: ", 0), 0u) << text.err;
}

TEST_F(ConventionsCli, VersionAndTheChoicesOfAMissingOrUnknownCommand) {
  const CliRun v = Run("--version");
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out.rfind("brisfell-cli ", 0), 0u) << v.out;

  struct Case {
    const char* args;
    const char* choice;
  } const cases[] = {{"", "discover"}, {"frobnicate", "discover"}, {"show", "status"},
                     {"show frobnicate", "vlans"}, {"vlan", "delete-all"}};
  for (const auto& c : cases) {
    const CliRun r = Run(std::string("--json ") + c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    const auto j = r.Json();
    EXPECT_TRUE(j["error"].is_string()) << c.args;
    const auto choices = j["choices"];
    EXPECT_NE(std::find(choices.begin(), choices.end(), c.choice), choices.end()) << c.args << ": " << j;
    const CliRun text = Run(c.args);
    EXPECT_NE(text.err.find(c.choice), std::string::npos) << c.args << ": " << text.err;
  }
}

TEST_F(ConventionsCli, WordsACommandDoesNotTakeAreNamedWithItsOptions) {
  const CliRun bogus = Sim("show status --bogus");
  EXPECT_EQ(bogus.status, 2);
  EXPECT_NE(bogus.err.find("'show status' takes no option --bogus (it has no options of its own; see "
                           "'brisfell-cli show status --help')"),
            std::string::npos)
      << bogus.err;
  const CliRun vlan = Sim("--json vlan add 1 --bogus");
  EXPECT_EQ(vlan.status, 2);
  EXPECT_EQ(vlan.Json()["choices"], nlohmann::json({"--vid"})) << vlan.out;
  const CliRun interval = Sim("watch status --interval 0");
  EXPECT_NE(interval.err.find("bad interval: 0 (0.1 to 86400 seconds)"), std::string::npos) << interval.err;
  const CliRun twice = Sim("port 3 speed 100f speed 10h");
  EXPECT_NE(twice.err.find("speed is given twice"), std::string::npos) << twice.err;
  const CliRun sw = Sim("-s zz show status");
  EXPECT_NE(sw.err.find("bad switch: zz"), std::string::npos) << sw.err;
}

// --sim takes the next word as its scenario only when it is one: an existing file, or a name
// ending in .json. Otherwise the word is the command.
TEST_F(ConventionsCli, SimTakesTheNextWordOnlyWhenItIsAScenario) {
  const CliRun typo = Run("--sim shwo status");
  EXPECT_EQ(typo.status, 2);
  EXPECT_NE(typo.err.find("unknown command: shwo"), std::string::npos) << typo.err;
  const CliRun show = Run("--sim show status");
  EXPECT_EQ(show.status, 0) << show.err;
  const CliRun missing = Run("--sim lab.json show status");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("lab.json"), std::string::npos) << missing.err;
  WriteFile("lab", R"({"switches": [{"mac": "02:0B:F1:24:00:01", "vendorId": "0x6B2D7002", "uplink": {"via": 0}}]})");
  const CliRun file = Run("--json --sim lab discover");
  ASSERT_EQ(file.status, 0) << file.err;
  EXPECT_EQ(file.Json()["switches"].size(), 1u) << file.out;
  // A number beyond a double's range names its key instead of the JSON library's own text.
  WriteFile("huge.json", R"({"faults": {"seed": 0.666666e66636}})");
  const CliRun huge = Run("--sim huge.json discover");
  EXPECT_EQ(huge.status, 1);
  EXPECT_NE(huge.err.find("faults.seed: the number 0.666666e66636 is out of range"), std::string::npos) << huge.err;
}

// Ports as the Overview page shows them, chip ports only as extra fields.
TEST_F(ConventionsCli, DiscoverShowsPortsAsTheOverviewDoes) {
  const CliRun r = Sim("--json discover");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto switches = r.Json()["switches"];
  ASSERT_EQ(switches.size(), 5u);
  // The core hangs on the station: no upstream switch.
  EXPECT_EQ(switches[0]["mac"], "02:0B:F1:24:00:01");
  EXPECT_TRUE(switches[0]["up_link_mac"].is_null());
  EXPECT_TRUE(switches[0]["up_link_port"].is_null());
  EXPECT_EQ(switches[0]["port_count"], 24);
  EXPECT_EQ(switches[0]["vendor_id"], 0x6B2D7002u);
  EXPECT_EQ(switches[0]["auth_key"], 0x5A3C);
  // access-a: reached through its chip port 15 (port 1 of the 16-port model), on core chip
  // port 4 (port 6 of the 24-port model).
  EXPECT_EQ(switches[1]["down_link_port"], "1");
  EXPECT_EQ(switches[1]["down_link_chip_port"], 15);
  EXPECT_EQ(switches[1]["up_link_mac"], "02:0B:F1:24:00:01");
  EXPECT_EQ(switches[1]["up_link_port"], "6");
  EXPECT_EQ(switches[1]["up_link_chip_port"], 4);
  EXPECT_EQ(r.Json()["new_replies"], 5);

  const CliRun text = Sim("discover");
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Down Link Port"), std::string::npos);
  EXPECT_NE(text.out.find("  na"), std::string::npos) << text.out;
}

TEST_F(ConventionsCli, ColourAndBriefViewOnlyWhenAsked) {
  const CliRun plain = Sim("-s 1 show ports");
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out.find('\033'), std::string::npos);  // a pipe: no colour by default
  EXPECT_EQ(plain.out.rfind("Port ", 0), 0u);

  const CliRun colour = Sim("-s 1 --color always show ports");
  EXPECT_NE(colour.out.find("\033[1m"), std::string::npos);

  const CliRun brief = Sim("-s 1 --brief show ports");
  ASSERT_EQ(brief.status, 0) << brief.err;
  EXPECT_EQ(brief.out.find("Port"), std::string::npos) << brief.out;  // no header
  EXPECT_EQ(brief.out.find("Trunk"), std::string::npos);
  EXPECT_EQ(std::count(brief.out.begin(), brief.out.end(), '\n'), 16);
}

}  // namespace
