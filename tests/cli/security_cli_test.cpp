// The security commands as the built brisfell-cli runs them on the emulated segment. A
// sequence of commands shares one segment through --sim-state; each run's switch database is
// the qswrec.dat of the test's folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "cli/cli_fixture.h"

namespace {

using brisfell::testing::CliRun;

constexpr const char* kCore = "02:0B:F1:24:00:01";     // 24 ports, the station on its chip port 1 (port 1)
constexpr const char* kAccessA = "02:0B:F1:16:00:03";  // remote-access switch
constexpr const char* kAccessB = "02:0B:F1:16:00:04";  // settable key
constexpr const char* kKeyed = "02:0B:F1:16:00:44";    // keyed-pair.json: key 0x1234

class SecurityCli : public brisfell::testing::CliTest {
 protected:
  // On one emulated segment kept between the runs of a test.
  CliRun Sim(const std::string& args) { return Run("--sim --sim-state state.json " + args); }
  CliRun Keyed(const std::string& args) {
    return Run("--sim '" + std::string(BRISFELL_SOURCE_DIR) + "/sim/scenarios/keyed-pair.json' " + args);
  }
  // The RRCP frames of the test's wire.pcap as (opcode, register); none when it was not written.
  std::vector<std::pair<int, int>> Wire() const {
    std::vector<std::pair<int, int>> frames;
    for (const auto& f : brisfell::testing::Recorded((dir_ / "wire.pcap").string())) frames.emplace_back(f.opcode, f.reg);
    return frames;
  }
  // The set frames among them, without discovery's EEPROM read commands (0x0217).
  size_t Sets() const {
    size_t n = 0;
    for (const auto& [op, reg] : Wire()) n += op == 0x02 && reg != 0x0217;
    return n;
  }
  // Each switch's key as discovery reports it.
  std::map<std::string, int> Found(const CliRun& r) {
    std::map<std::string, int> keys;
    const auto j = r.Json();
    for (const auto& s : j["switches"]) keys[s["mac"]] = s["auth_key"];
    return keys;
  }
};

TEST_F(SecurityCli, ShowSecurityGivesTheKeyRemoteAccessAndEveryPort) {
  CliRun r = Run(std::string("--sim --json -s ") + kAccessA + " show security");
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = r.Json();
  EXPECT_EQ(j["auth_key"], 0x5A3C);
  EXPECT_EQ(j["auth_key_settable"], false);
  EXPECT_EQ(j["remote_access_control"], true);
  EXPECT_EQ(j["remote_access"], true);
  ASSERT_EQ(j["ports"].size(), 16u);
  EXPECT_EQ(j["ports"][0]["port"], "1");
  EXPECT_EQ(j["ports"][0]["chip_port"], 15);
  for (const auto& p : j["ports"]) EXPECT_EQ(p["management"], true) << p;

  r = Run(std::string("--sim --json -s ") + kCore + " show security");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.Json()["remote_access"].is_null());
  EXPECT_EQ(r.Json()["ports"].size(), 24u);
}

TEST_F(SecurityCli, SetKeyHoldsTheTextToTheEditBoxsRuleAndSendsNothingElse) {
  for (const char* text : {"0x", "1234", "0x12345", "0x12G4", "0X"}) {
    CliRun r = Run(std::string("--sim --pcap wire.pcap -s ") + kAccessB + " set-key " + text);
    EXPECT_EQ(r.status, 1) << text;
    EXPECT_NE(r.err.find("The data is invalid, Default is 0x5A3C"), std::string::npos) << r.err;
    EXPECT_TRUE(Wire().empty()) << "no frame for " << text;
  }
  CliRun r = Run(std::string("--sim -s ") + kCore + " set-key 0x1234");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot be set"), std::string::npos) << r.err;
}

TEST_F(SecurityCli, ANewKeyIsRememberedAndTheNextRunFindsTheSwitchByItAlone) {
  CliRun r = Sim(std::string("-s ") + kAccessB + " set-key 0xbeef");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("key 0x5A3C -> 0xBEEF"), std::string::npos) << r.out;
  r = Sim(std::string("-s ") + kAccessB + " set-key 0xBEEF");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("nothing to change"), std::string::npos) << r.out;

  r = Sim("--json discover");
  ASSERT_EQ(r.status, 0) << r.err;
  auto keys = Found(r);
  EXPECT_EQ(keys.size(), 5u);
  EXPECT_EQ(keys[kAccessB], 0xBEEF);
  // Without the database the broadcast alone misses it.
  r = Sim("--db other.dat --json discover");
  ASSERT_EQ(r.status, 0) << r.err;
  keys = Found(r);
  EXPECT_EQ(keys.size(), 4u);
  EXPECT_EQ(keys.count(kAccessB), 0u);
}

TEST_F(SecurityCli, DbAddMakesTheKeyedSwitchDiscoverableAndDbRemoveForgetsIt) {
  CliRun r = Keyed("--json discover");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Found(r).size(), 1u);

  for (const char* bad : {"db add 02:0B:F1 0x1234", "db add 02:0B:F1:16:00:44 1234", "db remove nonsense"})
    EXPECT_EQ(Run(bad).status, 2) << bad;

  r = Run(std::string("db add ") + kKeyed + " 0x1234");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("added"), std::string::npos) << r.out;
  r = Keyed("--json db list");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto list = r.Json()["switches"];
  ASSERT_EQ(list.size(), 2u);
  for (const auto& e : list) {
    EXPECT_EQ(e["auth_key"], e["mac"] == kKeyed ? 0x1234 : 0x5A3C) << e;
    EXPECT_EQ(e["answered"], true) << e;
  }

  r = Run(std::string("--dry-run db remove ") + kKeyed);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Found(Keyed("--json discover")).size(), 2u) << "a dry run leaves the file";
  r = Run(std::string("db remove ") + kKeyed);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Found(Keyed("--json discover")).size(), 1u);
  r = Run(std::string("db remove ") + kKeyed);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("not in the switch database"), std::string::npos) << r.err;
}

