// pcap files: the segment's recording and the recording driver, parsed back byte by byte.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "sim/pcap_writer.h"
#include "sim/recording_driver.h"
#include "engine/byte_order.h"
#include "support/sim_fixture.h"
#include "wire.h"

namespace brisfell::sim::test {
namespace {

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::optional<RrcpFrame> Decoded(const std::vector<uint8_t>& f) { return DecodeFrame(f.data(), f.size()); }

TEST(Pcap, SegmentRecordingIsAClassicPcapFile) {
  SimFixture f;
  f.segment.GetFaults().strayIpv4 = 1.0;
  f.DiscoverAndSelect();
  const std::string path = f.tempDir + "/segment.pcap";
  ASSERT_TRUE(f.segment.WritePcap(path));

  const auto bytes = FileBytes(path);
  ASSERT_GE(bytes.size(), 24u);
  const std::vector<uint8_t> header(bytes.begin(), bytes.begin() + 24);
  const std::vector<uint8_t> expected = {0xD4, 0xC3, 0xB2, 0xA1, 2, 0, 4, 0, 0, 0, 0, 0,
                                         0,    0,    0,    0,    0xFF, 0xFF, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(header, expected);

  uint32_t link = 0;
  const auto records = ReadPcapFile(path, &link);
  ASSERT_TRUE(records);
  EXPECT_EQ(link, 1u);
  const auto& rec = f.segment.Recording();
  ASSERT_EQ(records->size(), rec.size());
  for (size_t i = 0; i < rec.size(); ++i) {
    EXPECT_EQ((*records)[i].bytes, rec[i].bytes);
    EXPECT_EQ((*records)[i].timestampUs, rec[i].timeUs);
    EXPECT_EQ((*records)[i].originalLength, rec[i].bytes.size());
  }
  // The broadcast hello first, then five hello replies to each of its repeats, each reply
  // behind its stray IPv4 frame.
  EXPECT_EQ(Decoded((*records)[0].bytes)->opcode, rrcp::kOpHello);
  int replies = 0, ipv4 = 0;
  for (const auto& r : *records) {
    const auto frame = Decoded(r.bytes);
    replies += frame && frame->opcode == rrcp::kOpHelloReply;
    ipv4 += LoadBe16(r.bytes.data() + 12) == 0x0800;
  }
  EXPECT_EQ(replies, 5 * kBroadcastHellos);
  EXPECT_GE(ipv4, 5);
}

TEST(Pcap, WriterCutsAtTheSnapLengthAndReportsFailures) {
  SimFixture f;
  const std::string path = f.tempDir + "/big.pcap";
  PcapWriter writer;
  ASSERT_TRUE(writer.Open(path));
  std::vector<uint8_t> big(70000, 0x5A);
  ASSERT_TRUE(writer.Write(big.data(), big.size(), 3'000'042));
  ASSERT_TRUE(writer.Close());
  const auto records = ReadPcapFile(path);
  ASSERT_TRUE(records);
  ASSERT_EQ(records->size(), 1u);
  EXPECT_EQ((*records)[0].bytes.size(), 65535u);
  EXPECT_EQ((*records)[0].originalLength, 70000u);
  EXPECT_EQ((*records)[0].timestampUs, 3'000'042);

  PcapWriter bad;
  EXPECT_FALSE(bad.Open(f.tempDir + "/no/such/folder/x.pcap"));
  EXPECT_NE(bad.LastError().find("no/such/folder"), std::string::npos);
  EXPECT_FALSE(bad.Write(big.data(), 60, 0));
  EXPECT_FALSE(f.segment.WritePcap(f.tempDir + "/no/such/folder/y.pcap"));

  // A file cut inside a record is not taken for a good one.
  auto bytes = FileBytes(path);
  bytes.resize(24 + 16 + 100);
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes.data()),
                                                                static_cast<std::streamsize>(bytes.size()));
  EXPECT_FALSE(ReadPcapFile(path));
}

TEST(Pcap, RecordingDriverWritesEverythingTheEngineSentAndReceived) {
  VirtualClock clock;
  Segment segment(DefaultScenario(), clock);
  SimFixture paths;  // only for its temporary folder
  const std::string path = paths.tempDir + "/engine.pcap";
  PcapWriter writer;
  ASSERT_TRUE(writer.Open(path));
  RecordingDriver recording(segment, writer, &clock);
  Engine engine(recording, clock);
  engine.SetDatabasePath(paths.DatabasePath());
  ASSERT_EQ(engine.EnumerateAdapters(), 1);
  ASSERT_EQ(engine.DiscoverSwitches(0, false), 5);
  engine.SetCurrentSwitchIndex(0);
  {
    AdapterIo io(engine);
    uint32_t v = 0;
    ASSERT_TRUE(engine.ReadRegister(0, 0x0307, v, kRegisterTimeoutMs));
    engine.WriteRegister(0, 0x0400, 0x0013);
  }
  ASSERT_TRUE(writer.Close());
  EXPECT_TRUE(recording.WriteOk());

  const auto records = ReadPcapFile(path);
  ASSERT_TRUE(records);
  EXPECT_EQ(records->size(), recording.FramesWritten());
  // Every frame that crossed the segment reached the engine here: the file holds the same
  // frames with the same time stamps.
  const auto& rec = segment.Recording();
  ASSERT_EQ(records->size(), rec.size());
  for (size_t i = 0; i < rec.size(); ++i) {
    EXPECT_EQ((*records)[i].bytes, rec[i].bytes) << i;
    EXPECT_EQ((*records)[i].timestampUs, rec[i].timeUs) << i;
  }
  // The write, then the get that reads it back and its answer.
  ASSERT_GE(records->size(), 3u);
  const auto set = Decoded((*records)[records->size() - 3].bytes);
  const auto get = Decoded((*records)[records->size() - 2].bytes);
  const auto reply = Decoded(records->back().bytes);
  ASSERT_TRUE(set && get && reply);
  EXPECT_EQ(set->opcode, rrcp::kOpSet);
  EXPECT_EQ(set->reg, 0x0400);
  EXPECT_EQ(get->opcode, rrcp::kOpGet);
  EXPECT_EQ(get->reg, 0x0400);
  EXPECT_EQ(reply->opcode, rrcp::kOpGetReply);
  EXPECT_EQ(reply->value & 0xFFFF, 0x0013u);
}

}  // namespace
}  // namespace brisfell::sim::test
