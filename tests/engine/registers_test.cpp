#include <gtest/gtest.h>

#include <map>

#include "engine/engine.h"
#include "fake_driver.h"

namespace brisfell {
namespace {

using testing::FakeDriver;
using testing::ManualClock;
using testing::ToVector;

uint16_t Reg(const std::vector<uint8_t>& f) { return static_cast<uint16_t>(f[18] | f[19] << 8); }
uint32_t Value(const std::vector<uint8_t>& f) {
  return static_cast<uint32_t>(f[20] | f[21] << 8 | f[22] << 16 | f[23] << 24);
}

// One switch answering hellos and gets from a register map; the EEPROM control register
// answers from a script of values.
struct Rig {
  ManualClock clock;
  FakeDriver driver{clock};
  Engine engine{driver, clock};
  Mac mac = {0x02, 0x10, 0, 0, 0, 0x01};
  uint32_t vendor = 0x6B2D7002;
  std::map<uint16_t, uint32_t> regs;
  std::deque<uint32_t> controlScript;  // successive reads of 0x0217
  bool answersGets = true;
  int64_t replyDelayUs = 200;

  Rig() {
    driver.respond = [this](const std::vector<uint8_t>& f) {
      std::vector<std::pair<int64_t, std::vector<uint8_t>>> out;
      if (f[15] == rrcp::kOpHello) {
        HelloReply r;
        r.source = mac;
        r.key = kDefaultKeyBytes;
        r.vendorId = vendor;
        out.emplace_back(replyDelayUs, ToVector(BuildHelloReply(driver.station, r)));
      } else if (f[15] == rrcp::kOpGet && answersGets) {
        uint32_t v = regs[Reg(f)];
        if (Reg(f) == kRegEepromControl && !controlScript.empty()) {
          v = controlScript.front();
          controlScript.pop_front();
        }
        out.emplace_back(replyDelayUs, ToVector(BuildGetReply(driver.station, mac, kDefaultKeyBytes, Reg(f), v)));
      } else if (f[15] == rrcp::kOpSet) {
        regs[Reg(f)] = Value(f);
      }
      return out;
    };
    engine.EnumerateAdapters();
    EXPECT_EQ(engine.DiscoverSwitches(0, false), 1);
    engine.SetCurrentSwitchIndex(0);
    driver.sent.clear();
  }

