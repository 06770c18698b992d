#include "pages/ports/trunk_logic.h"

#include "ports_fixture.h"

namespace brisfell::testing {
namespace {

struct TrunkTest : PortsTest {};

TEST_F(TrunkTest, TwentyFourPortModelHasSixGroupsOfFourAscendingPorts) {
  auto& sw = Use(24);
  sw.SetRegister(0x0307, 0x0044);  // groups 2 and 6
  TrunkDialogState state = OpenTrunkDialog(ctx);
  ASSERT_EQ(state.visibleBoxes, 6);
  for (int g = 1; g <= 6; ++g)
    EXPECT_EQ(state.captions[g - 1], Format("Trunk %d (port %d, %d, %d, %d)", g, 4 * g - 3, 4 * g - 2, 4 * g - 1, 4 * g));
  EXPECT_EQ(state.ticked, (std::array<bool, 8>{false, true, false, false, false, true, false, false}));
}

TEST_F(TrunkTest, TwentyFourPortOkKeepsTheBitsOfNoGroup) {
  auto& sw = Use(24);
  sw.SetRegister(0x0307, 0xA2FD);  // bit 0 and bits 7-15 belong to no group
  TrunkDialogState state = OpenTrunkDialog(ctx);
  sw.ClearLog();
  std::array<bool, 8> ticked{};
  ticked[0] = true;
  ticked[7] = true;  // a hidden box plays no part
  EXPECT_TRUE(ApplyTrunkDialog(ctx, state, ticked));
  EXPECT_EQ(ReadOrder(sw), std::vector<uint16_t>({0x0307}));
  EXPECT_EQ(sw.WritesTo(0x0307), std::vector<uint32_t>({0xA283}));
}

TEST_F(TrunkTest, SixteenPortCaptionsFollowThePortMap) {
  Use(16);
  TrunkDialogState state = OpenTrunkDialog(ctx);
  ASSERT_EQ(state.visibleBoxes, 4);
  EXPECT_EQ(state.captions[0], "Trunk 1 (port 7, 8, 15, 16)");
  EXPECT_EQ(state.captions[1], "Trunk 2 (port 5, 6, 13, 14)");
  EXPECT_EQ(state.captions[2], "Trunk 3 (port 3, 4, 11, 12)");
  EXPECT_EQ(state.captions[3], "Trunk 4 (port 1, 2, 9, 10)");
}

TEST_F(TrunkTest, TwentySixPortOkWritesTheBoxesWithoutReading) {
  auto& sw = Use(26);
  sw.SetRegister(0x0307, 0xFF81);
  TrunkDialogState state = OpenTrunkDialog(ctx);
  EXPECT_EQ(state.visibleBoxes, 8);
  EXPECT_EQ(state.captions[0], "Trunk 1 (port 1,2)");
  EXPECT_EQ(state.captions[7], "Trunk 8 (port G1,G2)");
  EXPECT_EQ(state.ticked, (std::array<bool, 8>{true, false, false, false, false, false, false, true}));
  sw.ClearLog();
  std::array<bool, 8> ticked{};
  ticked[2] = true;
  ticked[7] = true;
  EXPECT_TRUE(ApplyTrunkDialog(ctx, state, ticked));
  EXPECT_TRUE(sw.ReadLogWithoutReadBacks().empty());
  EXPECT_EQ(sw.WritesTo(0x0307), std::vector<uint32_t>({0x0084}));
}

TEST_F(TrunkTest, FailedReads) {
  auto& sw = Use(24);
  sw.SetRegister(0x0307, 0x0006);
  sw.SetMuted(true);
  TrunkDialogState state = OpenTrunkDialog(ctx);
  EXPECT_FALSE(state.read);
  EXPECT_EQ(state.ticked, (std::array<bool, 8>{}));
  EXPECT_EQ(state.visibleBoxes, 6);  // the captions need no read
  EXPECT_FALSE(ApplyTrunkDialog(ctx, state, {true}));
  sw.SetMuted(false);
  EXPECT_TRUE(sw.WriteLog().empty());
  EXPECT_FALSE(sim.engine.IoOpen());

  // On the 26-port model the boxes are written even though the opening read failed.
  auto& big = Use(26);
  big.SetMuted(true);
  state = OpenTrunkDialog(ctx);
  big.SetMuted(false);
  EXPECT_EQ(state.ticked, (std::array<bool, 8>{}));
  EXPECT_TRUE(ApplyTrunkDialog(ctx, state, state.ticked));
  EXPECT_EQ(big.WritesTo(0x0307), std::vector<uint32_t>({0}));
}

}  // namespace
}  // namespace brisfell::testing
