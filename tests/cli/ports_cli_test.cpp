// The port and status commands run as the built brisfell-cli on the emulated segment. Each
// run starts a fresh segment, so what a command wrote is checked in its pcap recording.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"

namespace {

namespace fs = std::filesystem;

using brisfell::testing::CliRun;

struct SetFrame {
  uint16_t reg;
  uint32_t value;
};

class PortsCli : public brisfell::testing::CliTest {
 protected:
  CliRun Cli(const std::string& args) { return Run(args); }

  std::string Pcap() const { return (dir_ / "wire.pcap").string(); }

  // The set frames of a recording, in order. Reads, hellos and discovery's EEPROM commands
  // (0x0217, for switches of another maker) are skipped.
  std::vector<SetFrame> Sets() const {
    std::vector<SetFrame> sets;
    for (const auto& f : brisfell::testing::Recorded(Pcap()))
      if (f.opcode == brisfell::rrcp::kOpSet && f.reg != brisfell::kRegEepromControl) sets.push_back({f.reg, f.value});
    return sets;
  }

};

// Switch indexes of the built-in scenario: 0 the 24-port core, 1 a 16-port, 3 the 26-port.
TEST_F(PortsCli, ShowCommandsGiveTypedObjectsPerPort) {
  CliRun r = Cli("--sim -s 3 --json show status");
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = r.Json();
  ASSERT_EQ(j["ports"].size(), 26u);
  EXPECT_EQ(j["ports"][24]["port"], "G1");
  EXPECT_EQ(j["ports"][25]["port"], "G2");
  EXPECT_EQ(j["ports"][25]["chip_port"], 25);
  EXPECT_TRUE(j["ports"][25]["port_type"] == "1000TX(TBI)" || j["ports"][25]["port_type"] == "1000TX(GMII)");
  for (const auto& p : j["ports"]) {
    EXPECT_TRUE(p["linked"].is_boolean()) << p;
    EXPECT_TRUE(p["flow_control"].is_boolean()) << p;
    EXPECT_TRUE(p["tx_bandwidth"].is_null() || p["tx_bandwidth"].is_string()) << p;
  }

  // The 16-port model shows chip port 15 as port 1.
  r = Cli("--sim -s 1 --json show ports");
  ASSERT_EQ(r.status, 0) << r.err;
  j = r.Json();
  ASSERT_EQ(j["ports"].size(), 16u);
  EXPECT_EQ(j["ports"][0]["port"], "1");
  EXPECT_EQ(j["ports"][0]["chip_port"], 15);
  EXPECT_TRUE(j["ports"][0]["enabled"].is_boolean());
  EXPECT_TRUE(j["ports"][0]["pause"].is_string());

  r = Cli("--sim -s 1 --json show trunks");
  ASSERT_EQ(r.status, 0) << r.err;
  j = r.Json();
  ASSERT_EQ(j["trunks"].size(), 4u);
  EXPECT_EQ(j["trunks"][0]["group"], 1);
  EXPECT_EQ(j["trunks"][0]["ports"], nlohmann::json({"7", "8", "15", "16"}));
  EXPECT_TRUE(j["trunks"][0]["enabled"].is_boolean());

  r = Cli("--sim --json show mib");
  ASSERT_EQ(r.status, 0) << r.err;
  j = r.Json();
  ASSERT_EQ(j["ports"].size(), 24u);
  EXPECT_TRUE(j["ports"][0]["counter_1"].is_number_unsigned());
  EXPECT_TRUE(j["ports"][0]["counter_3_unit"].is_string());

  // The table keeps the page's texts.
  r = Cli("--sim -s 1 show ports");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Port  Enabled  Tx Bandwidth", 0), 0u) << r.out;
}

TEST_F(PortsCli, PortWritesOnlyTheChangedRegister) {
  // Port 3 of the 24-port switch is chip 3: the high byte of 0x020B.
  CliRun r = Cli("--sim -s 0 --pcap '" + Pcap() + "' port 3 tx 1m");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto sets = Sets();
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0].reg, 0x020B);
  EXPECT_EQ(sets[0].value >> 8 & 0x70, 0x40u);
}

