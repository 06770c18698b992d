// The segment as a packet driver: adapter listing and opening, batches with capture headers,
// read time-outs on virtual time, and what DiscardPending and closed handles drop.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/byte_order.h"
#include "support/sim_fixture.h"
#include "wire.h"

namespace brisfell::sim::test {
namespace {


TEST(SegmentDriver, ListsOneAdapterInEitherNameFormat) {
  VirtualClock clock;
  Segment segment(ScenarioOf({PlainSwitch(0x6B2D7001)}), clock);
  EXPECT_EQ(segment.GetVersion().substr(0, 3), "4.1");
  const std::string description = "Brisfell emulated segment (1 switch)";
  EXPECT_EQ(segment.AdapterDescriptionText(), description);

  std::vector<uint8_t> narrow(8192, 0xAA);
  ASSERT_TRUE(segment.GetAdapterNames(narrow.data(), 8192, false));
  const std::string expected8 = std::string("brisfell-sim0") + '\0' + '\0' + description + '\0';
  EXPECT_EQ(std::string(narrow.begin(), narrow.begin() + static_cast<long>(expected8.size())), expected8);

  std::vector<uint8_t> wide(16384, 0xAA);
  ASSERT_TRUE(segment.GetAdapterNames(wide.data(), 16384, true));
  std::vector<uint8_t> expected16;
  for (char c : std::string("brisfell-sim0")) expected16.insert(expected16.end(), {static_cast<uint8_t>(c), 0});
  expected16.insert(expected16.end(), {0, 0, 0, 0});
  expected16.insert(expected16.end(), description.begin(), description.end());
  expected16.push_back(0);
  EXPECT_EQ(std::vector<uint8_t>(wide.begin(), wide.begin() + static_cast<long>(expected16.size())), expected16);
  // The wide name opens the adapter as it was listed.
  auto handle = segment.OpenAdapter(wide.data(), true);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(segment.OpenAdapterCount(), 1);
  segment.CloseAdapter(std::move(handle));
  EXPECT_EQ(segment.OpenAdapterCount(), 0);

  std::vector<uint8_t> tiny(10);
  EXPECT_FALSE(segment.GetAdapterNames(tiny.data(), 10, false));
  EXPECT_FALSE(segment.LastError().empty());
  const uint8_t other[] = "eth0";
  EXPECT_EQ(segment.OpenAdapter(other, false), nullptr);
  EXPECT_NE(segment.LastError().find("eth0"), std::string::npos);
}

TEST(SegmentDriver, AdapterQueries) {
  Wire wire(ScenarioOf({PlainSwitch(0x6B2D7001)}));
  uint32_t link = 99;
  ASSERT_TRUE(wire.segment.GetNetType(*wire.handle, link));
  EXPECT_EQ(link, driver::kLinkTypeEthernet);
  Mac station{};
  ASSERT_TRUE(wire.segment.Request(*wire.handle, driver::kOidStationAddress, station.data(), 6));
  EXPECT_EQ(station, kStation);
  uint8_t other[4] = {1, 2, 3, 4};
  EXPECT_TRUE(wire.segment.Request(*wire.handle, 0x00010101, other, 4));
  EXPECT_TRUE(wire.segment.SetHwFilter(*wire.handle, driver::kHwFilterAllLocal));
  EXPECT_TRUE(wire.segment.SetBuff(*wire.handle, driver::kKernelBuffer));
  // A handle of another segment is refused.
  VirtualClock clock;
  Segment other2(ScenarioOf({}), clock);
  EXPECT_FALSE(other2.GetNetType(*wire.handle, link));
}

TEST(SegmentDriver, BatchesCarryCaptureHeadersAndTheReadTimeOutRunsOnTheClock) {
  Wire wire(ScenarioOf({PlainSwitch(0x6B2D7001)}));
  wire.segment.SetReadTimeout(*wire.handle, 500);
  const int64_t start = wire.clock.NowUs();
  std::vector<uint8_t> buffer(4096);
  Packet p;
  InitPacket(p, buffer.data(), 4096);
  ASSERT_TRUE(wire.segment.ReceivePacket(*wire.handle, p));
  EXPECT_EQ(p.bytesReceived, 0u);
  EXPECT_EQ(wire.clock.NowUs() - start, 500'000) << "nothing due: the whole time-out";

  wire.Send(BuildBroadcastHello(kStation));
  const int64_t sent = wire.clock.NowUs();
  ASSERT_TRUE(wire.segment.ReceivePacket(*wire.handle, p));
  ASSERT_EQ(p.bytesReceived, 80u);  // 20-byte header and the 60-byte frame
  const int64_t arrival = wire.clock.NowUs();
  EXPECT_GT(arrival, sent);
  EXPECT_LT(arrival - sent, 1000) << "returns when the reply arrives";
  EXPECT_EQ(static_cast<int64_t>(LoadLe32(&buffer[0])) * 1'000'000 + LoadLe32(&buffer[4]), arrival);
  EXPECT_EQ(LoadLe32(&buffer[8]), 60u);
  EXPECT_EQ(LoadLe32(&buffer[12]), 60u);
  EXPECT_EQ(LoadLe16(&buffer[16]), 20);
  EXPECT_TRUE(ParseHelloReply(&buffer[20], 60));
}

TEST(SegmentDriver, ArrivedFramesComeInOneBatchAndOnlyWhatFits) {
  std::vector<SwitchSetup> setups;
  for (int n = 1; n <= 3; ++n) setups.push_back(PlainSwitch(0x6B2D7001, n));
  Wire wire(ScenarioOf(setups));
  wire.Send(BuildBroadcastHello(kStation));
  wire.clock.Advance(5'000);
  std::vector<uint8_t> buffer(170);
  Packet p;
  InitPacket(p, buffer.data(), 170);  // room for two captured frames
  ASSERT_TRUE(wire.segment.ReceivePacket(*wire.handle, p));
  auto frames = Frames(buffer.data(), p.bytesReceived);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(ParseHelloReply(frames[0].data(), 60)->source, SwitchMac(1));
  EXPECT_EQ(ParseHelloReply(frames[1].data(), 60)->source, SwitchMac(2));
  ASSERT_TRUE(wire.segment.ReceivePacket(*wire.handle, p));
  frames = Frames(buffer.data(), p.bytesReceived);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(ParseHelloReply(frames[0].data(), 60)->source, SwitchMac(3));

  InitPacket(p, buffer.data(), 40);  // smaller than one frame
  wire.Send(BuildBroadcastHello(kStation));
  EXPECT_FALSE(wire.segment.ReceivePacket(*wire.handle, p));
}

TEST(SegmentDriver, DiscardDropsWhatArrivedButNotWhatIsOnItsWay) {
  Wire wire(ScenarioOf({PlainSwitch(0x6B2D7001)}));
  wire.Send(BuildGet(kStation, SwitchMac(1), kDefaultKeyBytes, 0x0200));
  wire.clock.Advance(1'000);
  wire.segment.GetFaults().replyDelayUs = 50'000;
  wire.Send(BuildGet(kStation, SwitchMac(1), kDefaultKeyBytes, 0x0201));
  wire.segment.DiscardPending(*wire.handle);
  const auto frames = wire.ReceiveFor(100);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(ParseGetReply(frames[0].data(), frames[0].size(), 0x0201, SwitchMac(1)));
}

TEST(SegmentDriver, AHandleGetsOnlyWhatArrivesWhileItIsOpen) {
  Wire wire(ScenarioOf({PlainSwitch(0x6B2D7001)}));
  const uint8_t* name = reinterpret_cast<const uint8_t*>(Segment::kAdapterName);
  wire.Send(BuildBroadcastHello(kStation));
  wire.segment.GetFaults().replyDelayUs = 10'000;
  wire.Send(BuildGet(kStation, SwitchMac(1), kDefaultKeyBytes, 0x0200));
  wire.clock.Advance(1'000);  // the hello reply has arrived, the get reply has not
  auto late = wire.segment.OpenAdapter(name, false);
  wire.segment.SetReadTimeout(*late, 50);
  std::vector<uint8_t> buffer(4096);
  Packet p;
  InitPacket(p, buffer.data(), 4096);
  ASSERT_TRUE(wire.segment.ReceivePacket(*late, p));
  const auto frames = Frames(buffer.data(), p.bytesReceived);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(ParseGetReply(frames[0].data(), frames[0].size(), 0x0200, SwitchMac(1)));
  EXPECT_EQ(wire.Receive().size(), 2u) << "the first handle has both";

  // Frames arriving while no handle is open are lost.
  wire.segment.CloseAdapter(std::move(late));
  wire.segment.CloseAdapter(std::move(wire.handle));
  wire.segment.GetFaults().replyDelayUs = 0;
  auto sender = wire.segment.OpenAdapter(name, false);
  Frame hello = BuildBroadcastHello(kStation);
  InitPacket(p, hello.data(), 60);
  wire.segment.SendPacket(*sender, p);
  wire.segment.CloseAdapter(std::move(sender));
  wire.clock.Advance(1'000);
  auto reopened = wire.segment.OpenAdapter(name, false);
  wire.segment.SetReadTimeout(*reopened, 20);
  InitPacket(p, buffer.data(), 4096);
  ASSERT_TRUE(wire.segment.ReceivePacket(*reopened, p));
  EXPECT_EQ(p.bytesReceived, 0u);
}

TEST(SegmentDriver, RefusesBadFramesAndOutlivingHandles) {
  auto clock = std::make_unique<VirtualClock>();
  auto segment = std::make_unique<Segment>(ScenarioOf({PlainSwitch(0x6B2D7001)}), *clock);
  auto handle = segment->OpenAdapter(reinterpret_cast<const uint8_t*>(Segment::kAdapterName), false);
  uint8_t shortFrame[10] = {};
  Packet p;
  InitPacket(p, shortFrame, 10);
  EXPECT_FALSE(segment->SendPacket(*handle, p));
  std::vector<uint8_t> jumbo(2000);
  InitPacket(p, jumbo.data(), 2000);
  EXPECT_FALSE(segment->SendPacket(*handle, p));
  segment.reset();  // a handle may outlive its segment without harm
  handle.reset();
}

TEST(SegmentDriver, EngineClosesEveryHandleAndRecordsWhatCrossedTheWire) {
  SimFixture f;
  f.DiscoverAndSelect();
  {
    AdapterIo io(f.engine);
    ASSERT_TRUE(io.ok());
    EXPECT_EQ(f.segment.OpenAdapterCount(), 1);
    uint32_t v = 0;
    ASSERT_TRUE(f.engine.ReadRegister(0, 0x0209, v, kRegisterTimeoutMs));
    EXPECT_EQ(v, kDefaultAuthKey);
  }
  EXPECT_EQ(f.segment.OpenAdapterCount(), 0);
  const auto& rec = f.segment.Recording();
  ASSERT_FALSE(rec.empty());
  EXPECT_EQ(rec.front().direction, RecordedFrame::Direction::FromStation);
  Mac first{};
  std::memcpy(first.data(), rec.front().bytes.data(), 6);
  EXPECT_EQ(first, kBroadcastMac);
  for (size_t i = 1; i < rec.size(); ++i) EXPECT_LE(rec[i - 1].timeUs, rec[i].timeUs);
  // The broadcast hello and its repeats; four EEPROM byte reads (a command, then two polls
  // asking control and data together) for each of the two switches with another maker code;
  // the last read.
  EXPECT_EQ(f.segment.FramesFromStation(), static_cast<size_t>(kBroadcastHellos) + 2 * 4 * (1 + 2 * 2) + 1);
  f.segment.ClearRecording();
  EXPECT_EQ(f.segment.FramesFromStation(), 0u);
}

}  // namespace
}  // namespace brisfell::sim::test
