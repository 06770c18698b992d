#include <gtest/gtest.h>

#include <map>
#include <set>

#include "engine/engine.h"
#include "fake_driver.h"

namespace brisfell {
namespace {

using testing::FakeDriver;
using testing::ManualClock;
using testing::ToVector;

RrcpFrame Decoded(const std::vector<uint8_t>& bytes) { return DecodeFrame(bytes.data(), bytes.size()).value(); }

// One switch answering hellos and gets from a register map, with a small EEPROM behind the
// control and data registers (a command completes as soon as it is written); the control
// register can instead answer from a script of values. Frames can be lost either way.
struct Rig {
  ManualClock clock;
  FakeDriver driver{clock};
  Engine engine{driver, clock};
  Mac mac = {0x02, 0x10, 0, 0, 0, 0x01};
  uint32_t vendor = 0x6B2D7002;
  std::map<uint16_t, uint32_t> regs;
  std::map<uint16_t, uint8_t> eeprom;
  std::deque<uint32_t> controlScript;  // successive reads of 0x0217
  bool answersGets = true;
  int64_t replyDelayUs = 200;
  // Ordinals (from 0, counted since the last ClearSent) of the frames the station sends that
  // are lost, and of the get replies that are lost on the way back.
  std::set<int> lostSent, lostReplies;
  int sentCount = 0, replyCount = 0;

  Rig() {
    driver.respond = [this](const std::vector<uint8_t>& bytes) {
      std::vector<std::pair<int64_t, std::vector<uint8_t>>> out;
      if (lostSent.count(sentCount++)) return out;
      const RrcpFrame f = Decoded(bytes);
      if (f.opcode == rrcp::kOpHello) {
        HelloReply r;
        r.source = mac;
        r.key = kDefaultKeyBytes;
        r.vendorId = vendor;
        out.emplace_back(replyDelayUs, ToVector(BuildHelloReply(driver.station, r)));
      } else if (f.opcode == rrcp::kOpGet && answersGets) {
        uint32_t v = regs[f.reg];
        if (f.reg == kRegEepromControl && !controlScript.empty()) {
          v = controlScript.front();
          controlScript.pop_front();
        }
        if (!lostReplies.count(replyCount++))
          out.emplace_back(replyDelayUs, ToVector(BuildGetReply(driver.station, mac, kDefaultKeyBytes, f.reg, v)));
      } else if (f.opcode == rrcp::kOpSet) {
        regs[f.reg] = f.value;
        if (f.reg == kRegEepromControl) {
          const uint16_t address = f.value & kEepromAddressMask;
          if (f.value & kEepromReadCommand)
            regs[kRegEepromData] = reg_bit::kEepromByteRead.With(regs[kRegEepromData], eeprom[address]);
          else
            eeprom[address] = static_cast<uint8_t>(reg_bit::kEepromByteToWrite.Get(regs[kRegEepromData]));
        }
      }
      return out;
    };
    engine.EnumerateAdapters();
    EXPECT_EQ(engine.DiscoverSwitches(0, false), 1);
    engine.SetCurrentSwitchIndex(0);
    ClearSent();
  }

  void ClearSent() {
    driver.sent.clear();
    driver.sentAt.clear();
    sentCount = replyCount = 0;
  }

