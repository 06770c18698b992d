#include "pages/status/port_status_logic.h"

#include "ports_fixture.h"

namespace brisfell::testing {
namespace {

enum { kPort, kLinked, kType, kSpeed, kFlow, kTx, kRx, kTrunk };

struct PortStatusTest : PortsTest {
  Table Refresh(bool expectOk = true) {
    Table t;
    EXPECT_EQ(RefreshPortStatus(ctx, t), expectOk);
    return t;
  }
};

TEST_F(PortStatusTest, ReadsThirtyRegistersInTheirFixedOrder) {
  auto& sw = Use(24);
  Table t = Refresh();
  EXPECT_EQ(ReadOrder(sw), std::vector<uint16_t>({0x0100, 0x0307, 0x0608, 0x0609}) + Range(0x020A, 13) +
                               Range(0x0619, 13));
  EXPECT_TRUE(sw.WriteLog().empty());
  EXPECT_EQ(t.columns, std::vector<std::string>({"Port", "Linked", "Port Type", "Speed Duplex", "Flow Control",
                                                 "Tx Bandwidth", "Rx Bandwidth", "Trunk Setting"}));
  EXPECT_FALSE(sim.engine.IoOpen());
}

TEST_F(PortStatusTest, NoSwitchSelectedSendsNothing) {
  sim.Select(-1);
  const size_t before = sim.segment.FramesFromStation();
  Table t = Refresh(false);
  EXPECT_TRUE(t.rows.empty());
  EXPECT_EQ(t.columns.size(), 8u);
  EXPECT_EQ(sim.segment.FramesFromStation(), before);
}

TEST_F(PortStatusTest, SilentSwitchLeavesTheListEmptyAfterOneTimeOut) {
  auto& sw = Use(24);
  sw.SetMuted(true);
  const int64_t start = sim.clock.NowMs();
  const size_t before = sim.segment.FramesFromStation();
  Table t = Refresh(false);
  EXPECT_TRUE(t.rows.empty());
  // The first window of gets, each asked as often as allowed; the first register that stays
  // unanswered ends the refresh.
  EXPECT_EQ(sim.segment.FramesFromStation() - before, static_cast<size_t>(kReadWindow * kRegisterTries));
  EXPECT_GE(sim.clock.NowMs() - start, 1000);
  EXPECT_LT(sim.clock.NowMs() - start, 2000);
  EXPECT_FALSE(sim.engine.IoOpen());
  EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(PortStatusTest, StatusByteDecoding) {
  auto& sw = Use(26);
  // Chip 0: link down, but its speed, duplex and flow control still show. Chip 1: speed code 3.
  // Chip 2: 100 full with the second flow-control bit only.
  sw.SetRegister(0x0619, 0x0B << 8 | 0x06 | 0x20);
  sw.SetRegister(0x061A, 0x45 | 0x10);
  sw.SetRegister(0x020A, 0x75 << 8 | 0x20);  // chip 0: tx 2 rx 0; chip 1: tx 7 rx 5
  Table t = Refresh();
  ASSERT_EQ(t.rows.size(), 26u);
  EXPECT_EQ(t.rows[0], std::vector<std::string>({"1", "Down", "10/100TX", "1000M Full", "Enable", "256K", "no",
                                                 t.rows[0][kTrunk]}));
  EXPECT_EQ(t.rows[1][kSpeed], "0M Half");
  EXPECT_EQ(t.rows[1][kFlow], "Disable");
  EXPECT_EQ(t.rows[1][kTx], "8M");
  EXPECT_EQ(t.rows[1][kRx], "2M");
  EXPECT_EQ(t.rows[2][kLinked], "Up");
  EXPECT_EQ(t.rows[2][kSpeed], "100M Full");
  EXPECT_EQ(t.rows[2][kFlow], "Enable");
}

TEST_F(PortStatusTest, GigabitSwitchRowsAndFixedTrunkGroups) {
  auto& sw = Use(26);
  sw.SetRegister(0x0100, 0x0008);  // chip 25 TBI, chip 24 GMII
  sw.SetRegister(0x0307, 0xFF00 | 0x80 | 0x04 | 0x01);  // groups 1, 3 and 8 (bits 8-15 belong to none)
  Table t = Refresh();
  ASSERT_EQ(t.rows.size(), 26u);
  EXPECT_EQ(t.rows[24][kPort], "G1");
  EXPECT_EQ(t.rows[25][kPort], "G2");
  EXPECT_EQ(t.rows[23][kPort], "24");
  EXPECT_EQ(t.rows[24][kType], "1000TX(GMII)");
  EXPECT_EQ(t.rows[25][kType], "1000TX(TBI)");
  EXPECT_EQ(t.rows[23][kType], "10/100TX");
  const std::vector<std::string> expected = {"Trunked", "Trunked", "none", "none", "Trunked", "Trunked", "Trunked",
                                             "Trunked", "none",    "none", "none", "none"};
  for (int p = 0; p < 12; ++p) EXPECT_EQ(t.rows[p][kTrunk], expected[p]) << "row " << p;
  for (int p = 12; p < 24; ++p) EXPECT_EQ(t.rows[p][kTrunk], "none") << "row " << p;
  EXPECT_EQ(t.rows[24][kTrunk], "Trunked");  // chips 24 and 25 share bit 7
  EXPECT_EQ(t.rows[25][kTrunk], "Trunked");
}

TEST_F(PortStatusTest, TwentyFourPortSwitchNumbersItsTrunkGroups) {
  auto& sw = Use(24);
  sw.SetRegister(0x0307, 0x0001 | 0x0004 | 0x0040);  // bit 0 plays no part; groups 2 and 6
  sw.SetRegister(0x0619, 0x0015);                     // chip 0 up, chip 1 down
  Table t = Refresh();
  ASSERT_EQ(t.rows.size(), 24u);
  for (const auto& row : t.rows) EXPECT_EQ(row[kType], "10/100TX");
  for (int p = 0; p < 24; ++p) {
    const int group = p / 4 + 1;
    EXPECT_EQ(t.rows[p][kTrunk], group == 2 || group == 6 ? Format("Trunk %d", group) : "none") << "row " << p;
  }
  // The pair is swapped: chip 0 is shown as port 2.
  EXPECT_EQ(t.rows[1][kLinked], "Up");
  EXPECT_EQ(t.rows[0][kLinked], "Down");
}

TEST_F(PortStatusTest, SixteenPortSwitchFollowsThePortMap) {
  auto& sw = Use(16);
  sw.SetRegister(0x0307, 0x0002);  // group 1: chips 2, 0, 3, 1
  sw.SetRegister(0x0620, 0x5500);  // chip 15: up, 100 full, flow control
  sw.SetRegister(0x0621, 0x0000);  // chips 16, 17 are not shown
  Table t = Refresh();
  ASSERT_EQ(t.rows.size(), 16u);
  EXPECT_EQ(t.rows[0][kPort], "1");
  EXPECT_EQ(t.rows[0][kLinked], "Up");
  EXPECT_EQ(t.rows[0][kSpeed], "100M Full");
  EXPECT_EQ(t.rows[0][kFlow], "Enable");
  std::vector<std::string> trunked;
  for (const auto& row : t.rows)
    if (row[kTrunk] == "Trunk 1") trunked.push_back(row[kPort]);
  EXPECT_EQ(trunked, std::vector<std::string>({"7", "8", "15", "16"}));
  for (const auto& row : t.rows) EXPECT_TRUE(row[kTrunk] == "Trunk 1" || row[kTrunk] == "none");
}

TEST_F(PortStatusTest, ReadFailureHalfwayLeavesTheListEmpty) {
  sim.Emulated(0).FailReads(0x0210, -1);
  Table t;
  EXPECT_FALSE(RefreshPortStatus(ctx, t));
  EXPECT_TRUE(t.rows.empty());
  EXPECT_FALSE(sim.engine.IoOpen());
  // A fresh refresh fills it again.
  sim.Emulated(0).ClearFailedReads();
  EXPECT_TRUE(RefreshPortStatus(ctx, t));
  EXPECT_EQ(static_cast<int>(t.rows.size()), sim.engine.PortCount(0));
}

}  // namespace
}  // namespace brisfell::testing
