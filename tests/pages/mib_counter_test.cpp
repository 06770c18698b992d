#include "pages/status/mib_counter_logic.h"

#include "ports_fixture.h"

namespace brisfell::testing {
namespace {

struct MibTest : PortsTest {
  // A chip port with no traffic of its own, so its counters hold what the test sets.
  static constexpr int kQuietChip = 20;
};

TEST(MibSelection, CodesSitInSixBitsPerPort) {
  // Chip 1 (odd) uses bits 6-11: counter 1 code 2, counter 2 code 3, counter 3 code 1.
  const uint32_t v = 0xF000 | (0x1E << 6) | 0x05;
  EXPECT_EQ(MibCode(v, 1, 0), 2);
  EXPECT_EQ(MibCode(v, 1, 1), 3);
  EXPECT_EQ(MibCode(v, 1, 2), 1);
  EXPECT_EQ(MibCode(v, 0, 0), 1);
  EXPECT_EQ(MibCode(v, 0, 1), 1);
  EXPECT_EQ(MibCode(v, 0, 2), 0);
  // Replacing chip 0's codes leaves chip 1's and bits 12 and up alone; -1 keeps a code.
  EXPECT_EQ(WithMibCodes(v, 0, {3, -1, 2}), 0xF000u | (0x1E << 6) | 0x27);
  EXPECT_EQ(WithMibCodes(v, 1, {-1, -1, -1}), v);
}

TEST_F(MibTest, RefreshShowsThirtyTwoBitCountersAndTheirUnits) {
  auto& sw = Use(24);
  const int k = kQuietChip;
  sw.SetRegister(MibSelectRegister(k), 2 | 1 << 2 | 3 << 4);  // even chip: bits 0-5
  sw.SetRegister(0x070D + k, 0xFFFFFFFFu);
  sw.SetRegister(0x0727 + k, 0x00012345u);
  sw.SetRegister(0x0741 + k, 0);
  Table t;
  ASSERT_TRUE(RefreshMibCounters(ctx, t));
  EXPECT_EQ(ReadOrder(sw), Range(0x0700, 91));
  ASSERT_EQ(t.rows.size(), 24u);
  EXPECT_EQ(t.columns, std::vector<std::string>({"Port", "Counter 1", "(unit)", "Counter 2", "(unit)", "Counter 3",
                                                 "(unit)"}));
  EXPECT_EQ(t.rows[Row(k)], std::vector<std::string>({PortLabel(Row(k)), "4294967295", "CRC error packets", "74565",
                                                      "Tx packets", "0", "Collision packets"}));
}

TEST_F(MibTest, PageTextsFollowEachCountersCode) {
  auto& sw = Use(26);
  sw.SetRegister(0x0700, 0x0000);             // chip 0 all bytes
  sw.SetRegister(0x0701, 0x0555);             // chips 2 and 3 all packets
  Table t;
  ASSERT_TRUE(RefreshMibCounters(ctx, t));
  EXPECT_EQ(t.rows[0][2], "Rx bytes");
  EXPECT_EQ(t.rows[0][4], "Tx bytes");
  EXPECT_EQ(t.rows[0][6], "Drop bytes");
  EXPECT_EQ(t.rows[3][2], "Rx packets");
  EXPECT_EQ(t.rows[3][4], "Tx packets");
  EXPECT_EQ(t.rows[3][6], "Drop packets");
  EXPECT_EQ(t.rows[25][0], "G2");
}

TEST_F(MibTest, PortClearTogglesAndRestoresTheSelection) {
  auto& sw = Use(16);
  const int row = 0;  // chip 15: bits 6-11 of 0x0707
  sw.SetRegister(0x0707, 0xA000 | (0x15 << 6) | 0x2A);
  sw.SetRegister(0x070D + 15, 5000);
  EXPECT_TRUE(MibPortClear(ctx, row));
  EXPECT_EQ(ReadOrder(sw), std::vector<uint16_t>({0x0707}));
  const uint32_t before = 0xA000 | (0x15 << 6) | 0x2A;
  EXPECT_EQ(sw.WritesTo(0x0707), std::vector<uint32_t>({before ^ (0x3Fu << 6), before}));
  EXPECT_EQ(WriteOrder(sw), std::vector<uint16_t>({0x0707, 0x0707}));
  EXPECT_EQ(sw.Register(0x0707), before);
  EXPECT_LT(sw.Register(0x070D + 15), 5000u);  // counting again from zero
  EXPECT_FALSE(sim.engine.IoOpen());
}

TEST_F(MibTest, PortClearWithoutSelectionOnlyComplains) {
  Use(24);
  const size_t before = sim.segment.FramesFromStation();
  EXPECT_FALSE(MibPortClear(ctx, -1));
  ASSERT_EQ(prompt.shown.size(), 1u);
  EXPECT_EQ(prompt.shown[0].title, "Error");
  EXPECT_EQ(prompt.shown[0].text, "Please select Port to clear!");
  EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Error);
  EXPECT_EQ(sim.segment.FramesFromStation(), before);
}

TEST_F(MibTest, AllClearCoversChipPortsBeyondASixteenPortSwitch) {
  auto& sw = Use(16);
  Table before;
  std::vector<uint32_t> values;
  for (int r = 0; r < 13; ++r) values.push_back(sw.Register(static_cast<uint16_t>(0x0700 + r)));
  EXPECT_TRUE(MibAllClear(ctx));
  // Each register is read, toggled and restored once per chip port: twice in all.
  ASSERT_EQ(sw.ReadLogWithoutReadBacks().size(), 26u);
  ASSERT_EQ(sw.WriteLog().size(), 52u);
  for (int k = 0; k < 26; ++k) {
    const uint16_t reg = static_cast<uint16_t>(0x0700 + k / 2);
    EXPECT_EQ(sw.ReadLogWithoutReadBacks()[k].reg, reg);
    EXPECT_EQ(sw.WriteLog()[2 * k].reg, reg);
    EXPECT_EQ(sw.WriteLog()[2 * k + 1].reg, reg);
    EXPECT_EQ(sw.WriteLog()[2 * k].value ^ sw.WriteLog()[2 * k + 1].value, 0x3Fu << ((k & 1) * 6)) << "chip " << k;
  }
  for (int r = 0; r < 13; ++r) EXPECT_EQ(sw.Register(static_cast<uint16_t>(0x0700 + r)), values[r]);
}

TEST_F(MibTest, AllBytesAndAllPacketsKeepTheHighBits) {
  auto& sw = Use(24);
  for (int r = 0; r < 13; ++r) sw.SetRegister(static_cast<uint16_t>(0x0700 + r), 0x5000 | (r * 0x111));
  EXPECT_TRUE(MibAllBytes(ctx));
  EXPECT_EQ(ReadOrder(sw), Range(0x0700, 13));
  EXPECT_EQ(WriteOrder(sw), Range(0x0700, 13));
  for (int r = 0; r < 13; ++r) EXPECT_EQ(sw.Register(static_cast<uint16_t>(0x0700 + r)), 0x5000u) << r;
  sw.ClearLog();
  EXPECT_TRUE(MibAllPackets(ctx));
  for (int r = 0; r < 13; ++r) EXPECT_EQ(sw.Register(static_cast<uint16_t>(0x0700 + r)), 0x5555u) << r;
}

TEST_F(MibTest, FailedReadStopsAnOperationWithoutRefresh) {
  auto& sw = Use(24);
  sw.SetMuted(true);
  EXPECT_FALSE(MibAllClear(ctx));
  EXPECT_FALSE(MibAllBytes(ctx));
  EXPECT_FALSE(MibPortClear(ctx, 3));
  sw.SetMuted(false);
  EXPECT_TRUE(sw.WriteLog().empty());
  EXPECT_FALSE(sim.engine.IoOpen());
  EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(MibTest, ConfigRequestSetsTheSharedRowAndComplainsOnlyFromTheButton) {
  Use(24);
  ctx.selectedListRow = 7;
  EXPECT_FALSE(MibConfigRequested(ctx, -1, false));
  EXPECT_EQ(ctx.selectedListRow, -1);
  EXPECT_TRUE(prompt.shown.empty());
  EXPECT_FALSE(MibConfigRequested(ctx, -1, true));
  ASSERT_EQ(prompt.MessageTexts(), std::vector<std::string>({"Please select Port to config!"}));
  EXPECT_EQ(prompt.shown[0].title, "Error");
  EXPECT_TRUE(MibConfigRequested(ctx, 4, true));
  EXPECT_EQ(ctx.selectedListRow, 4);
  sim.Select(-1);
  EXPECT_FALSE(MibConfigRequested(ctx, 4, true));
}

TEST_F(MibTest, DialogReadsTheRowsCodesAndWritesOnlyAChange) {
  auto& sw = Use(24);
  ctx.selectedListRow = 0;  // chip 1: bits 6-11 of 0x0700
  sw.SetRegister(0x0700, 0x3000 | ((1 | 2 << 2 | 3 << 4) << 6) | 0x15);
  MibConfigState state = OpenMibConfig(ctx);
  EXPECT_EQ(state.title, "Port 1 MIB Counter Config");
  EXPECT_EQ(state.chip, 1);
  EXPECT_EQ(state.codes, (std::array<int, 3>{1, 2, 3}));
  EXPECT_EQ(ReadOrder(sw), std::vector<uint16_t>({0x0700}));

  sw.ClearLog();
  EXPECT_TRUE(ApplyMibConfig(ctx, state, state.codes));
  EXPECT_EQ(ReadOrder(sw), std::vector<uint16_t>({0x0700}));
  EXPECT_TRUE(sw.WriteLog().empty());

  EXPECT_TRUE(ApplyMibConfig(ctx, state, {0, 2, 3}));
  EXPECT_EQ(sw.WritesTo(0x0700), std::vector<uint32_t>({0x3000u | ((2 << 2 | 3 << 4) << 6) | 0x15}));
}

TEST_F(MibTest, DialogWithoutSwitchDataWritesNothing) {
  auto& sw = Use(24);
  ctx.selectedListRow = 25;  // G2 does not exist on this model
  MibConfigState state = OpenMibConfig(ctx);
  EXPECT_EQ(state.title, "Port 26 MIB Counter Config");
  EXPECT_EQ(state.codes, (std::array<int, 3>{-1, -1, -1}));
  EXPECT_FALSE(ApplyMibConfig(ctx, state, {0, 0, 0}));

  ctx.selectedListRow = 2;
  sw.SetMuted(true);
  state = OpenMibConfig(ctx);
  EXPECT_FALSE(state.read);
  EXPECT_EQ(state.codes, (std::array<int, 3>{-1, -1, -1}));
  sw.SetMuted(false);
  // Lists without selection leave their bits as read; the one chosen code is written.
  const uint32_t before = sw.Register(0x0701);
  EXPECT_TRUE(ApplyMibConfig(ctx, state, {-1, -1, 3 - MibCode(before, 3, 2)}));
  EXPECT_EQ(sw.Register(0x0701), WithMibCodes(before, 3, {-1, -1, 3 - MibCode(before, 3, 2)}));
  EXPECT_EQ(MibCode(sw.Register(0x0701), 3, 0), MibCode(before, 3, 0));
}

}  // namespace
}  // namespace brisfell::testing
