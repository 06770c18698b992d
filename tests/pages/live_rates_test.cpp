// Counter rates from two readings, across the 32-bit wrap, and the Traffic window's recorder,
// on the emulated segment's virtual time.
#include "pages/status/mib_counter_logic.h"
#include "pages/status/mib_rate_logic.h"
#include "pages/status/traffic_logic.h"
#include "ports_fixture.h"

namespace brisfell::testing {
namespace {

constexpr double kFast = 100e6 / 8 * 1.25;  // a fast-Ethernet port's byte ceiling

TEST(CounterRate, WrapClearAndTimeTable) {
  struct Case {
    const char* what;
    uint32_t before, after;
    int64_t elapsedUs;
    std::optional<double> rate;
  };
  const Case cases[] = {
      {"plain growth", 1000, 3000, 2'000'000, 1000.0},
      {"no growth", 77, 77, 1'000'000, 0.0},
      {"across the wrap", 0xFFFFFF00u, 0x00000100u, 1'000'000, 512.0},
      {"wrap to exactly zero", 0xFFFFFFFFu, 0, 500'000, 2.0},
      {"half a second", 0, 256000, 500'000, 512000.0},
      {"cleared: far more than the port carries", 5'000'000, 10, 1'000'000, std::nullopt},
      {"no time passed", 1, 2, 0, std::nullopt},
      {"clock went back", 1, 2, -5, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CounterIncrease(c.before, c.after), static_cast<uint32_t>(c.after - c.before));
    const auto rate = CounterRate(c.before, c.after, c.elapsedUs, kFast);
    ASSERT_EQ(rate.has_value(), c.rate.has_value());
    if (rate) {
      EXPECT_DOUBLE_EQ(*rate, *c.rate);
    }
  }
  // A gigabit port may grow ten times faster than a fast one before it counts as cleared.
  EXPECT_GT(CounterCeilingPerSecond(24, 0), 9 * CounterCeilingPerSecond(23, 0));
  EXPECT_LT(CounterCeilingPerSecond(0, 1), CounterCeilingPerSecond(0, 0) / 60);  // packets are 64 bytes or more
  EXPECT_EQ(RateText(std::nullopt), "");
  EXPECT_EQ(RateText(0.0), "0");
  EXPECT_EQ(RateText(0.5), "0.5");
  EXPECT_EQ(RateText(512000.4), "512000");
}

struct RatesTest : PortsTest {
  MibReading Read() {
    MibReading r;
    EXPECT_TRUE(ReadMibCounters(ctx, r));
    return r;
  }
  // The rate cells of a row: columns 3, 6 and 9.
  static std::vector<std::string> Rates(const Table& t, int row) {
    return {t.rows[row][3], t.rows[row][6], t.rows[row][9]};
  }
};

TEST_F(RatesTest, RatesFollowTheEmulatedTrafficAcrossTheWrap) {
  auto& sw = Use(26);
  const int k = 16;  // a port without traffic of its own: its counters hold what is set
  // G1 counts 15000 packets a second from just below the wrap: bring it a second short of it.
  const int g1 = 24;
  const uint32_t g1Now = sw.Register(static_cast<uint16_t>(kRegMibCounter1 + g1));
  ASSERT_GT(g1Now, 0xFFF00000u);
  sim.clock.Advance(static_cast<int64_t>((0x100000000ull - g1Now) / 15000) * 1'000'000 - 1'000'000);
  sw.SetRegister(MibSelectRegister(k), 0);  // all three count bytes
  sw.SetRegister(kRegMibCounter1 + k, 0xFFFFFFF0u);
  sw.SetRegister(kRegMibCounter2 + k, 1000);
  sw.SetRegister(kRegMibCounter3 + k, 5);
  const MibReading first = Read();
  EXPECT_EQ(ReadOrder(sw), Range(0x0700, 91));  // the page's own reads, nothing more

  Table t = DecodeMibCountersWithRates(Record(), first, nullptr);
  EXPECT_EQ(t.columns, MibCounterColumnsWithRates().columns);
  EXPECT_EQ(Rates(t, Row(k)), (std::vector<std::string>{"", "", ""}));  // one reading has no rate

  sim.clock.Advance(4'000'000);
  sw.SetRegister(kRegMibCounter1 + k, 0x00000010u);  // wrapped: 32 bytes later
  sw.SetRegister(kRegMibCounter2 + k, 41000);
  const MibReading second = Read();
  t = DecodeMibCountersWithRates(Record(), second, &first);
  const int64_t elapsed = second.timeUs - first.timeUs;
  ASSERT_GT(elapsed, 4'000'000);
  EXPECT_EQ(Rates(t, Row(k)), (std::vector<std::string>{RateText(32e6 / elapsed), RateText(40000e6 / elapsed), "0"}));
  // The value and unit columns are the page's own.
  const Table plain = DecodeMibCounters(Record(), second.registers);
  EXPECT_EQ(t.rows[Row(k)][1], plain.rows[Row(k)][1]);
  EXPECT_EQ(t.rows[Row(k)][2], plain.rows[Row(k)][2]);

  // G1 wrapped between the readings.
  EXPECT_LT(second.registers.at(static_cast<uint16_t>(kRegMibCounter1 + g1)),
            first.registers.at(static_cast<uint16_t>(kRegMibCounter1 + g1)));
  const auto rate = MibCounterRate(second, first, g1, 0);
  ASSERT_TRUE(rate.has_value());
  EXPECT_NEAR(*rate, 15000, 15000 * 0.01);
}

TEST_F(RatesTest, AClearOrAnotherUnitBetweenReadingsGivesNoRate) {
  auto& sw = Use(24);
  const int k = 20;
  sw.SetRegister(MibSelectRegister(k), 0x555);
  sw.SetRegister(kRegMibCounter1 + k, 900'000);
  sw.SetRegister(kRegMibCounter2 + k, 900'000);
  const MibReading first = Read();
  sim.clock.Advance(2'000'000);
  sw.SetRegister(kRegMibCounter1 + k, 12);  // cleared
  sw.SetRegister(kRegMibCounter2 + k, 900'100);
  ASSERT_TRUE(MibAllBytes(ctx));            // and every counter now counts bytes
  const MibReading second = Read();
  EXPECT_FALSE(MibCounterRate(second, first, k, 0).has_value());  // unit changed (and cleared)
  EXPECT_FALSE(MibCounterRate(second, first, k, 1).has_value());  // unit changed
  sim.clock.Advance(2'000'000);
  const MibReading third = Read();
  // Both now count bytes on both readings: rates again.
  EXPECT_TRUE(MibCounterRate(third, second, k, 0).has_value());
  EXPECT_TRUE(MibCounterRate(third, second, k, 1).has_value());
}

TEST_F(RatesTest, TrafficRecorderPlotsBytePortsAndNamesTheOthers) {
  Use(24);  // the core: only chip port 1 (shown 1) counts bytes, at 512000 and 604000 a second
  TrafficRecorder rec;
  ASSERT_TRUE(rec.Sample(ctx));
  EXPECT_EQ(rec.Chosen(), (std::vector<int>{Row(1)}));
  EXPECT_EQ(rec.BytePorts(), (std::vector<int>{Row(1)}));
  EXPECT_TRUE(rec.Notes().empty());
  // Selection registers first, then the chosen port's counters 1 and 2.
  const std::vector<uint16_t> counters = {0x070D + 1, 0x0727 + 1};
  EXPECT_EQ(ReadOrder(sim.Emulated(ctx.Switch())), Range(0x0700, 13) + counters);

  sim.clock.Advance(2'000'000);
  ASSERT_TRUE(rec.Sample(ctx));
  ASSERT_EQ(rec.Series().size(), 1u);
  const auto& samples = rec.Series()[0].samples;
  ASSERT_EQ(samples.size(), 2u);
  EXPECT_FALSE(samples[0].rx.has_value());  // the first sample has nothing to compare with
  ASSERT_TRUE(samples[1].rx && samples[1].tx);
  EXPECT_NEAR(*samples[1].rx, 512000, 512000 * 0.01);
  EXPECT_NEAR(*samples[1].tx, 604000, 604000 * 0.01);

  // A port that counts packets: kept in the choice, no byte rate, and a note.
  rec.Choose({Row(1), Row(4)});
  sim.clock.Advance(2'000'000);
  ASSERT_TRUE(rec.Sample(ctx));
  EXPECT_EQ(rec.Notes(), (std::vector<std::string>{"Port " + PortLabel(Row(4)) + ": counter 1 counts Rx packets, not bytes.",
                                                   "Port " + PortLabel(Row(4)) + ": counter 2 counts Tx packets, not bytes."}));
  ASSERT_EQ(rec.Series().size(), 2u);
  EXPECT_EQ(rec.Series()[0].samples.size(), 3u);  // port 1 kept its history
  EXPECT_FALSE(rec.Series()[1].samples.back().rx.has_value());
}

TEST(TrafficRecorder, KeepsOnlyTheLastMinutesAndRatesAcrossTheWrap) {
  SwitchRecord r;
  r.portCount = 16;
  for (int i = 0; i < 16; ++i) r.portToChip[i] = r.chipToPort[i] = static_cast<uint8_t>(i);
  std::map<uint16_t, uint32_t> regs;
  for (int i = 0; i < kMibSelectRegisters; ++i) regs[static_cast<uint16_t>(kRegMibSelect + i)] = 0;  // bytes
  TrafficRecorder rec(10'000'000);  // ten seconds
  rec.Choose({3});
  uint32_t rx = 0xFFFF0000u;
  for (int64_t t = 0; t <= 20; ++t) {
    regs[kRegMibCounter1 + 3] = rx;
    regs[kRegMibCounter2 + 3] = static_cast<uint32_t>(t);  // one byte a second
    rec.Record(r, t * 1'000'000, regs);
    rx += 10'000;  // wraps after seven steps
  }
  const auto& s = rec.Series()[0].samples;
  ASSERT_EQ(s.size(), 11u);  // 10 s to 20 s
  EXPECT_EQ(s.front().timeUs, 10'000'000);
  for (const auto& x : s) {
    ASSERT_TRUE(x.rx && x.tx);
    EXPECT_DOUBLE_EQ(*x.rx, 10000);
    EXPECT_DOUBLE_EQ(*x.tx, 1);
  }
  // Forgetting everything for another switch.
  rec.Reset();
  EXPECT_TRUE(rec.Series().empty());
  EXPECT_FALSE(rec.HasChosen());
  EXPECT_EQ(rec.Code(3, 0), -1);
}

TEST_F(RatesTest, NoSwitchOrNoReplyRecordsNothing) {
  Use(16);
  sim.Emulated(ctx.Switch()).SetMuted(true);
  TrafficRecorder rec;
  EXPECT_FALSE(rec.Sample(ctx));
  EXPECT_TRUE(rec.Series().empty());
  MibReading r;
  EXPECT_FALSE(ReadMibCounters(ctx, r));
  EXPECT_TRUE(r.registers.empty());
  sim.engine.SetCurrentSwitchIndex(-1);
  const size_t before = sim.segment.FramesFromStation();
  EXPECT_FALSE(rec.Sample(ctx));
  EXPECT_EQ(sim.segment.FramesFromStation(), before);
  EXPECT_EQ(sim.segment.OpenAdapterCount(), 0);
}

// Rates read as network rates: bits a second, SI prefixes, the unit chosen by the largest.
TEST(TrafficRates, BitsASecondWithSiPrefixes) {
  const struct {
    double bytesPerSecond;
    const char* unit;
    const char* text;
  } cases[] = {{0, "bit/s", "0 bit/s"},           {100, "bit/s", "800 bit/s"},
               {125, "kbit/s", "1.00 kbit/s"},     {512'000, "Mbit/s", "4.10 Mbit/s"},
               {1'500'000, "Mbit/s", "12.0 Mbit/s"}, {125'000'000, "Gbit/s", "1.00 Gbit/s"}};
  for (const auto& c : cases) {
    EXPECT_EQ(RateScaleFor(c.bytesPerSecond).unit, c.unit) << c.bytesPerSecond;
    EXPECT_EQ(BitRateText(c.bytesPerSecond), c.text) << c.bytesPerSecond;
  }
  EXPECT_EQ(TrafficPointText("Port 1 Rx", 512'000, 12), "Port 1 Rx: 4.10 Mbit/s (512,000 bytes/s) 12 s before the last sample");
}

}  // namespace
}  // namespace brisfell::testing
