#include "pages/ports/port_dialogs_logic.h"
#include "pages/ports/port_registers.h"

#include "ports_fixture.h"

namespace brisfell::testing {
namespace {

TEST(AbilityBits, GigabitOnlyOnChipPorts24And25) {
  EXPECT_EQ(AbilityBitsFor(0, 3), 0x0F);
  EXPECT_EQ(AbilityBitsFor(0, 24), 0x1F);
  EXPECT_EQ(AbilityBitsFor(5, 23), 0x08);  // below 24, "1000M Full" advertises 100 full only
  EXPECT_EQ(AbilityBitsFor(5, 25), 0x10);
  EXPECT_EQ(AbilityBitsFor(1, 25), 0x01);
  EXPECT_EQ(AbilityBitsFor(4, 0), 0x08);
}

TEST(AbilityBits, OpeningChoiceIgnoresTheAutoFlag) {
  EXPECT_EQ(SpeedIndexFromAbilities(0x0F, 0), 0);
  EXPECT_EQ(SpeedIndexFromAbilities(0x8F, 0), 0);
  EXPECT_EQ(SpeedIndexFromAbilities(0x0F, 24), 4);  // "100M Full" on a gigabit port
  EXPECT_EQ(SpeedIndexFromAbilities(0x1F, 25), 0);
  EXPECT_EQ(SpeedIndexFromAbilities(0x13, 24), 5);
  EXPECT_EQ(SpeedIndexFromAbilities(0x06, 5), 3);
  EXPECT_EQ(SpeedIndexFromAbilities(0x80, 5), -1);
  EXPECT_EQ(SpeedIndexFromAbilities(0x10, 5), -1);  // nothing a port below 24 can offer
}

TEST(SinglePort, ReplacesOnlyItsOwnBits) {
  SinglePortRegisters read{0xFFFF, 0x3C5A, 0xAA88};
  PortSettings s{0, 2, 3, 4, 2};
  // Chip 7 (odd): disable bit 7, the high bytes.
  SinglePortRegisters out = ApplySinglePort(read, 7, s);
  EXPECT_EQ(out.disable, 0xFF7Fu);
  EXPECT_EQ(out.bandwidth, 0xCB88u);      // bits 3 and 7 of 0xAA kept: 0x88 | 0x43
  EXPECT_EQ(out.advertise, 0xC25Au);      // 0x80 | pause 2 << 5 | 0x02
  // No selection anywhere keeps everything.
  EXPECT_EQ(ApplySinglePort(read, 7, PortSettings{}).advertise, read.advertise);
  EXPECT_EQ(ApplySinglePort(read, 7, PortSettings{}).bandwidth, read.bandwidth);
  EXPECT_EQ(ApplySinglePort(read, 7, PortSettings{}).disable, read.disable);
}

struct PortDialogTest : PortsTest {
  PortDialogState Open(int row) {
    ctx.selectedListRow = row;
    PortDialogState state = OpenPortDialog(ctx);
    return state;
  }
};

TEST_F(PortDialogTest, OpensWithThePortsSettingsAndOkWithoutChangesWritesNothing) {
  auto& sw = Use(24);
  // Row 4 is chip 5 (odd): disable bit 5, high bytes of 0x020C and 0x060C.
  sw.SetRegister(0x0608, 0x0020);
  sw.SetRegister(0x020C, 0x3600);
  sw.SetRegister(0x060C, 0xC400);
  PortDialogState state = Open(4);
  EXPECT_EQ(state.title, "Config Port 5");
  EXPECT_EQ(state.chip, 5);
  EXPECT_EQ(ReadOrder(sw), std::vector<uint16_t>({0x0608, 0x060C, 0x020C}));
  EXPECT_EQ(state.settings.enable, 1);
  EXPECT_EQ(state.settings.speed, 3);  // "100M Half"
  EXPECT_EQ(state.settings.rx, 6);
  EXPECT_EQ(state.settings.tx, 3);
  EXPECT_EQ(state.settings.pause, 2);

  sw.ClearLog();
  EXPECT_TRUE(ApplyPortDialog(ctx, state, state.settings));
  EXPECT_EQ(ReadOrder(sw), std::vector<uint16_t>({0x0608, 0x060C, 0x020C}));
  EXPECT_TRUE(sw.WriteLog().empty());
  EXPECT_FALSE(sim.engine.IoOpen());
}

TEST_F(PortDialogTest, BandwidthOrEnableAloneSendNoReset) {
  auto& sw = Use(24);
  sw.SetRegister(0x020A, 0x8888);
  PortDialogState state = Open(1);  // chip 0
  PortSettings s = state.settings;
  s.tx = 5;
  sw.ClearLog();
  ApplyPortDialog(ctx, state, s);
  EXPECT_EQ(WriteOrder(sw), std::vector<uint16_t>({0x020A}));
  EXPECT_EQ(sw.Register(0x020A), 0x88D8u);  // bits 3 and 7 survive
  EXPECT_EQ(sw.SoftResets(), 0);

  state = Open(1);
  s = state.settings;
  s.enable = 1;
  s.rx = 2;
  sw.ClearLog();
  ApplyPortDialog(ctx, state, s);
  EXPECT_EQ(WriteOrder(sw), std::vector<uint16_t>({0x020A, 0x0608}));  // bandwidth first
  EXPECT_EQ(sw.Register(0x0608) & 1, 1u);
  EXPECT_EQ(sw.SoftResets(), 0);
}

TEST_F(PortDialogTest, AdvertisementChangeIsFollowedByTheSoftReset) {
  auto& sw = Use(26);
  sw.SetRegister(0x060B, 0x000F);  // chip 2: abilities 0x0F without the auto flag
  PortDialogState state = Open(2);
  EXPECT_EQ(state.settings.speed, 0);  // opens as "Auto"
  sw.ClearLog();
  ApplyPortDialog(ctx, state, state.settings);
  EXPECT_EQ(sw.WriteLog(), std::vector<sim::RegisterWrite>({{0x060B, 0x008F}, {0x0000, 0x0001}}));
  EXPECT_EQ(sw.SoftResets(), 1);

  // "1000M Full" below chip port 24 advertises 100 full only.
  state = Open(2);
  PortSettings s = state.settings;
  s.speed = 5;
  sw.ClearLog();
  ApplyPortDialog(ctx, state, s);
  EXPECT_EQ(sw.Register(0x060B) & 0xFF, 0x88u);

  // Chip 24 with abilities 0x0F opens with "100M Full".
  sw.SetRegister(0x0616, 0x000F);
  EXPECT_EQ(Open(24).settings.speed, 4);
  EXPECT_EQ(Open(24).title, "Config Port 25");
}

TEST_F(PortDialogTest, UnselectedChoicesKeepTheirBitsAsRead) {
  auto& sw = Use(24);
  sw.SetRegister(0x060A, 0x00E0);  // chip 0: no abilities, pause 3, auto flag
  PortDialogState state = Open(1);
  EXPECT_EQ(state.settings.speed, -1);
  PortSettings s = state.settings;
  s.pause = 0;
  sw.ClearLog();
  ApplyPortDialog(ctx, state, s);
  EXPECT_EQ(sw.Register(0x060A), 0x0080u);  // abilities and auto flag as they were
}

TEST_F(PortDialogTest, FailedReadsLeaveNoSelectionAndWriteNothing) {
  auto& sw = Use(24);
  sw.SetMuted(true);
  PortDialogState state = Open(3);
  EXPECT_FALSE(state.read);
  EXPECT_EQ(state.settings.enable, -1);
  EXPECT_EQ(state.settings.speed, -1);
  EXPECT_EQ(state.settings.rx, -1);
  EXPECT_EQ(state.settings.tx, -1);
  EXPECT_EQ(state.settings.pause, -1);
  EXPECT_FALSE(ApplyPortDialog(ctx, state, {1, 1, 1, 1, 1}));
  sw.SetMuted(false);
  EXPECT_TRUE(sw.WriteLog().empty());
  EXPECT_FALSE(sim.engine.IoOpen());

  sim.Select(-1);
  const size_t before = sim.segment.FramesFromStation();
  state = Open(3);
  EXPECT_EQ(state.title, "Config Port 4");
  EXPECT_FALSE(ApplyPortDialog(ctx, state, {1, 1, 1, 1, 1}));
  EXPECT_EQ(sim.segment.FramesFromStation(), before);
}

struct PortsDialogTest : PortsTest {};

TEST_F(PortsDialogTest, NoGroupTickedStillRewritesAllAndResets) {
  auto& sw = Use(24);
  std::vector<uint32_t> before;
  for (uint16_t reg : PortsDialogRegisters()) before.push_back(sw.Register(reg));
  PortsChoice choice;
  choice.ports[3] = true;
  EXPECT_TRUE(ApplyPortsDialog(ctx, choice));
  const auto order = PortsDialogRegisters();
  EXPECT_EQ(ReadOrder(sw), std::vector<uint16_t>(order.begin(), order.end()));
  ASSERT_EQ(sw.WriteLog().size(), 29u);
  for (size_t i = 0; i < 28; ++i) {
    EXPECT_EQ(sw.WriteLog()[i].reg, order[i]);
    EXPECT_EQ(sw.WriteLog()[i].value, before[i]);
  }
  EXPECT_EQ(sw.WriteLog()[28], (sim::RegisterWrite{0x0000, 0x0001}));
}

TEST_F(PortsDialogTest, NoPortTickedSendsNothing) {
  Use(24);
  const size_t before = sim.segment.FramesFromStation();
  PortsChoice choice;
  choice.applyEnable = true;
  EXPECT_FALSE(ApplyPortsDialog(ctx, choice));
  EXPECT_EQ(sim.segment.FramesFromStation(), before);
}

TEST_F(PortsDialogTest, BandwidthGroupsClearBitsThreeAndSeven) {
  auto& sw = Use(24);
  sw.SetRegister(0x020A, 0x8888);
  sw.SetRegister(0x020B, 0x8888);
  PortsChoice choice;
  choice.ports[1] = true;  // chip 0
  choice.ports[2] = true;  // chip 3
  choice.applyRx = true;
  choice.settings.rx = 2;
  ApplyPortsDialog(ctx, choice);
  EXPECT_EQ(sw.Register(0x020A), 0x8882u);
  EXPECT_EQ(sw.Register(0x020B), 0x8288u);

  choice.applyRx = false;
  choice.applyTx = true;
  choice.settings.tx = 1;
  ApplyPortsDialog(ctx, choice);
  EXPECT_EQ(sw.Register(0x020A), 0x8812u);
  EXPECT_EQ(sw.Register(0x020B), 0x1288u);
}

TEST_F(PortsDialogTest, GroupsApplyToTickedPortsOnly) {
  auto& sw = Use(16);
  for (uint16_t reg : PortsDialogRegisters()) sw.SetRegister(reg, 0);
  PortsChoice choice;
  choice.ports[0] = true;  // "port1" is chip 15
  choice.applyEnable = true;
  choice.settings.enable = 1;
  choice.applySpeed = true;
  choice.settings.speed = 0;
  choice.applyPause = true;
  choice.settings.pause = 2;
  prompt.answers = {true};  // the lock-out question: chip 15 is the station's way in
  ApplyPortsDialog(ctx, choice);
  EXPECT_EQ(prompt.QuestionTexts().size(), 1u);
  EXPECT_EQ(sw.Register(0x0608), 0x8000u);
  EXPECT_EQ(sw.Register(0x0611), 0xCF00u);  // 0x80 | 2 << 5 | 0x0F on chip 15's byte
  for (uint16_t reg : PortsDialogRegisters()) {
    if (reg == 0x0608 || reg == 0x0611) continue;
    EXPECT_EQ(sw.Register(reg), 0u) << std::hex << reg;
  }
  EXPECT_EQ(sw.SoftResets(), 1);
}

TEST_F(PortsDialogTest, GigabitPortsGetTheirOwnAutoBits) {
  auto& sw = Use(26);
  PortsChoice choice;
  choice.ports[24] = true;
  choice.ports[25] = true;
  choice.ports[0] = true;
  choice.applySpeed = true;
  choice.settings.speed = 0;
  ApplyPortsDialog(ctx, choice);
  EXPECT_EQ(sw.Register(0x0616) & 0x9F9F, 0x9F9Fu);
  EXPECT_EQ(sw.Register(0x060A) & 0x9F, 0x8Fu);
}

TEST_F(PortsDialogTest, FailedReadWritesNothing) {
  auto& sw = Use(24);
  sw.SetMuted(true);
  PortsChoice choice;
  choice.ports[0] = true;
  EXPECT_FALSE(ApplyPortsDialog(ctx, choice));
  sw.SetMuted(false);
  EXPECT_TRUE(sw.WriteLog().empty());
  EXPECT_FALSE(sim.engine.IoOpen());
}

}  // namespace
}  // namespace brisfell::testing
