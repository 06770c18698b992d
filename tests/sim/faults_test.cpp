// Fault injection: each kind on the wire, and the engine living with it.
#include <gtest/gtest.h>

#include "support/sim_fixture.h"
#include "wire.h"

namespace brisfell::sim::test {
namespace {

bool IsGetReplyFor(const std::vector<uint8_t>& f, uint16_t reg, const Mac& from) {
  return ParseGetReply(f.data(), f.size(), reg, from).has_value();
}

TEST(Faults, DroppedOnTheWayToTheSwitches) {
  Wire wire(ScenarioOf({PlainSwitch(0x6B2D7001)}));
  wire.segment.GetFaults().dropToSwitches = 1.0;
  EXPECT_FALSE(wire.Get(SwitchMac(1), 0x0200));
  wire.Set(SwitchMac(1), 0x0301, 5);
  EXPECT_TRUE(wire.segment.Switch(0).ReadLog().empty());
  EXPECT_TRUE(wire.segment.Switch(0).WriteLog().empty());
  EXPECT_EQ(wire.segment.FramesFromStation(), 2u);  // they did leave the station
}

TEST(Faults, DroppedOnTheWayBack) {
  Wire wire(ScenarioOf({PlainSwitch(0x6B2D7001)}));
  wire.segment.GetFaults().dropToStation = 1.0;
  EXPECT_FALSE(wire.Get(SwitchMac(1), 0x0200));
  EXPECT_EQ(wire.segment.Switch(0).ReadLog().size(), 1u);  // the switch did answer
}

TEST(Faults, DropsFollowTheSeedAndRepeatExactly) {
  auto pattern = [](uint64_t seed) {
    Wire wire(ScenarioOf({PlainSwitch(0x6B2D7001)}));
    wire.segment.GetFaults().seed = seed;
    wire.segment.GetFaults().dropToStation = 0.5;
    std::vector<bool> answered;
    for (int i = 0; i < 200; ++i) answered.push_back(wire.Get(SwitchMac(1), 0x0200).has_value());
    return answered;
  };
  const auto a = pattern(7);
  EXPECT_EQ(a, pattern(7));
  EXPECT_NE(a, pattern(8));
  const auto answered = std::count(a.begin(), a.end(), true);
  EXPECT_GT(answered, 60);
  EXPECT_LT(answered, 140);
}

TEST(Faults, ReplyDelay) {
  SimFixture f(ScenarioOf({PlainSwitch(0x6B2D7001)}));
  ASSERT_EQ(f.DiscoverAndSelect(), 1);
  ASSERT_TRUE(f.engine.OpenAdapterIo(0));
  f.Emulated(0).SetRegister(0x0301, 0x0ABC);
  f.segment.GetFaults().replyDelayUs = 700'000;
  uint32_t v = 0;
  EXPECT_TRUE(f.engine.ReadRegister(0, 0x0301, v, kRegisterTimeoutMs));
  EXPECT_EQ(v, 0x0ABCu);
  f.segment.GetFaults().replyDelayUs = 1'200'000;
  EXPECT_FALSE(f.engine.ReadRegister(0, 0x0301, v, kRegisterTimeoutMs));
  f.engine.CloseAdapterIo(0);
}

TEST(Faults, DuplicatedReplies) {
  Wire wire(ScenarioOf({PlainSwitch(0x6B2D7001)}));
  wire.segment.GetFaults().duplicateReplies = 1.0;
  wire.Send(BuildGet(kStation, SwitchMac(1), kDefaultKeyBytes, 0x030B));
  const auto frames = wire.ReceiveFor(10);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], frames[1]);

  // Discovery counts each switch once.
  SimFixture f;
  f.segment.GetFaults().duplicateReplies = 1.0;
  f.segment.GetFaults().duplicateDelayUs = 3'000;
  EXPECT_EQ(f.DiscoverAndSelect(), 5);
  EXPECT_EQ(f.engine.SwitchCount(), 5);
}