TEST_F(SecurityCli, AuthorizeWritesTheListAndKeepsTheStationsPortUnlessForced) {
  CliRun r = Sim(std::string("-s ") + kCore + " authorize 2-24");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("port 1 is the port this console"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
  r = Sim(std::string("-s ") + kCore + " authorize 25");
  EXPECT_EQ(r.status, 2) << r.err;
  r = Sim(std::string("-s ") + kCore + " authorize all");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("nothing to change"), std::string::npos) << r.out;

  r = Sim(std::string("-s ") + kCore + " --json authorize 1,3");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.Json()["changes"].size(), 22u) << "every other port loses management";
  r = Sim(std::string("-s ") + kCore + " --json show security");
  ASSERT_EQ(r.status, 0) << r.err;
  std::set<std::string> managing;
  const auto shown = r.Json();
  for (const auto& p : shown["ports"])
    if (p["management"] == true) managing.insert(p["port"]);
  EXPECT_EQ(managing, (std::set<std::string>{"1", "3"}));

  // Forced, it goes out; the switch then ignores this console, so not even the read-back
  // after the write gets an answer.
  r = Sim(std::string("-s ") + kCore + " authorize none --force");
  EXPECT_EQ(r.err.find("--force"), std::string::npos) << r.err;
  r = Sim(std::string("-s ") + kCore + " show security");
  EXPECT_EQ(r.status, 1) << "the switch no longer answers this console";
}

TEST_F(SecurityCli, PortAndPortsRefuseToDisableTheStationsPortUnlessForced) {
  CliRun r = Run(std::string("--sim --pcap wire.pcap -s ") + kCore + " port 1 disable");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
  EXPECT_EQ(Sets(), 0u);
  r = Run(std::string("--sim -s ") + kCore + " ports 1-3 disable");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Run(std::string("--sim -s ") + kCore + " port 2 disable").status, 0) << "chip port 0";
  EXPECT_EQ(Run(std::string("--sim -s ") + kCore + " ports 2-3 disable").status, 0);
  EXPECT_EQ(Run(std::string("--sim -s ") + kCore + " port 1 speed auto").status, 0) << "not a disable";
  r = Run(std::string("--sim -s ") + kCore + " port 1 disable --force");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("enabled"), std::string::npos) << r.out;
}

TEST_F(SecurityCli, AccessDisableAsksUnlessYes) {
  CliRun r = Sim(std::string("-s ") + kAccessA + " access disable");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Warning! This switch will not be accessible"), std::string::npos) << r.err;
  r = Sim(std::string("-s ") + kAccessA + " --json show security");
  EXPECT_EQ(r.Json()["remote_access"], true) << "No left the EEPROM alone";
  r = Sim(std::string("-s ") + kAccessA + " --yes access disable");
  ASSERT_EQ(r.status, 0) << r.err;
  r = Sim(std::string("-s ") + kAccessA + " --json show security");
  EXPECT_EQ(r.Json()["remote_access"], false);
  r = Sim(std::string("-s ") + kAccessA + " access disable");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("nothing to change"), std::string::npos);
  EXPECT_EQ(Sim(std::string("-s ") + kAccessA + " access enable").status, 0);
  EXPECT_EQ(Sim(std::string("-s ") + kCore + " access enable").status, 1) << "no such setting on this model";
}

TEST_F(SecurityCli, AuditListsTheFindingsAndFailsWhileThereAreAny) {
  CliRun r = Run("--sim --json audit");
  ASSERT_EQ(r.status, 1) << r.err;
  auto j = r.Json();
  EXPECT_EQ(j["switches_checked"], 5);
  std::map<std::string, std::set<std::string>> checks;
  for (const auto& f : j["findings"]) {
    checks[f["mac"]].insert(f["check"]);
    EXPECT_EQ(f["fix"].get<std::string>().rfind("brisfell-cli --sim -s " + f["mac"].get<std::string>() + " ", 0), 0u)
        << f;
  }
  EXPECT_EQ(checks.size(), 5u);
  EXPECT_EQ(checks[kAccessB].count("default-key"), 1u);
  EXPECT_EQ(checks[kAccessA].count("remote-access"), 1u);
  EXPECT_EQ(checks[kCore].count("management-on-every-port"), 1u);
  r = Run("--sim audit");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find(std::to_string(j["findings"].size()) + " findings on 5 switches"), std::string::npos) << r.out;
}

TEST_F(SecurityCli, RunningEachFixAsPrintedLeavesNothingToFind) {
  CliRun r = Sim("--json audit");
  ASSERT_EQ(r.status, 1) << r.err;
  const auto findings = r.Json()["findings"];
  ASSERT_FALSE(findings.empty());
  const std::string program = "brisfell-cli ";
  for (const auto& f : findings) {
    std::string fix = f["fix"];
    ASSERT_EQ(fix.rfind(program, 0), 0u) << fix;
    // The one placeholder: the key is the operator's to choose.
    if (const size_t at = fix.find("0xNNNN"); at != std::string::npos) fix.replace(at, 6, "0x7A11");
    CliRun done = Run(fix.substr(program.size()));
    EXPECT_EQ(done.status, 0) << fix << "\n" << done.err;
  }
  r = Sim("--json audit");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(r.Json()["findings"].empty()) << r.out;
}

}  // namespace
