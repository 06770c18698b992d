// The security audit on the built-in segment: its findings per switch, that following each
// fix clears it, and that what cannot be read is reported rather than passed.
#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "pages/features/feature_forms.h"
#include "pages/security/audit_logic.h"
#include "pages/security/device_security_logic.h"
#include "pages/system/configurations_logic.h"
#include "ports_fixture.h"

namespace brisfell::testing {
namespace {

using Checks = std::set<std::string>;

std::map<std::string, Checks> ByMac(const std::vector<AuditFinding>& findings) {
  std::map<std::string, Checks> by;
  for (const auto& f : findings) by[FormatMac(f.mac)].insert(f.check);
  return by;
}

struct AuditTest : PortsTest {
  // Carries out a finding's fix: a new key as the command line would set it, the rest as the
  // window's Apply does.
  void Apply(const AuditFinding& f) {
    SCOPED_TRACE(f.command);
    if (f.check == kAuditDefaultKey) {
      EXPECT_FALSE(AuditFixApplicable(f)) << "the operator chooses the key";
      sim.Select(f.switchIndex);
      prompt.answers = {true};  // and saved to the EEPROM
      ASSERT_EQ(SetAuthKeyFromText(ctx, "0x1234").kind, OutcomeKind::Done);
      return;
    }
    ASSERT_TRUE(AuditFixApplicable(f));
    prompt.answers = {true};  // disabling remote access asks first
    ASSERT_EQ(ApplyAuditFix(ctx, f).kind, OutcomeKind::Done);
  }
};

TEST_F(AuditTest, TheBuiltInSegmentIsOpenInTheWaysItsScenarioSays) {
  sim.Select(2);
  const auto findings = AuditSwitches(ctx);
  EXPECT_EQ(ctx.Switch(), 2) << "the current switch is kept";
  const std::string every = kAuditEveryPortManages, loop = kAuditLoopDetectionOff, storm = kAuditStormFilterOff;
  // Every switch keeps the default key and lets every port manage; storm filtering is off
  // everywhere (0x0607 bit 4 by default); only access-b detects loops; only access-a keeps the
  // remote-access bit, and only access-b can change its key.
  const std::map<std::string, Checks> expected = {
      {"02:0B:F1:24:00:01", {every, loop, storm}},
      {"02:0B:F1:16:00:03", {every, kAuditRemoteAccess, loop, storm}},
      {"02:0B:F1:16:00:04", {kAuditDefaultKey, every, storm}},
      {"02:0B:F1:16:00:01", {every, loop, storm}},
      {"02:0B:F1:26:00:01", {every, loop, storm}},
  };
  EXPECT_EQ(ByMac(findings), expected);
  for (const auto& f : findings) {
    SCOPED_TRACE(f.check + " on " + FormatMac(f.mac));
    EXPECT_FALSE(f.command.empty());
    EXPECT_FALSE(f.text.empty());
    if (f.check == every) {
      EXPECT_EQ(f.command, "authorize 1") << "the port this console comes in through";
      EXPECT_EQ(f.text.find("default key") != std::string::npos, !sim.engine.GetSwitchRecord(f.switchIndex)->keySettable);
    }
    EXPECT_EQ(FixCommandLine(f, "brisfell-cli --sim"), "brisfell-cli --sim -s " + FormatMac(f.mac) + " " + f.command);
  }
  const Table table = AuditTable(findings, "x");
  EXPECT_EQ(table.rows.size(), findings.size());
}

TEST_F(AuditTest, FollowingEveryFixLeavesNothingToFind) {
  const auto findings = AuditSwitches(ctx);
  ASSERT_FALSE(findings.empty());
  for (const auto& f : findings) Apply(f);
  EXPECT_TRUE(AuditSwitches(ctx).empty()) << ::testing::PrintToString(ByMac(AuditSwitches(ctx)));
}

// A key set but not saved goes back at the next power cycle: set-key says so and offers to
// save it, and the audit reports it until it is saved.
TEST_F(AuditTest, AKeyLivingOnlyInTheRegisterIsReportedUntilSaved) {
  auto& sw = UseVendor(0x6B2D7004);
  const int index = ctx.Switch();
  auto checks = [&] {
    Checks c;
    for (const auto& f : AuditSwitch(ctx, index)) c.insert(f.check);
    return c;
  };
  prompt.answers = {false};
  const Outcome set = SetAuthKeyFromText(ctx, "0x1234");
  ASSERT_EQ(set.kind, OutcomeKind::Done);
  EXPECT_NE(set.message.find(KeyNotSavedText(0x1234, 0x5A3C)), std::string::npos) << set.message;
  EXPECT_EQ(prompt.QuestionTexts().size(), 1u);
  EXPECT_TRUE(checks().count(kAuditKeyNotSaved));
  ASSERT_EQ(SaveToEeprom(ctx).outcome, EepromOutcome::Saved);
  EXPECT_FALSE(checks().count(kAuditKeyNotSaved));

  prompt.answers = {true};
  ASSERT_EQ(SetAuthKeyFromText(ctx, "0x4321").kind, OutcomeKind::Done);
  EXPECT_EQ(sw.EepromByte(0x6A) | sw.EepromByte(0x6B) << 8, 0x4321);
  EXPECT_FALSE(checks().count(kAuditKeyNotSaved));
}

// Apply writes only what the operator chose: No to the page's question writes nothing, a
// switch that is no longer the one audited is refused, as is a fix that needs a value.
TEST_F(AuditTest, ApplyWritesOnlyWhatTheOperatorChose) {
  const auto findings = AuditSwitches(ctx);
  auto find = [&](const char* check) {
    return *std::find_if(findings.begin(), findings.end(), [&](const AuditFinding& f) { return f.check == check; });
  };
  sim.Select(2);
  const AuditFinding access = find(kAuditRemoteAccess);
  prompt.answers = {false};
  EXPECT_EQ(ApplyAuditFix(ctx, access).kind, OutcomeKind::Declined);
  EXPECT_EQ(prompt.QuestionTexts().size(), 1u);
  EXPECT_EQ(ctx.Switch(), 2) << "the current switch is kept";
  const auto again = AuditSwitch(ctx, access.switchIndex);
  EXPECT_TRUE(std::any_of(again.begin(), again.end(), [](const AuditFinding& f) { return f.check == kAuditRemoteAccess; }));

  for (int i = 0; i < sim.engine.SwitchCount(); ++i) sim.Emulated(i).ClearLog();

  AuditFinding moved = find(kAuditStormFilterOff);
  moved.mac[5] ^= 0xFF;
  EXPECT_EQ(ApplyAuditFix(ctx, moved).kind, OutcomeKind::Refused);
  const AuditFinding key = find(kAuditDefaultKey);
  EXPECT_EQ(ApplyAuditFix(ctx, key).kind, OutcomeKind::Refused);
  AuditFinding unknownPort = find(kAuditEveryPortManages);
  unknownPort.command = "authorize PORTLIST";
  EXPECT_FALSE(AuditFixApplicable(unknownPort));
  for (int i = 0; i < sim.engine.SwitchCount(); ++i) EXPECT_TRUE(sim.Emulated(i).WriteLog().empty()) << i;

  // The command line reaches the emulated segment with --sim, a real adapter with -a.
  EXPECT_EQ(AuditProgram("eth1", false, ""), "brisfell-cli -a eth1");
  EXPECT_EQ(AuditProgram("emulated", true, ""), "brisfell-cli --sim");
  EXPECT_EQ(AuditProgram("emulated", true, "lab.json"), "brisfell-cli --sim lab.json");
}

TEST_F(AuditTest, WhatCannotBeReadIsReportedNotPassed) {
  auto& core = Use(24);
  const int index = ctx.Switch();
  core.FailReads(kRegUnauthorisedLow, -1);
  core.FailReads(kRegGlobalControl, -1);
  auto findings = AuditSwitch(ctx, index);
  Checks checks;
  for (const auto& f : findings) checks.insert(f.check);
  // The port control register still reads, so storm filtering is judged.
  EXPECT_EQ(checks, (Checks{kAuditStormFilterOff, kAuditNotChecked}));
  EXPECT_EQ(std::count_if(findings.begin(), findings.end(), [](const AuditFinding& f) { return f.check == kAuditNotChecked; }), 2);
  for (const auto& f : findings)
    if (f.check == kAuditNotChecked) {
      EXPECT_TRUE(f.command.empty());
      EXPECT_EQ(FixCommandLine(f, "brisfell-cli"), "");
    }
  core.ClearFailedReads();
  core.SetMuted(true);
  findings = AuditSwitch(ctx, index);
  EXPECT_EQ(std::count_if(findings.begin(), findings.end(), [](const AuditFinding& f) { return f.check == kAuditNotChecked; }), 2);
  EXPECT_FALSE(sim.engine.IoOpen());
}

}  // namespace
}  // namespace brisfell::testing
