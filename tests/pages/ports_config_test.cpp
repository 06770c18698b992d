#include "pages/ports/port_config_logic.h"
#include "pages/ports/port_registers.h"

#include "ports_fixture.h"

namespace brisfell::testing {
namespace {

enum { kPort, kEnabled, kTx, kRx, kSpeed, kPause, kTrunk };

TEST(AdvertisedSpeed, HighestAbilityWinsAndAutoNeedsTheFlag) {
  EXPECT_EQ(AdvertisedSpeedText(0x00), "Error");
  EXPECT_EQ(AdvertisedSpeedText(0x80), "Error");
  EXPECT_EQ(AdvertisedSpeedText(0x01), "10M Half");
  EXPECT_EQ(AdvertisedSpeedText(0x03), "10M Full");
  EXPECT_EQ(AdvertisedSpeedText(0x07), "100M Half");
  EXPECT_EQ(AdvertisedSpeedText(0x0F), "100M Full");
  EXPECT_EQ(AdvertisedSpeedText(0x8F), "Auto");
  EXPECT_EQ(AdvertisedSpeedText(0x8E), "100M Full");
  EXPECT_EQ(AdvertisedSpeedText(0x1F), "1000M Full");
  EXPECT_EQ(AdvertisedSpeedText(0x9F), "Auto");
  EXPECT_EQ(AdvertisedSpeedText(0x90), "1000M Full");
}

struct PortConfigTest : PortsTest {
  Table Refresh(bool expectOk = true) {
    Table t;
    EXPECT_EQ(RefreshPortConfig(ctx, t), expectOk);
    return t;
  }
};

TEST_F(PortConfigTest, ReadsFortyTwoRegistersInOrder) {
  auto& sw = Use(16);
  Table t = Refresh();
  EXPECT_EQ(ReadOrder(sw), std::vector<uint16_t>({0x0307, 0x0608, 0x0609}) + Range(0x020A, 13) +
                               Range(0x060A, 13) + Range(0x0619, 13));
  EXPECT_TRUE(sw.WriteLog().empty());
  EXPECT_EQ(t.columns, std::vector<std::string>({"Port", "Enabled", "Tx Bandwidth", "Rx Bandwidth", "Speed Duplex",
                                                 "Pause Flow Control", "Trunk Setting"}));
  EXPECT_EQ(t.rows.size(), 16u);
}

TEST_F(PortConfigTest, DecodesEachPortThroughThePortMap) {
  auto& sw = Use(16);
  // Chip 15 (row "1"): disabled, tx 8M rx 128K, 0xAF: auto, pause 1. Chip 14 (row "9"): abilities 0.
  sw.SetRegister(0x0608, 0x8000);
  sw.SetRegister(0x0211, 0x7100);
  sw.SetRegister(0x0611, 0xAF60);
  sw.SetRegister(0x0307, 0x0010);  // group 4: chips 15, 12, 14, 13
  Table t = Refresh();
  ASSERT_EQ(t.rows.size(), 16u);
  EXPECT_EQ(t.rows[0], std::vector<std::string>({"1", "disable", "8M", "128K", "Auto", "Asym to LinkPartner",
                                                 "Trunk 4"}));
  EXPECT_EQ(t.rows[8][kPort], "9");
  EXPECT_EQ(t.rows[8][kEnabled], "enable");
  EXPECT_EQ(t.rows[8][kSpeed], "Error");
  EXPECT_EQ(t.rows[8][kPause], "Asym to LocalDevice");
  EXPECT_EQ(t.rows[8][kTrunk], "Trunk 4");
  EXPECT_EQ(t.rows[7][kTrunk], "none");
}

TEST_F(PortConfigTest, GigabitPortsAndTheAutoFlag) {
  auto& sw = Use(26);
  sw.SetRegister(0x0616, 0x1FBF);  // chip 24: 0xBF, chip 25: 0x1F without the flag
  sw.SetRegister(0x060A, 0x0F8F);  // chip 0: 0x8F, chip 1: 0x0F
  sw.SetRegister(0x0307, 0x0080);
  Table t = Refresh();
  ASSERT_EQ(t.rows.size(), 26u);
  EXPECT_EQ(t.rows[24][kPort], "G1");
  EXPECT_EQ(t.rows[24][kSpeed], "Auto");
  EXPECT_EQ(t.rows[24][kPause], "Asym to LinkPartner");
  EXPECT_EQ(t.rows[25][kSpeed], "1000M Full");
  EXPECT_EQ(t.rows[0][kSpeed], "Auto");
  EXPECT_EQ(t.rows[1][kSpeed], "100M Full");
  EXPECT_EQ(t.rows[24][kTrunk], "Trunked");
  EXPECT_EQ(t.rows[0][kTrunk], "none");
}

// The switch leaves the first requests for 0x0307 unanswered: the engine asks again, as
// often as its settings allow, while the other registers are read.
using RetryTest = PortsTest;

TEST_F(RetryTest, TrunkEnableAnsweringOnTheLastTryStillFills) {
  sim.Emulated(0).FailReads(0x0307, kRegisterTries - 1);
  sim.segment.ClearRecording();
  Table t;
  EXPECT_TRUE(RefreshPortConfig(ctx, t));
  EXPECT_EQ(GetsSent(0x0307), kRegisterTries);
  EXPECT_EQ(static_cast<int>(t.rows.size()), sim.engine.PortCount(0));
  EXPECT_FALSE(sim.engine.IoOpen());
}

TEST_F(RetryTest, EveryTryLostLeavesTheListEmpty) {
  auto& sw = sim.Emulated(0);
  sw.FailReads(0x0307, kRegisterTries);
  sw.ClearLog();
  sim.segment.ClearRecording();
  Table t;
  EXPECT_FALSE(RefreshPortConfig(ctx, t));
  EXPECT_EQ(GetsSent(0x0307), kRegisterTries);
  EXPECT_TRUE(t.rows.empty());
  EXPECT_FALSE(sim.engine.IoOpen());
  EXPECT_TRUE(prompt.shown.empty());
  EXPECT_NE(sim.engine.LastFailure().find(Format("for register 0x0307 after %d tries in 1000 ms", kRegisterTries)),
            std::string::npos)
      << sim.engine.LastFailure();
}

TEST_F(PortConfigTest, ConfigNeedsASelection) {
  Use(24);
  EXPECT_FALSE(PortConfigRequested(ctx, -1, false));  // double-click: no message
  EXPECT_TRUE(prompt.shown.empty());
  EXPECT_FALSE(PortConfigRequested(ctx, -1, true));
  ASSERT_EQ(prompt.shown.size(), 1u);
  EXPECT_EQ(prompt.shown[0].text, "Please select Port to config!");
  EXPECT_EQ(prompt.shown[0].title, "Error");
  EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Error);
  EXPECT_EQ(ctx.selectedListRow, -1);
  EXPECT_TRUE(PortConfigRequested(ctx, 23, false));
  EXPECT_EQ(ctx.selectedListRow, 23);
}

TEST_F(PortConfigTest, NoSwitchNoReads) {
  sim.Select(-1);
  const size_t before = sim.segment.FramesFromStation();
  Table t = Refresh(false);
  EXPECT_TRUE(t.rows.empty());
  EXPECT_FALSE(PortConfigRequested(ctx, 3, true));
  EXPECT_FALSE(SwitchSelected(ctx));
  EXPECT_EQ(sim.segment.FramesFromStation(), before);
}

}  // namespace
}  // namespace brisfell::testing