TEST_F(PortsCli, PortSpeedChangeIsFollowedByTheSoftReset) {
  CliRun r = Cli("--sim -s 3 --pcap '" + Pcap() + "' port G2 speed 1000f pause none");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto sets = Sets();
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].reg, 0x0616);
  EXPECT_EQ(sets[0].value >> 8 & 0xFF, 0x90u);  // chip 25: 1000 full, auto flag, no pause
  EXPECT_EQ(sets[1].reg, 0x0000);
  EXPECT_EQ(sets[1].value, 1u);
}

TEST_F(PortsCli, PortsRewritesTheWholeBlockThenResets) {
  // Port 1 is the one this console comes in through: --force lets the lock-out guard pass.
  CliRun r = Cli("--sim -s 3 --pcap '" + Pcap() + "' ports 1-2,G1 disable --force");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto sets = Sets();
  ASSERT_EQ(sets.size(), 29u);
  EXPECT_EQ(sets[0].reg, 0x0608);
  EXPECT_EQ(sets[0].value & 0x3, 0x3u);
  EXPECT_EQ(sets[1].reg, 0x0609);
  EXPECT_EQ(sets[1].value >> 8 & 0x1, 0x1u);  // chip 24: bit 8 of the second register
  EXPECT_EQ(sets[27].reg, 0x0616);
  EXPECT_EQ(sets[28].reg, 0x0000);
}

TEST_F(PortsCli, TrunkAndMibCommands) {
  CliRun r = Cli("--sim -s 0 --pcap '" + Pcap() + "' trunk 1 3");
  ASSERT_EQ(r.status, 0) << r.err;
  auto sets = Sets();
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0].reg, 0x0307);
  EXPECT_EQ(sets[0].value & 0x7E, 0x0Au);

  r = Cli("--sim -s 1 --pcap '" + Pcap() + "' mib-clear all");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Sets().size(), 52u);

  r = Cli("--sim -s 1 --pcap '" + Pcap() + "' mib-all packets");
  ASSERT_EQ(r.status, 0) << r.err;
  sets = Sets();
  ASSERT_EQ(sets.size(), 13u);
  for (const auto& s : sets) EXPECT_EQ(s.value & 0xFFF, 0x555u);

  r = Cli("--sim -s 3 --pcap '" + Pcap() + "' mib-select G2 crc collisions 1");
  ASSERT_EQ(r.status, 0) << r.err;
  sets = Sets();
  ASSERT_EQ(sets.size(), 1u);  // the scenario counts packets there, so this is a change
  EXPECT_EQ(sets[0].reg, 0x070C);
  EXPECT_EQ(sets[0].value >> 6 & 0x3F, 0x1Eu);

  // Choosing what is already selected writes nothing.
  r = Cli("--sim -s 3 --pcap '" + Pcap() + "' mib-select G2 packets packets packets");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Sets().empty());
}

TEST_F(PortsCli, BadArgumentsAreUsageErrorsAndSendNoSet) {
  for (const char* args : {"port 3 speed 10x", "port 25 disable", "port G1 enable", "ports 4-2 enable",
                           "trunk 7", "mib-select 1 0 1 9", "mib-all frames", "port 1 rx", "port 3"}) {
    CliRun r = Cli(std::string("--sim -s 0 --pcap '") + Pcap() + "' " + args);
    EXPECT_EQ(r.status, 2) << args << ": " << r.err;
    EXPECT_FALSE(r.err.empty()) << args;
    EXPECT_TRUE(Sets().empty()) << args;
  }
}

TEST_F(PortsCli, SilentSwitchFailsWithoutWriting) {
  std::ofstream(dir_ / "mute.json") << R"({"name": "mute", "station": {"mac": "02:0B:F1:00:00:01"},
    "switches": [{"name": "s", "mac": "02:0B:F1:24:00:01", "vendorId": "0x6B2D7002", "muted": true}]})";
  for (const char* args : {"show status", "show ports", "port 1 disable", "trunk 1", "mib-clear 1"}) {
    CliRun r = Cli("--sim mute.json --pcap '" + Pcap() + "' " + args);
    EXPECT_NE(r.status, 0) << args;
    EXPECT_TRUE(Sets().empty()) << args;
  }
}

}  // namespace
