// The lock-out guard: the station's own port is found from discovery and named as the pages
// show it; the port dialogs ask before disabling it, and only Yes (or the caller's own
// decision) lets the write through.
#include "pages/ports/port_dialogs_logic.h"
#include "pages/security/lockout_guard.h"
#include "ports_fixture.h"

namespace brisfell::testing {
namespace {

// The built-in segment with the station moved to chip port 6 of the 24-port core switch,
// which that model shows as port 8.
sim::Scenario StationOnChipSix() {
  sim::Scenario s = sim::DefaultScenario();
  for (auto& sw : s.switches)
    if (sw.upstream < 0) sw.towardStation = 6;
  return s;
}

TEST(LockoutRule, TheStationsPortIsAtRiskOnlyWhenItsOwnBitIsTaken) {
  SimFixture sim(StationOnChipSix());
  ScriptedPrompt prompt;
  PageContext ctx{sim.engine, prompt};
  ASSERT_GT(sim.DiscoverAndSelect(0), 0);
  sim.Select(sim.IndexOfVendor(0x6B2D7002));
  ASSERT_EQ(StationChipPort(ctx), 6);
  EXPECT_FALSE(LockoutRiskOf(ctx, 0, 0).AtRisk());
  EXPECT_FALSE(LockoutRiskOf(ctx, ~(1u << 6), ~(1u << 6)).AtRisk()) << "every other port";
  const LockoutRisk management = LockoutRiskOf(ctx, 1u << 6, 0);
  EXPECT_EQ(management.position, 7);
  EXPECT_FALSE(management.disables);
  const LockoutRisk disabled = LockoutRiskOf(ctx, 0, 1u << 6);
  EXPECT_TRUE(disabled.disables);
  for (const LockoutRisk& r : {management, disabled}) {
    const std::string q = LockoutQuestion(r);
    EXPECT_EQ(q.rfind("You are connected through port 8 of this switch. ", 0), 0u) << q;
    EXPECT_EQ(q.substr(q.size() - 10), "\nContinue?") << q;
    EXPECT_NE(LockoutRefusal(r).find("port 8"), std::string::npos);
  }
  EXPECT_NE(LockoutQuestion(management), LockoutQuestion(disabled));

  // No switch, no risk; the answers decide under kAsk only.
  sim.engine.SetCurrentSwitchIndex(-1);
  EXPECT_EQ(StationChipPort(ctx), -1);
  EXPECT_FALSE(LockoutRiskOf(ctx, ~0u, ~0u).AtRisk());
  sim.Select(sim.IndexOfVendor(0x6B2D7002));
  EXPECT_EQ(LockoutGuard(ctx, disabled, LockoutPolicy::kAllow), Outcome::Done());
  EXPECT_EQ(LockoutGuard(ctx, disabled, LockoutPolicy::kRefuse), Outcome::Refused(LockoutRefusal(disabled)));
  EXPECT_TRUE(prompt.shown.empty()) << "neither policy asks";
  EXPECT_EQ(LockoutGuard(ctx, disabled, LockoutPolicy::kAsk).kind, OutcomeKind::Declined);
  prompt.answers = {true};
  EXPECT_EQ(LockoutGuard(ctx, disabled, LockoutPolicy::kAsk), Outcome::Done());
  EXPECT_EQ(prompt.QuestionTexts(), std::vector<std::string>(2, LockoutQuestion(disabled)));
}

struct PortDialogGuard : PortsTest {
  sim::EmulatedSwitch* sw = nullptr;
  int station = -1;  // shown position
  void SetUp() override {
    PortsTest::SetUp();
    sw = &Use(24);
    station = Row(StationChipPort(ctx));
    ASSERT_EQ(station, 0) << "the station is on chip port 1 of the core switch, shown as port 1";
  }
  bool DisableOne(int row, LockoutPolicy policy = LockoutPolicy::kAsk) {
    ctx.selectedListRow = row;
    const PortDialogState state = OpenPortDialog(ctx);
    PortSettings chosen = state.settings;
    chosen.enable = 1;
    sw->ClearLog();
    return ApplyPortDialog(ctx, state, chosen, policy);
  }
  bool DisableMany(std::initializer_list<int> rows, bool applyEnable, LockoutPolicy policy = LockoutPolicy::kAsk) {
    PortsChoice choice;
    for (int r : rows) choice.ports[r] = true;
    choice.applyEnable = applyEnable;
    choice.applySpeed = !applyEnable;
    choice.settings.enable = 1;
    sw->ClearLog();
    return ApplyPortsDialog(ctx, choice, policy);
  }
  bool Disabled(int row) const { return (sw->Register(kRegPortDisable) >> sim.engine.MapPortToChip(ctx.Switch(), row)) & 1; }
};

TEST_F(PortDialogGuard, TheSinglePortDialogAsksOnlyForTheStationsPort) {
  EXPECT_TRUE(DisableOne(1)) << "another port: no question";
  EXPECT_TRUE(prompt.shown.empty());
  EXPECT_TRUE(Disabled(1));

  EXPECT_FALSE(DisableOne(station));
  ASSERT_EQ(prompt.QuestionTexts().size(), 1u);
  EXPECT_EQ(prompt.QuestionTexts()[0].rfind("You are connected through port 1 of this switch.", 0), 0u);
  EXPECT_TRUE(sw->WriteLog().empty()) << "No writes nothing";
  EXPECT_FALSE(Disabled(station));

  EXPECT_FALSE(DisableOne(station, LockoutPolicy::kRefuse));
  EXPECT_TRUE(sw->WriteLog().empty());
  EXPECT_EQ(prompt.QuestionTexts().size(), 1u);

  prompt.answers = {true};
  EXPECT_TRUE(DisableOne(station));
  EXPECT_TRUE(Disabled(station));
}

TEST_F(PortDialogGuard, TheMultiPortDialogAsksWhenItsEnableGroupDisablesTheStationsPort) {
  EXPECT_TRUE(DisableMany({station, 3}, false)) << "speed only: no question";
  EXPECT_TRUE(prompt.shown.empty());
  EXPECT_FALSE(DisableMany({station, 3}, true));
  EXPECT_EQ(prompt.QuestionTexts().size(), 1u);
  EXPECT_TRUE(sw->WriteLog().empty());
  EXPECT_FALSE(Disabled(3)) << "nothing of the change is made";
  EXPECT_TRUE(DisableMany({station, 3}, true, LockoutPolicy::kAllow));
  EXPECT_EQ(prompt.QuestionTexts().size(), 1u);
  EXPECT_TRUE(Disabled(station));
  EXPECT_TRUE(Disabled(3));
}

}  // namespace
}  // namespace brisfell::testing
