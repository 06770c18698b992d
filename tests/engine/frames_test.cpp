#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <random>

#include "engine/frames.h"

namespace brisfell {
namespace {

const Mac kStation = {0x02, 0xB5, 0xF0, 0x00, 0x00, 0x01};
const Mac kSwitchA = {0x02, 0x10, 0x00, 0x00, 0x00, 0xAA};
const Mac kSwitchB = {0x02, 0x10, 0x00, 0x00, 0x00, 0xBB};

TEST(Frames, CommonHeaderAndSizes) {
  for (const Frame& f : {BuildBroadcastHello(kStation), BuildGet(kStation, kSwitchA, {1, 2}, 5),
                         BuildSet(kStation, kSwitchA, {1, 2}, 5, 6)}) {
    EXPECT_EQ(f.size(), 60u);
    EXPECT_EQ(0, std::memcmp(f.data() + 6, kStation.data(), 6)) << "source is the station";
    EXPECT_EQ(f[12], 0x88);
    EXPECT_EQ(f[13], 0x99);
    EXPECT_EQ(f[14], 0x01);
  }
  EXPECT_EQ(BuildBroadcastHello(kStation)[15], 0x00);
  EXPECT_EQ(BuildGet(kStation, kSwitchA, {1, 2}, 5)[15], 0x01);
  EXPECT_EQ(BuildSet(kStation, kSwitchA, {1, 2}, 5, 6)[15], 0x02);
}

TEST(Frames, RegisterAndValueAreLittleEndian) {
  Frame get = BuildGet(kStation, kSwitchA, kDefaultKeyBytes, 0x0217);
  EXPECT_EQ(get[18], 0x17);
  EXPECT_EQ(get[19], 0x02);
  Frame set = BuildSet(kStation, kSwitchA, kDefaultKeyBytes, 0x0217, 0xABCD);
  EXPECT_EQ(set[18], 0x17);
  EXPECT_EQ(set[19], 0x02);
  EXPECT_EQ(set[20], 0xCD);
  EXPECT_EQ(set[21], 0xAB);
  EXPECT_EQ(set[22], 0x00);
  EXPECT_EQ(set[23], 0x00);
}

TEST(Frames, KeyTravelsHighByteFirstAndBroadcastAlwaysDefault) {
  const KeyBytes key = KeyBytesOf(0x1234);
  for (const Frame& f : {BuildDirectedHello(kStation, kSwitchA, key), BuildGet(kStation, kSwitchA, key, 1),
                         BuildSet(kStation, kSwitchA, key, 1, 2)}) {
    EXPECT_EQ(f[16], 0x12);
    EXPECT_EQ(f[17], 0x34);
    EXPECT_EQ(0, std::memcmp(f.data(), kSwitchA.data(), 6));
  }
  Frame b = BuildBroadcastHello(kStation);
  EXPECT_EQ(b[16], 0x5A);
  EXPECT_EQ(b[17], 0x3C);
  EXPECT_EQ(b[18], 0xFF);
  EXPECT_EQ(b[19], 0xFF);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(b[i], 0xFF);
}

// The one codec: every kind decodes to what was encoded, fields of other kinds stay zero, and
// a frame too short for its kind's fields (or of another protocol) is not decoded at all.
TEST(Frames, CodecRoundTripsEveryKindAndRefusesShortFrames) {
  const RrcpFrame base{.destination = kSwitchA, .source = kStation, .key = KeyBytesOf(0x1234)};
  auto with = [&](uint8_t opcode, auto fill) {
    RrcpFrame f = base;
    f.opcode = opcode;
    fill(f);
    return f;
  };
  const struct {
    RrcpFrame frame;
    size_t fieldsLength;
  } cases[] = {
      {with(rrcp::kOpHello, [](RrcpFrame&) {}), 18},
      {with(rrcp::kOpGet, [](RrcpFrame& f) { f.reg = 0x0217; }), 20},
      {with(rrcp::kOpSet, [](RrcpFrame& f) { f.reg = 0x0217, f.value = 0xFEDCBA98; }), 24},
      {with(rrcp::kOpGetReply, [](RrcpFrame& f) { f.reg = 0x070D, f.value = 0x80000001; }), 24},
      {with(rrcp::kOpHelloReply,
            [](RrcpFrame& f) {
              f.downLinkPort = 3, f.upLinkPort = 25, f.upLinkMac = kSwitchB, f.chipId = 0x5988, f.vendorId = 0x6B2D7002;
            }),
       32},
      {with(0x7E, [](RrcpFrame&) {}), 18},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(DescribeFrame(EncodeFrame(c.frame).data(), kFrameSize));
    const Frame bytes = EncodeFrame(c.frame);
    EXPECT_EQ(FieldsLength(c.frame.opcode), c.fieldsLength);
    EXPECT_EQ(DecodeFrame(bytes.data(), bytes.size()), c.frame);
    EXPECT_EQ(DecodeFrame(bytes.data(), c.fieldsLength), c.frame);
    EXPECT_FALSE(DecodeFrame(bytes.data(), c.fieldsLength - 1));
    Frame other = bytes;
    other[14] = 0x02;  // another protocol on the same EtherType
    EXPECT_FALSE(DecodeFrame(other.data(), other.size()));
  }
  const Frame reply = EncodeFrame(cases[3].frame);
  EXPECT_EQ(DescribeFrame(reply.data(), reply.size()),
            "get-reply 02:B5:F0:00:00:01 > 02:10:00:00:00:AA key 0x1234 reg 0x070D value 0x80000001");
  EXPECT_EQ(DescribeFrame(reply.data(), 23), "RRCP opcode 0x81 cut short (23 bytes)");
}

TEST(Frames, HelloReplyRoundTrip) {
  HelloReply r;
  r.source = kSwitchA;
  r.key = {0x5A, 0x3C};
  r.downLinkPort = 15;
  r.upLinkPort = 4;
  r.upLinkMac = kSwitchB;
  r.chipId = 0x5324;
  r.vendorId = 0x6B2D7003;
  Frame f = BuildHelloReply(kStation, r);
  EXPECT_EQ(f[26], 0x24);  // chip id low byte first
  EXPECT_EQ(f[28], 0x03);  // vendor id lowest byte first
  EXPECT_EQ(f[31], 0x6B);
  auto parsed = ParseHelloReply(f.data(), f.size());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->source, kSwitchA);
  EXPECT_EQ(parsed->downLinkPort, 15);
  EXPECT_EQ(parsed->upLinkPort, 4);
  EXPECT_EQ(parsed->upLinkMac, kSwitchB);
  EXPECT_EQ(parsed->chipId, 0x5324);
  EXPECT_EQ(parsed->vendorId, 0x6B2D7003u);
  EXPECT_FALSE(ParseHelloReply(f.data(), 31)) << "too short to hold the vendor id";
}

TEST(Frames, GetReplyFilterMatchesRegisterAndSender) {
  Frame reply = BuildGetReply(kStation, kSwitchA, kDefaultKeyBytes, 0x0209, 0xDEADBEEF);
  EXPECT_EQ(ParseGetReply(reply.data(), reply.size(), 0x0209, kSwitchA), 0xDEADBEEFu);
  EXPECT_FALSE(ParseGetReply(reply.data(), reply.size(), 0x020A, kSwitchA)) << "another register";
  EXPECT_FALSE(ParseGetReply(reply.data(), reply.size(), 0x0209, kSwitchB)) << "another switch's reply";
  EXPECT_FALSE(ParseGetReply(reply.data(), 23, 0x0209, kSwitchA)) << "value not captured";
  Frame get = BuildGet(kSwitchA, kStation, kDefaultKeyBytes, 0x0209);
  EXPECT_FALSE(ParseGetReply(get.data(), get.size(), 0x0209, kSwitchA)) << "a request is not a reply";
}

std::vector<uint8_t> Record(uint32_t captured, uint16_t headerLength, uint8_t fill) {
  std::vector<uint8_t> rec(std::max<size_t>(headerLength, 20), 0);
  std::memcpy(rec.data() + 8, &captured, 4);
  std::memcpy(rec.data() + 12, &captured, 4);
  std::memcpy(rec.data() + 16, &headerLength, 2);
  rec.insert(rec.end(), captured, fill);
  while (rec.size() % 4) rec.push_back(0);
  return rec;
}

TEST(Frames, WalkerRoundsEachRecordUpToFourBytes) {
  std::vector<uint8_t> batch;
  for (auto [len, fill] : {std::pair{60u, 1}, {61u, 2}, {64u, 3}}) {
    auto r = Record(len, 20, static_cast<uint8_t>(fill));
    batch.insert(batch.end(), r.begin(), r.end());
  }
  std::vector<std::pair<size_t, size_t>> seen;
  WalkBatch(batch.data(), batch.size(), [&](const uint8_t* data, size_t length) {
    seen.emplace_back(static_cast<size_t>(data - batch.data()), length);
    return true;
  });
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], (std::pair<size_t, size_t>{20, 60}));
  EXPECT_EQ(seen[1], (std::pair<size_t, size_t>{100, 61}));
  EXPECT_EQ(seen[2], (std::pair<size_t, size_t>{184, 64}));
}