  // The register writes (set frames) sent since the last clear, in order.
  std::vector<std::pair<uint16_t, uint32_t>> Sets() const {
    std::vector<std::pair<uint16_t, uint32_t>> out;
    for (const auto& f : driver.sent)
      if (f[15] == rrcp::kOpSet) out.emplace_back(Reg(f), Value(f));
    return out;
  }
};

TEST(Registers, NothingWithoutTheIoHandle) {
  Rig rig;
  uint32_t v = 0;
  uint8_t b = 0;
  EXPECT_FALSE(rig.engine.ReadRegister(0, 0x0100, v, 1000));
  EXPECT_FALSE(rig.engine.WriteRegister(0, 0x0100, 1));
  EXPECT_FALSE(rig.engine.ReadEepromByte(0, 26, b, 3000));
  EXPECT_FALSE(rig.engine.WriteEepromByte(0, 12, 1, 3000));
  EXPECT_TRUE(rig.driver.sent.empty());
}

TEST(Registers, ReadTakesTheReplyForItsRegisterOnly) {
  Rig rig;
  AdapterIo io(rig.engine);
  rig.regs[0x0209] = 0x1234;
  // A reply for 0x020A arrives in the same batch first; it must be passed over.
  rig.driver.respond = [&, inner = rig.driver.respond](const std::vector<uint8_t>& f) {
    auto out = inner(f);
    out.insert(out.begin(), {0, ToVector(BuildGetReply(rig.driver.station, rig.mac, kDefaultKeyBytes, 0x020A, 7))});
    return out;
  };
  uint32_t v = 0;
  ASSERT_TRUE(rig.engine.ReadRegister(0, 0x0209, v, 1000));
  EXPECT_EQ(v, 0x1234u);
  EXPECT_EQ(rig.driver.readTimeouts.back(), 500) << "each read sets the 500 ms receive wait";
}

TEST(Registers, ReplyFromAnotherSwitchIsNeverTaken) {
  Rig rig;
  AdapterIo io(rig.engine);
  rig.answersGets = false;
  const Mac other = {0x02, 0x99, 0, 0, 0, 0x99};
  rig.driver.respond = [&](const std::vector<uint8_t>& f) {
    std::vector<std::pair<int64_t, std::vector<uint8_t>>> out;
    out.emplace_back(0, ToVector(BuildGetReply(rig.driver.station, other, kDefaultKeyBytes, Reg(f), 0xBAD)));
    return out;
  };
  uint32_t v = 0;
  EXPECT_FALSE(rig.engine.ReadRegister(0, 0x0209, v, 1000));
}

TEST(Registers, SilentSwitchCostsExactlyTheTimeout) {
  Rig rig;
  AdapterIo io(rig.engine);
  rig.answersGets = false;
  uint32_t v = 0;
  const int64_t start = rig.clock.NowUs();
  EXPECT_FALSE(rig.engine.ReadRegister(0, 0x0100, v, 1000));
  EXPECT_EQ(rig.clock.NowUs() - start, 1'000'000) << "the last wait is cut short at the time-out";
  const int64_t start2 = rig.clock.NowUs();
  EXPECT_FALSE(rig.engine.ReadRegister(0, 0x0100, v, 700));
  EXPECT_EQ(rig.clock.NowUs() - start2, 700'000);
}

TEST(Registers, AStaleReplyWaitingBeforeTheRequestIsDropped) {
  Rig rig;
  AdapterIo io(rig.engine);
  // A late answer to an earlier read of the same register is already waiting.
  rig.driver.Deliver(ToVector(BuildGetReply(rig.driver.station, rig.mac, kDefaultKeyBytes, 0x0100, 0x0BAD)));
  rig.regs[0x0100] = 0x0600;
  uint32_t v = 0;
  ASSERT_TRUE(rig.engine.ReadRegister(0, 0x0100, v, 1000));
  EXPECT_EQ(v, 0x0600u);
  EXPECT_GE(rig.driver.discards, 1);
}

TEST(Registers, WriteIsNotAcknowledged) {
  Rig rig;
  AdapterIo io(rig.engine);
  rig.driver.respond = nullptr;  // unplugged
  EXPECT_TRUE(rig.engine.WriteRegister(0, 0x0607, 0x12));
  ASSERT_EQ(rig.Sets().size(), 1u);
  EXPECT_EQ(rig.Sets()[0], (std::pair<uint16_t, uint32_t>{0x0607, 0x12}));
}

TEST(Eeprom, ReadIssuesTheReadCommandAndTakesTheHighByte) {
  Rig rig;
  AdapterIo io(rig.engine);
  rig.regs[kRegEepromData] = 0xAB00;
  uint8_t b = 0;
  ASSERT_TRUE(rig.engine.ReadEepromByte(0, 26, b, 3000));
  EXPECT_EQ(b, 0xAB);
  ASSERT_FALSE(rig.Sets().empty());
  EXPECT_EQ(rig.Sets()[0], (std::pair<uint16_t, uint32_t>{0x0217, 0x081A}));
}

TEST(Eeprom, WriteSendsDataThenCommand) {
  Rig rig;
  AdapterIo io(rig.engine);
  ASSERT_TRUE(rig.engine.WriteEepromByte(0, 12, 0x01, 3000));
  auto sets = rig.Sets();
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0], (std::pair<uint16_t, uint32_t>{0x0218, 0x0001}));
  EXPECT_EQ(sets[1], (std::pair<uint16_t, uint32_t>{0x0217, 0x000C}));
}

TEST(Eeprom, BusyPollsEveryFiveMillisecondsAndFailedReissues) {
  Rig rig;
  AdapterIo io(rig.engine);
  rig.replyDelayUs = 0;
  // busy, busy, done-but-failed, then busy, done.
  rig.controlScript = {0x1000, 0x1000, 0x2000, 0x1000, 0x0000};
  const int64_t sleptBefore = rig.clock.slept;
  ASSERT_TRUE(rig.engine.WriteEepromByte(0, 12, 0x03, 3000));
  auto sets = rig.Sets();
  ASSERT_EQ(sets.size(), 4u) << "data and command written twice";
  EXPECT_EQ(sets[2].first, 0x0218);
  EXPECT_EQ(sets[3].first, 0x0217);
  // Four pauses of 5 ms: two busy polls, the re-issue, one more busy poll.
  EXPECT_EQ(rig.clock.slept - sleptBefore, 4 * 5000);
}

TEST(Eeprom, StaysBusyUntilTheTimeout) {
  Rig rig;
  AdapterIo io(rig.engine);
  rig.replyDelayUs = 0;
  rig.controlScript = std::deque<uint32_t>(5000, 0x1000);
  uint8_t b = 0;
  const int64_t start = rig.clock.NowUs();
  EXPECT_FALSE(rig.engine.ReadEepromByte(0, 26, b, 3000));
  EXPECT_GE(rig.clock.NowUs() - start, 3'000'000);
  EXPECT_LT(rig.clock.NowUs() - start, 3'010'000);
}

TEST(Eeprom, FailsWhenTheControlRegisterCannotBeRead) {
  Rig rig;
  AdapterIo io(rig.engine);
  rig.answersGets = false;
  uint8_t b = 0;
  EXPECT_FALSE(rig.engine.ReadEepromByte(0, 26, b, 3000));
  EXPECT_EQ(rig.Sets().size(), 1u) << "only the command was written";
}

}  // namespace
}  // namespace brisfell