TEST(Faults, StrayFramesArriveWithEachReplyAndAheadOfIt) {
  Wire wire(ScenarioOf({PlainSwitch(0x6B2D7001)}));
  wire.segment.Switch(0).SetRegister(0x0301, 0x1111);
  Faults& faults = wire.segment.GetFaults();
  faults.strayIpv4 = faults.strayOtherRegister = faults.strayOtherMac = faults.strayTruncated = 1.0;
  wire.Send(BuildGet(kStation, SwitchMac(1), kDefaultKeyBytes, 0x0301));
  const auto frames = wire.Receive();
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ(frames[0][12], 0x08);  // IPv4
  EXPECT_EQ(frames[0][13], 0x00);
  EXPECT_TRUE(IsGetReplyFor(frames[1], 0x0302, SwitchMac(1)));
  EXPECT_FALSE(IsGetReplyFor(frames[2], 0x0301, SwitchMac(1)));
  EXPECT_NE(ParseGetReply(frames[2].data(), frames[2].size(), 0x0301, Mac{0x02, 0x0B, 0xF1, 0xEE, 0xEE, 0x01}),
            std::nullopt);
  EXPECT_LT(frames[3].size(), rrcp::kGetReplyMinLength);
  EXPECT_EQ(ParseGetReply(frames[4].data(), frames[4].size(), 0x0301, SwitchMac(1)), 0x1111u);
}

TEST(Faults, EngineReadsThroughStraysAndEchoes) {
  SimFixture f;
  Faults& faults = f.segment.GetFaults();
  faults.strayIpv4 = faults.strayOtherRegister = faults.strayOtherMac = faults.strayTruncated = 1.0;
  faults.echoStationFrames = true;
  ASSERT_EQ(f.DiscoverAndSelect(), 5);
  ASSERT_TRUE(f.engine.OpenAdapterIo(0));
  for (int i = 0; i < f.engine.SwitchCount(); ++i) {
    f.Emulated(i).SetRegister(0x0400, 0x0010 + static_cast<uint32_t>(i));
    uint32_t v = 0;
    ASSERT_TRUE(f.engine.ReadRegister(i, 0x0400, v, kRegisterTimeoutMs));
    EXPECT_EQ(v, 0x0010u + static_cast<uint32_t>(i));
  }
  f.engine.CloseAdapterIo(0);
}

TEST(Faults, MutedSwitch) {
  SimFixture f;
  f.segment.Switch(4).SetMuted(true);  // the gig switch
  EXPECT_EQ(f.DiscoverAndSelect(), 4);
  EXPECT_EQ(f.IndexOfPortCount(26), -1);
  EXPECT_NE(f.IndexOfVendor(0x6B2D7004), -1) << "switches behind a muted one are still reached";
}

TEST(Faults, HeldBackReplyIsAskedAgainAndNeverTakenForALaterRead) {
  SimFixture f(ScenarioOf({PlainSwitch(0x6B2D7001)}));
  ASSERT_EQ(f.DiscoverAndSelect(), 1);
  EmulatedSwitch& sw = f.Emulated(0);
  sw.SetRegister(0x0301, 0x00AA);
  f.segment.GetFaults().lateNextReply = true;
  ASSERT_TRUE(f.engine.OpenAdapterIo(0));
  uint32_t v = 0;
  // The held-back answer is not waited for: the get is asked again and that answer taken.
  ASSERT_TRUE(f.engine.ReadRegister(0, 0x0301, v, kRegisterTimeoutMs));
  EXPECT_EQ(v, 0x00AAu);
  EXPECT_FALSE(f.segment.GetFaults().lateNextReply) << "one-off";
  sw.SetRegister(0x0301, 0x00BB);
  // The fresh answer comes first; the stale one is still on its way and never taken for it.
  ASSERT_TRUE(f.engine.ReadRegister(0, 0x0301, v, kRegisterTimeoutMs));
  EXPECT_EQ(v, 0x00BBu);
  EXPECT_EQ(f.segment.FramesInFlight(), 1u);
  f.engine.CloseAdapterIo(0);

  Wire wire(ScenarioOf({PlainSwitch(0x6B2D7001)}));
  wire.segment.Switch(0).SetRegister(0x0301, 0x00AA);
  wire.segment.GetFaults().lateNextReply = true;
  wire.Send(BuildGet(kStation, SwitchMac(1), kDefaultKeyBytes, 0x0301));
  EXPECT_TRUE(wire.ReceiveFor(1000).empty());
  wire.segment.Switch(0).SetRegister(0x0301, 0x00BB);
  const auto late = wire.ReceiveFor(600);
  ASSERT_EQ(late.size(), 1u);
  EXPECT_EQ(ParseGetReply(late[0].data(), late[0].size(), 0x0301, SwitchMac(1)), 0x00AAu);
}

}  // namespace
}  // namespace brisfell::sim::test