TEST(Frames, MixedBatchYieldsBothHelloReplies) {
  HelloReply a;
  a.source = kSwitchA;
  HelloReply b;
  b.source = kSwitchB;
  Frame ipv4{};
  ipv4[12] = 0x08;
  ipv4[13] = 0x00;
  std::vector<uint8_t> batch;
  Frame fa = BuildHelloReply(kStation, a), fb = BuildHelloReply(kStation, b);
  AppendCaptured(batch, fa.data(), fa.size(), 0);
  AppendCaptured(batch, ipv4.data(), ipv4.size(), 0);
  AppendCaptured(batch, fb.data(), fb.size(), 0);
  std::vector<Mac> found;
  WalkBatch(batch.data(), batch.size(), [&](const uint8_t* d, size_t n) {
    if (auto r = ParseHelloReply(d, n)) found.push_back(r->source);
    return true;
  });
  EXPECT_EQ(found, (std::vector<Mac>{kSwitchA, kSwitchB}));
}

TEST(Frames, FindGetReplySkipsOtherRegistersAndTakesTheLaterMatch) {
  std::vector<uint8_t> batch;
  Frame other = BuildGetReply(kStation, kSwitchA, kDefaultKeyBytes, 0x020A, 1);
  Frame stranger = BuildGetReply(kStation, kSwitchB, kDefaultKeyBytes, 0x0209, 2);
  Frame mine = BuildGetReply(kStation, kSwitchA, kDefaultKeyBytes, 0x0209, 3);
  for (const Frame* f : {&other, &stranger, &mine}) AppendCaptured(batch, f->data(), f->size(), 0);
  EXPECT_EQ(FindGetReply(batch.data(), batch.size(), 0x0209, kSwitchA), 3u);
}