  // The register writes (set frames) sent since the last clear, in order.
  std::vector<std::pair<uint16_t, uint32_t>> Sets() const {
    std::vector<std::pair<uint16_t, uint32_t>> out;
    for (const auto& bytes : driver.sent)
      if (const RrcpFrame f = Decoded(bytes); f.opcode == rrcp::kOpSet) out.emplace_back(f.reg, f.value);
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
}

TEST(Registers, ReplyFromAnotherSwitchIsNeverTaken) {
  Rig rig;
  AdapterIo io(rig.engine);
  rig.answersGets = false;
  const Mac other = {0x02, 0x99, 0, 0, 0, 0x99};
  rig.driver.respond = [&](const std::vector<uint8_t>& f) {
    std::vector<std::pair<int64_t, std::vector<uint8_t>>> out;
    out.emplace_back(0, ToVector(BuildGetReply(rig.driver.station, other, kDefaultKeyBytes, Decoded(f).reg, 0xBAD)));
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

// A plain setting is read back and sent again until the switch holds it; a register the chip
// owns (here the reset command) cannot be read back and counts as written once sent.
TEST(Registers, WritesAreReadBackUnlessTheChipOwnsTheRegister) {
  Rig rig;
  AdapterIo io(rig.engine);
  rig.lostSent = {0};  // the first set
  EXPECT_TRUE(rig.engine.WriteRegister(0, 0x0607, 0x12));
  EXPECT_EQ(rig.Sets(), (std::vector<std::pair<uint16_t, uint32_t>>{{0x0607, 0x12}, {0x0607, 0x12}}));
  EXPECT_EQ(rig.regs[0x0607], 0x12u);

  rig.ClearSent();
  rig.driver.respond = nullptr;  // unplugged
  const int64_t start = rig.clock.NowUs();
  EXPECT_FALSE(rig.engine.WriteRegister(0, 0x0607, 0x13));
  EXPECT_EQ(rig.clock.NowUs() - start, 1'000'000) << "within the time-out of one read";
  EXPECT_NE(rig.engine.LastFailure().find("register 0x0607 of 02:10:00:00:00:01 (TGR7724) was written but could not be read back"),
            std::string::npos)
      << rig.engine.LastFailure();
  rig.ClearSent();
  EXPECT_TRUE(rig.engine.WriteRegister(0, kRegReset, kSoftResetCommand));
  EXPECT_EQ(rig.driver.sent.size(), 1u) << "no get follows";
}

// A switch that keeps another value: the set goes out again until the time-out, then the
// failure says what the switch holds.
TEST(Registers, AWriteTheSwitchDoesNotTakeFails) {
  Rig rig;
  AdapterIo io(rig.engine);
  rig.regs[0x0400] = 0x0010;
  rig.driver.respond = [&, inner = rig.driver.respond](const std::vector<uint8_t>& f) {
    if (Decoded(f).opcode == rrcp::kOpSet) return std::vector<std::pair<int64_t, std::vector<uint8_t>>>{};  // dropped by the chip
    return inner(f);
  };
  EXPECT_FALSE(rig.engine.WriteRegister(0, 0x0400, 0x0013));
  EXPECT_GT(rig.Sets().size(), 3u);
  EXPECT_NE(rig.engine.LastFailure().find("(TGR7724) holds 0x0010 in register 0x0400 after"), std::string::npos)
      << rig.engine.LastFailure();
}

TEST(Registers, SendFailuresAreReported) {
  Rig rig;
  AdapterIo io(rig.engine);
  rig.driver.sendFails = true;
  uint32_t v = 0;
  EXPECT_FALSE(rig.engine.ReadRegister(0, 0x0100, v));
  EXPECT_EQ(rig.engine.LastFailure(), "could not send to 02:10:00:00:00:01 (TGR7724): fake0: send failed: No such device");
  EXPECT_FALSE(rig.engine.WriteRegister(0, kRegReset, kSoftResetCommand));
  EXPECT_NE(rig.engine.LastFailure().find("No such device"), std::string::npos);
}

// ---------------------------------------------------------------- asking again

// The gets of one register on a wire that loses every frame: the first re-ask after the
// initial time-out (nothing measured yet), then after the time-out taken from the measured
// round trip, doubled each time up to the ceiling, until the operation's time-out.
TEST(Link, ReAskTimingFollowsTheMeasuredRoundTrip) {
  Rig rig;
  AdapterIo io(rig.engine);
  auto sendTimes = [&](uint16_t reg) {
    std::vector<int64_t> times;
    for (size_t i = 0; i < rig.driver.sent.size(); ++i)
      if (Decoded(rig.driver.sent[i]).opcode == rrcp::kOpGet && Decoded(rig.driver.sent[i]).reg == reg) times.push_back(rig.driver.sentAt[i]);
    return times;
  };
  rig.answersGets = false;
  uint32_t v = 0;
  int64_t start = rig.clock.NowUs();
  EXPECT_FALSE(rig.engine.ReadRegister(0, 0x0100, v));
  std::vector<int64_t> t = sendTimes(0x0100);
  ASSERT_GE(t.size(), 3u);
  EXPECT_EQ(t[0], start);
  EXPECT_EQ(t[1] - t[0], kRetransmitInitialMs * 1000);
  EXPECT_EQ(t[2] - t[1], 2 * kRetransmitInitialMs * 1000);
  for (size_t i = 2; i + 1 < t.size(); ++i) EXPECT_EQ(t[i + 1] - t[i], std::min<int64_t>(2 * (t[i] - t[i - 1]), kRetransmitCeilingMs * 1000));
  EXPECT_EQ(rig.engine.LastFailure(), Format("no answer from 02:10:00:00:00:01 (TGR7724) for register 0x0100 after %zu tries in 1000 ms", t.size()));

  // Measured: 200 us round trips put the time-out at the floor.
  rig.answersGets = true;
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(rig.engine.ReadRegister(0, 0x0100, v));
  EXPECT_EQ(rig.engine.RetransmitTimeoutUs(), kRetransmitFloorMs * 1000);
  // The last get of a read is asked again after twice the round trip, once; then after the
  // time-out, doubled for the second re-ask.
  rig.ClearSent();
  rig.lostSent = {0, 1};
  start = rig.clock.NowUs();
  ASSERT_TRUE(rig.engine.ReadRegister(0, 0x0100, v));
  t = sendTimes(0x0100);
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[1] - t[0], 2 * rig.replyDelayUs);
  EXPECT_EQ(t[2] - t[1], 2 * kRetransmitFloorMs * 1000);
  EXPECT_EQ(rig.clock.NowUs() - start, t[2] - t[0] + rig.replyDelayUs);

  // Replies slower than the time-out: it grows to the ceiling within a few reads.
  rig.replyDelayUs = 400'000;
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(rig.engine.ReadRegister(0, 0x0100, v));
  EXPECT_EQ(rig.engine.RetransmitTimeoutUs(), kRetransmitCeilingMs * 1000);
  LinkSettings two;
  two.tries = 2;
  rig.engine.SetLinkSettings(two);
  rig.answersGets = false;
  rig.ClearSent();
  EXPECT_FALSE(rig.engine.ReadRegister(0, 0x0100, v));
  EXPECT_EQ(sendTimes(0x0100).size(), 2u);
  EXPECT_NE(rig.engine.LastFailure().find("after 2 tries in 1000 ms"), std::string::npos);
}

// Eight gets go out before the first answer; a get lost in the middle is asked again as soon
// as the answers to two later gets have come, long before its time-out.
TEST(Link, BatchKeepsAWindowInFlightAndFillsItsHoles) {
  Rig rig;
  AdapterIo io(rig.engine);
  std::vector<uint16_t> regs;
  for (uint16_t r = 0x0700; r < 0x0700 + 30; ++r) {
    regs.push_back(r);
    rig.regs[r] = 0x1000u + r;
  }
  rig.lostReplies = {3};
  std::map<uint16_t, uint32_t> values;
  const int64_t start = rig.clock.NowUs();
  ASSERT_TRUE(rig.engine.ReadRegisters(0, regs, values));
  ASSERT_EQ(values.size(), regs.size());
  for (uint16_t r : regs) EXPECT_EQ(values[r], 0x1000u + r);
  for (int i = 0; i < kReadWindow; ++i) EXPECT_EQ(rig.driver.sentAt[static_cast<size_t>(i)], start) << i;
  EXPECT_GT(rig.driver.sentAt[kReadWindow], start) << "the ninth waits for an answer";
  EXPECT_EQ(rig.driver.sent.size(), regs.size() + 1) << "one get asked twice";
  EXPECT_LT(rig.clock.NowUs() - start, kRetransmitInitialMs * 1000) << "the hole was filled before any time-out";
}

// Answers that are doubled, for other registers, from other switches or cut short never
// stand for the register asked; neither does the late answer to a read that failed.
TEST(Link, RepliesAreMatchedBySwitchAndRegisterOnly) {
  Rig rig;
  AdapterIo io(rig.engine);
  const Mac stranger = {0x02, 0x99, 0, 0, 0, 0x99};
  std::vector<uint16_t> regs;
  for (uint16_t r = 0x020A; r < 0x020A + 13; ++r) {
    regs.push_back(r);
    rig.regs[r] = r;
  }
  rig.driver.respond = [&, inner = rig.driver.respond](const std::vector<uint8_t>& f) {
    auto out = inner(f);
    if (Decoded(f).opcode != rrcp::kOpGet) return out;
    const uint16_t r = Decoded(f).reg;
    const auto reply = [&](const Mac& from, uint16_t reg, uint32_t v) {
      return ToVector(BuildGetReply(rig.driver.station, from, kDefaultKeyBytes, reg, v));
    };
    // Ahead of the answer: the next register with a wrong value, this one from a stranger,
    // and a cut-short copy; after it: a copy 5 ms late.
    std::vector<std::pair<int64_t, std::vector<uint8_t>>> all;
    all.emplace_back(rig.replyDelayUs, reply(rig.mac, static_cast<uint16_t>(r + 1), 0xBAD));
    all.emplace_back(rig.replyDelayUs, reply(stranger, r, 0xBAD));
    auto cut = reply(rig.mac, static_cast<uint16_t>(r + 2), 0xBAD);
    cut.resize(rrcp::kGetReplyMinLength - 1);
    all.emplace_back(rig.replyDelayUs, cut);
    for (auto& o : out) all.push_back(o);
    if (!out.empty()) all.emplace_back(rig.replyDelayUs + 5000, out.back().second);
    return all;
  };
  for (int round = 0; round < 3; ++round) {
    std::map<uint16_t, uint32_t> values;
    ASSERT_TRUE(rig.engine.ReadRegisters(0, regs, values)) << rig.engine.LastFailure();
    for (uint16_t r : regs) EXPECT_EQ(values[r], r) << "round " << round << ", register " << r;
    for (uint16_t r : regs) rig.regs[r] = r;  // unchanged: the copies must not make a difference
  }
}

// A read that failed, its answers arriving only after it: the next read of the register, after
// the switch changed it, takes the new value, not one of the late ones.
TEST(Link, LateAnswersToAFailedReadAreNotTakenByTheNext) {
  Rig rig;
  AdapterIo io(rig.engine);
  rig.driver.respond = [&, inner = rig.driver.respond](const std::vector<uint8_t>& f) {
    auto out = inner(f);
    for (auto& o : out) o.first += 1'100'000;
    return out;
  };
  uint32_t v = 0;
  rig.regs[0x0100] = 0x0AAA;
  EXPECT_FALSE(rig.engine.ReadRegister(0, 0x0100, v));
  rig.regs[0x0100] = 0x0BBB;
  rig.driver.respond = [&, inner = rig.driver.respond](const std::vector<uint8_t>& f) {
    auto out = inner(f);
    for (auto& o : out) o.first -= 1'100'000 - 300'000;  // now 300 ms late: the old ones come first
    return out;
  };
  ASSERT_TRUE(rig.engine.ReadRegister(0, 0x0100, v));
  EXPECT_EQ(v, 0x0BBBu);
}

TEST(Eeprom, ReadIssuesTheReadCommandAndTakesTheHighByte) {
  Rig rig;
  AdapterIo io(rig.engine);
  rig.eeprom[26] = 0xAB;
  uint8_t b = 0;
  ASSERT_TRUE(rig.engine.ReadEepromByte(0, 26, b, 3000));
  EXPECT_EQ(b, 0xAB);
  ASSERT_FALSE(rig.Sets().empty());
  EXPECT_EQ(rig.Sets()[0], (std::pair<uint16_t, uint32_t>{0x0217, 0x081A}));
}

TEST(Eeprom, WriteSendsDataThenCommandThenReadsTheByteBack) {
  Rig rig;
  AdapterIo io(rig.engine);
  ASSERT_TRUE(rig.engine.WriteEepromByte(0, 12, 0x01, 3000));
  auto sets = rig.Sets();
  ASSERT_EQ(sets.size(), 3u);
  EXPECT_EQ(sets[0], (std::pair<uint16_t, uint32_t>{0x0218, 0x0001}));
  EXPECT_EQ(sets[1], (std::pair<uint16_t, uint32_t>{0x0217, 0x000C}));
  EXPECT_EQ(sets[2], (std::pair<uint16_t, uint32_t>{0x0217, 0x080C}));
  EXPECT_EQ(rig.eeprom[12], 0x01);
}

TEST(Eeprom, BusyPollsEveryFiveMillisecondsAndFailedReissues) {
  Rig rig;
  AdapterIo io(rig.engine);
  rig.replyDelayUs = 0;
  // The write at byte 12: busy, busy, done-but-failed, then busy, done.
  rig.controlScript = {0x100C, 0x100C, 0x200C, 0x100C, 0x000C};
  const int64_t sleptBefore = rig.clock.slept;
  ASSERT_TRUE(rig.engine.WriteEepromByte(0, 12, 0x03, 3000));
  auto sets = rig.Sets();
  ASSERT_EQ(sets.size(), 5u) << "data and command written twice, then the read-back command";
  EXPECT_EQ(sets[2].first, 0x0218);
  EXPECT_EQ(sets[3].first, 0x0217);
  EXPECT_EQ(sets[4], (std::pair<uint16_t, uint32_t>{0x0217, 0x080C}));
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

// Before each operation the switch shows an earlier command (a read of byte 27) with its byte
// still in the data register, so that a lost command cannot pass for a completed one unseen.
void StaleEepromState(Rig& rig) {
  rig.regs[kRegEepromControl] = 0x081B;
  rig.regs[kRegEepromData] = 0xEE77;  // byte read 0xEE, data latch 0x77
  rig.eeprom[26] = 0x5A;
}

struct EepromRun {
  bool ok = false;
  uint8_t byte = 0;      // read: what the operation returned
  uint8_t stored = 0;    // what EEPROM byte 26 holds afterwards
  int sent = 0, replies = 0;
};

EepromRun RunEepromOp(bool write, const std::set<int>& lostSent, const std::set<int>& lostReplies) {
  Rig rig;
  AdapterIo io(rig.engine);
  StaleEepromState(rig);
  rig.ClearSent();
  rig.lostSent = lostSent;
  rig.lostReplies = lostReplies;
  EepromRun run;
  run.ok = write ? rig.engine.WriteEepromByte(0, 26, 0xC3, kEepromTimeoutMs)
                 : rig.engine.ReadEepromByte(0, 26, run.byte, kEepromTimeoutMs);
  run.stored = rig.eeprom[26];
  run.sent = rig.sentCount;
  run.replies = rig.replyCount;
  return run;
}

// Any one frame lost anywhere in an EEPROM operation, in either direction: the operation
// still ends with the right byte, well within its time-out. Before, a lost command returned
// the byte of the command before it, and a lost data frame wrote the old data latch.
TEST(Eeprom, EverySingleLostFrameIsSurvived) {
  for (const bool write : {false, true}) {
    const EepromRun clean = RunEepromOp(write, {}, {});
    ASSERT_TRUE(clean.ok);
    ASSERT_GE(clean.sent, write ? 5 : 3);
    for (int k = 0; k < clean.sent; ++k) {
      const EepromRun r = RunEepromOp(write, {k}, {});
      EXPECT_TRUE(r.ok) << (write ? "write" : "read") << ", frame sent #" << k << " lost";
      EXPECT_EQ(write ? r.stored : r.byte, write ? 0xC3 : 0x5A) << "frame sent #" << k << " lost";
    }
    for (int k = 0; k < clean.replies; ++k) {
      const EepromRun r = RunEepromOp(write, {}, {k});
      EXPECT_TRUE(r.ok) << (write ? "write" : "read") << ", reply #" << k << " lost";
      EXPECT_EQ(write ? r.stored : r.byte, write ? 0xC3 : 0x5A) << "reply #" << k << " lost";
    }
  }
}

TEST(Eeprom, LostFramesCostAnAskNotTheOperation) {
  Rig rig;
  AdapterIo io(rig.engine);
  StaleEepromState(rig);
  rig.ClearSent();
  rig.lostReplies = {0, 1};  // the first answers to the control and data registers
  uint8_t b = 0;
  const int64_t start = rig.clock.NowUs();
  ASSERT_TRUE(rig.engine.ReadEepromByte(0, 26, b, kEepromTimeoutMs));
  EXPECT_EQ(b, 0x5A);
  // Both were asked again after the first re-ask time-out, then the data register once more
  // (its answer may have left before the control register's); the command was written once.
  EXPECT_EQ(rig.clock.NowUs() - start, kRetransmitInitialMs * 1000 + 2 * rig.replyDelayUs);
  EXPECT_EQ(rig.Sets().size(), 1u);
}

TEST(Eeprom, ControlRegisterShowingAnotherCommandIsNotTakenAsDone) {
  Rig rig;
  AdapterIo io(rig.engine);
  StaleEepromState(rig);
  rig.ClearSent();
  // The switch never takes the command: the control register keeps showing the old one.
  // Sets and gets alternate (command, poll, command, ...): every set is lost.
  for (int k = 0; k < 10000; k += 2) rig.lostSent.insert(k);
  uint8_t b = 0;
  EXPECT_FALSE(rig.engine.ReadEepromByte(0, 26, b, kEepromTimeoutMs));
  EXPECT_EQ(b, 0) << "the stale 0xEE is never returned";
  EXPECT_GT(rig.Sets().size(), 10u) << "the command is issued again and again until the time-out";
}

}  // namespace
}  // namespace brisfell
