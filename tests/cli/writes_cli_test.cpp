// Write commands run as the built brisfell-cli on the emulated segment: what they report,
// --dry-run, the read-back of plain settings, and --sim-state, which carries the emulated
// switches' registers from one run to the next.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"

namespace {

using brisfell::testing::CliRun;
using brisfell::testing::Recorded;
using brisfell::testing::WriteFrames;

class WritesCli : public brisfell::testing::CliTest {
 protected:
  // The emulated segment kept in state.json, recorded to wire.pcap.
  CliRun Sim(const std::string& args) { return Run("--sim --sim-state state.json --pcap wire.pcap " + args); }
};

TEST_F(WritesCli, APortChangeIsReportedAndRepeatingItChangesNothing) {
  const CliRun first = Sim("-s 0 port 3 speed 10h");
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_NE(first.out.find("port 3: speed "), std::string::npos) << first.out;
  EXPECT_NE(first.out.find(" -> 10M Half"), std::string::npos) << first.out;
  EXPECT_FALSE(WriteFrames(Path("wire.pcap")).empty());

  const CliRun again = Sim("-s 0 --json port 3 speed 10h");
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.Json()["changes"], nlohmann::json::array());
  EXPECT_TRUE(WriteFrames(Path("wire.pcap")).empty());
  const CliRun text = Sim("-s 0 port 3 speed 10h");
  EXPECT_NE(text.out.find("nothing to change"), std::string::npos) << text.out;
}

TEST_F(WritesCli, GigabitOnAFastPortIsNotedAndAdvertisedAs100Full) {
  const CliRun r = Sim("-s 0 --json port 3 speed 1000f");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("1000f advertises 100M Full"), std::string::npos) << r.err;
  const auto changes = r.Json()["changes"];
  ASSERT_EQ(changes.size(), 1u) << changes;
  EXPECT_EQ(changes[0]["setting"], "speed");
  EXPECT_EQ(changes[0]["new"], "100M Full");

  // A gigabit port takes it without a notice.
  const CliRun g = Sim("-s 3 port G1 speed 1000f");
  ASSERT_EQ(g.status, 0) << g.err;
  EXPECT_EQ(g.err.find("advertises"), std::string::npos) << g.err;
}

// Every write command: the changes are reported, the writes listed, nothing is sent and the
// emulator's state is left as it was.
TEST_F(WritesCli, DryRunSendsNoWriteAndListsTheWrites) {
  for (const char* args : {"-s 0 port 3 disable", "-s 3 ports 1-4,G2 tx 1m", "-s 0 trunk 1", "vlan delete 2",
                           "write 0x0608 0xBEEF", "-s 1 eeprom-write 0x123 0xA5", "-s 1 mib-all bytes",
                           "-s 1 mib-select 3 crc crc crc", "-s 4 vlan edit 1 1-8 --vid 99",
                           // EEPROM writes complete from the held-back bytes, read-back included.
                           "--yes -s 1 access disable", "--yes -s 1 factory-default"}) {
    // Factory Default reports how many registers it wrote, not each change.
    const bool listsChanges = std::string(args).find("factory-default") == std::string::npos;
    const CliRun r = Sim(std::string("--dry-run --json ") + args);
    ASSERT_EQ(r.status, 0) << args << ": " << r.err;
    const auto j = r.Json();
    EXPECT_EQ(j["dry_run"], true) << args;
    EXPECT_FALSE(j["writes"].empty()) << args;
    for (const auto& w : j["writes"]) EXPECT_TRUE(w["register"].is_number() && w["value"].is_number()) << w;
    if (listsChanges) {
      EXPECT_FALSE(j["changes"].empty()) << args;
    }
    EXPECT_TRUE(WriteFrames(Path("wire.pcap")).empty()) << args;
    EXPECT_FALSE(Exists("state.json")) << args;
  }
  const CliRun text = Sim("-s 0 --dry-run port 3 disable");
  EXPECT_NE(text.out.find("port 3: enabled enable -> disable"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("dry run: would write"), std::string::npos) << text.out;
}

TEST_F(WritesCli, ASwitchThatDoesNotTakeAWriteFailsWithExpectedAndFound) {
  // Port 3 of the 24-port core is chip port 3: its advertisement is in 0x060B.
  WriteFile("state.json", R"({"format": "brisfell-sim-state 1", "switches": [
      {"mac": "02:0B:F1:24:00:01", "ignoreWrites": ["0x060B", "0x0608"]}]})");
  const CliRun r = Sim("-s 0 --json port 3 speed 10h");
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  const auto j = r.Json();
  ASSERT_TRUE(j["error"].is_string()) << j;
  ASSERT_EQ(j["mismatches"].size(), 1u) << j;
  const auto& m = j["mismatches"][0];
  EXPECT_EQ(m["register"], 0x060B);
  EXPECT_NE(m["expected"], m["found"]);
  EXPECT_TRUE(m["found"].is_number());

  const CliRun raw = Sim("write 0x0608 0x0001");
  EXPECT_EQ(raw.status, 1);
  EXPECT_NE(raw.err.find("register 0x0608: expected 0x0001, found 0x0000"), std::string::npos) << raw.err;
  // A register the switch takes is fine.
  EXPECT_EQ(Sim("write 0x0609 0x0001").status, 0);
}

TEST_F(WritesCli, SimStateCarriesRegistersAndEepromToTheNextRun) {
  ASSERT_EQ(Sim("-s 1 write 0x0608 0x1234").status, 0);
  ASSERT_EQ(Sim("-s 1 eeprom-write 0x0100 0x42").status, 0);
  const CliRun reg = Sim("-s 1 read 0x0608");
  EXPECT_EQ(reg.out, "0x0608 0x00001234\n") << reg.err;
  const CliRun byte = Sim("-s 1 eeprom-read 0x0100");
  EXPECT_EQ(byte.out, "0x0100 0x42\n") << byte.err;
  // Without the file, a fresh segment.
  EXPECT_NE(Run("--sim -s 1 read 0x0608").out, "0x0608 0x00001234\n");

  const auto state = nlohmann::json::parse(ReadBytes("state.json"));
  EXPECT_EQ(state["format"], "brisfell-sim-state 1");
  ASSERT_EQ(state["switches"].size(), 1u);
  EXPECT_EQ(state["switches"][0]["registers"]["0x0608"], "0x1234");
  EXPECT_EQ(state["switches"][0]["eeprom"]["0x0100"], "0x42");

  WriteFile("state.json", "{not json");
  std::filesystem::remove(Path("wire.pcap"));
  const CliRun broken = Sim("read 0x0608");
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.err.find("cannot load the emulator state"), std::string::npos) << broken.err;
  EXPECT_TRUE(Recorded(Path("wire.pcap")).empty());
}

}  // namespace