TEST(Frames, MalformedBatchesEndTheWalk) {
  // Header length shorter than the header itself: would never advance.
  auto tiny = Record(60, 4, 0);
  int visits = 0;
  WalkBatch(tiny.data(), tiny.size(), [&](const uint8_t*, size_t) { return ++visits, true; });
  EXPECT_EQ(visits, 0);
  // Captured length running past the received bytes.
  auto longer = Record(60, 20, 0);
  WalkBatch(longer.data(), longer.size() - 8, [&](const uint8_t*, size_t) { return ++visits, true; });
  EXPECT_EQ(visits, 0);
  // A huge captured length must not wrap the offset arithmetic.
  auto huge = Record(0, 20, 0);
  uint32_t big = 0xFFFFFFF0;
  std::memcpy(huge.data() + 8, &big, 4);
  WalkBatch(huge.data(), huge.size(), [&](const uint8_t*, size_t) { return ++visits, true; });
  EXPECT_EQ(visits, 0);
  // A header cut short by the byte count.
  auto good = Record(60, 20, 0);
  WalkBatch(good.data(), 17, [&](const uint8_t*, size_t) { return ++visits, true; });
  EXPECT_EQ(visits, 0);
}

// Random batches through the walker and both filters: nothing may read outside the buffer
// (the sanitizers watch), every visited frame lies inside it, and the walk always ends.
TEST(Frames, RandomBatchesAreHandledSafely) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 3000; ++round) {
    const size_t n = rng() % 600;
    std::vector<uint8_t> buffer(n);
    for (auto& b : buffer) b = static_cast<uint8_t>(rng());
    // Make some records plausible so the walk goes deeper than one header.
    for (size_t off = 0; off + 20 <= n && rng() % 2; off += 80) {
      uint32_t cap = rng() % 90;
      uint16_t hdr = static_cast<uint16_t>(rng() % 3 == 0 ? rng() % 40 : 20);
      std::memcpy(buffer.data() + off + 8, &cap, 4);
      std::memcpy(buffer.data() + off + 16, &hdr, 2);
      if (off + 36 <= n) {
        buffer[off + 32] = 0x88;
        buffer[off + 33] = 0x99;
        buffer[off + 34] = 0x01;
        buffer[off + 35] = rng() % 2 ? 0x80 : 0x81;
      }
    }
    size_t visits = 0;
    WalkBatch(buffer.data(), n, [&](const uint8_t* d, size_t len) {
      EXPECT_GE(d, buffer.data());
      EXPECT_LE(d + len, buffer.data() + n);
      ParseHelloReply(d, len);
      ParseGetReply(d, len, 0x0209, kSwitchA);
      DescribeFrame(d, len);
      return ++visits < 1000;
    });
    EXPECT_LT(visits, 1000u);
  }
}

}  // namespace
}  // namespace brisfell
