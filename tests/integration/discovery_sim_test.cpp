// Discovery, register and EEPROM access and the switch database against the emulator.
#include <gtest/gtest.h>

#include <fstream>

#include "sim/scenario.h"
#include "support/sim_fixture.h"

namespace brisfell {
namespace {

std::string SourceFile(const std::string& relative) { return std::string(BRISFELL_SOURCE_DIR) + "/" + relative; }

TEST(DiscoverySim, BuiltInScenarioFindsEverySwitchWithItsProfile) {
  SimFixture f;
  f.engine.EnumerateAdapters();
  const int64_t start = f.clock.NowMs();
  ASSERT_EQ(f.engine.DiscoverSwitches(0, true), 5);
  const int64_t took = f.clock.NowMs() - start;
  EXPECT_GE(took, 1000);
  EXPECT_LT(took, 1100) << "no database yet: the broadcast window, and the EEPROM look-ups";

  struct Expect {
    uint32_t vendor;
    const char* model;
    int ports;
    bool access, key;
  };
  // The legacy switch reports another maker code; its EEPROM makes it a 16-port model.
  const std::vector<std::pair<std::string, Expect>> expected = {
      {"02:0B:F1:24:00:01", {0x6B2D7002, "TGR7724", 24, false, false}},
      {"02:0B:F1:16:00:03", {0x6B2D7003, "LM8816", 16, true, false}},
      {"02:0B:F1:16:00:04", {0x6B2D7004, "LM8816", 16, false, true}},
      {"02:0B:F1:16:00:01", {0x6B2D7001, "LM8816", 16, false, false}},
      {"02:0B:F1:26:00:01", {0x4C4A2601, nullptr, 26, false, false}},
  };
  for (const auto& [mac, e] : expected) {
    int i = -1;
    for (int k = 0; k < f.engine.SwitchCount(); ++k)
      if (FormatMac(f.engine.GetSwitchRecord(k)->mac) == mac) i = k;
    ASSERT_NE(i, -1) << mac;
    const SwitchRecord& r = *f.engine.GetSwitchRecord(i);
    EXPECT_EQ(r.vendorId, e.vendor) << mac;
    EXPECT_EQ(r.modelName, e.model ? std::string(e.model) : Format("Switch %d", i + 1)) << mac;
    EXPECT_EQ(r.portCount, e.ports) << mac;
    EXPECT_EQ(r.accessControl, e.access) << mac;
    EXPECT_EQ(r.keySettable, e.key) << mac;
    EXPECT_EQ(r.trunkGroups.size(), static_cast<size_t>(e.ports <= 24 ? e.ports / 4 : 0)) << mac;
    for (int p = 0; p < r.portCount; ++p) EXPECT_EQ(f.engine.MapChipToPort(i, f.engine.MapPortToChip(i, p)), p);
  }
  // The chain: access-b hangs on chip port 6 of access-a through its own chip port 15.
  const int b = f.IndexOfVendor(0x6B2D7004);
  const int a = f.IndexOfVendor(0x6B2D7003);
  EXPECT_EQ(f.engine.GetSwitchRecord(b)->upLinkMac, f.engine.GetSwitchRecord(a)->mac);
  EXPECT_EQ(f.engine.GetSwitchRecord(b)->upLinkPort, 6);
  EXPECT_EQ(f.engine.GetSwitchRecord(b)->downLinkPort, 15);

  // The database remembers all five, and the next discovery sends each a directed hello.
  f.engine.LoadSwitchDatabase();
  EXPECT_EQ(f.engine.DatabaseRecords().size(), 5u);
  const int64_t again = f.clock.NowMs();
  f.segment.ClearRecording();
  ASSERT_EQ(f.engine.DiscoverSwitches(0, true), 5);
  EXPECT_LT(f.clock.NowMs() - again, 1000 + 5 * 100 + 100);
  int directed = 0;
  for (const auto& fr : f.segment.Recording()) {
    const auto frame = DecodeFrame(fr.bytes.data(), fr.bytes.size());
    if (fr.direction == sim::RecordedFrame::Direction::FromStation && frame && frame->opcode == rrcp::kOpHello &&
        frame->destination != kBroadcastMac)
      ++directed;
  }
  EXPECT_EQ(directed, 5);
}

TEST(DiscoverySim, RememberedNonDefaultKeyIsFoundOnlyByTheDirectedHello) {
  sim::Scenario keyed = sim::LoadScenarioFile(SourceFile("sim/scenarios/keyed-pair.json"));
  SimFixture f(keyed);
  f.engine.EnumerateAdapters();
  ASSERT_EQ(f.engine.DiscoverSwitches(0, true), 1) << "the broadcast carries the default key";
  // The operator gave the key earlier: it is in the database now.
  {
    std::ofstream db(f.DatabasePath(), std::ios::binary | std::ios::trunc);
    const uint8_t rec[8] = {0x02, 0x0B, 0xF1, 0x16, 0x00, 0x44, 0x12, 0x34};
    db.write(reinterpret_cast<const char*>(rec), 8);
  }
  ASSERT_EQ(f.engine.DiscoverSwitches(0, true), 2);
  const SwitchRecord& keyedRecord = *f.engine.GetSwitchRecord(0);
  EXPECT_EQ(keyedRecord.AuthKey(), 0x1234);
  // Gets and sets carry that key, so the switch answers them.
  f.engine.SetCurrentSwitchIndex(0);
  AdapterIo io(f.engine);
  uint32_t value = 0;
  ASSERT_TRUE(f.engine.ReadRegister(0, 0x0209, value, kRegisterTimeoutMs));
  EXPECT_EQ(value, 0x1234u);
}

TEST(DiscoverySim, RegistersAndEepromRoundTrip) {
  SimFixture f;
  f.DiscoverAndSelect(0);
  const int s = f.IndexOfVendor(0x6B2D7003);
  ASSERT_GE(s, 0);
  AdapterIo io(f.engine);
  ASSERT_TRUE(io.ok());
  ASSERT_TRUE(f.engine.WriteRegister(s, 0x0607, 0x0012));
  uint32_t v = 0;
  ASSERT_TRUE(f.engine.ReadRegister(s, 0x0607, v, kRegisterTimeoutMs));
  EXPECT_EQ(v, 0x0012u);
  ASSERT_TRUE(f.engine.WriteEepromByte(s, 0x0100, 0xA5, kEepromTimeoutMs));
  uint8_t b = 0;
  ASSERT_TRUE(f.engine.ReadEepromByte(s, 0x0100, b, kEepromTimeoutMs));
  EXPECT_EQ(b, 0xA5);
  EXPECT_EQ(f.Emulated(s).EepromByte(0x0100), 0xA5);
  // Write protection makes the write fail after its time-out instead of pretending.
  f.Emulated(s).SetEepromWriteProtected(true);
  EXPECT_FALSE(f.engine.WriteEepromByte(s, 0x0100, 0x5A, kEepromTimeoutMs));
  EXPECT_EQ(f.Emulated(s).EepromByte(0x0100), 0xA5);
}

TEST(DiscoverySim, MutedSwitchFailsReadsAfterTheTimeout) {
  SimFixture f;
  f.DiscoverAndSelect(0);
  f.Emulated(0).SetMuted(true);
  AdapterIo io(f.engine);
  uint32_t v = 0;
  const int64_t start = f.clock.NowMs();
  EXPECT_FALSE(f.engine.ReadRegister(0, 0x0100, v, kRegisterTimeoutMs));
  EXPECT_EQ(f.clock.NowMs() - start, 1000);
}

TEST(DiscoverySim, LateReplyToATimedOutReadIsNotTakenByTheNextRead) {
  SimFixture f;
  f.DiscoverAndSelect(0);
  AdapterIo io(f.engine);
  f.Emulated(0).SetRegister(0x0607, 0x0010);
  f.segment.GetFaults().lateNextReply = true;
  uint32_t v = 0;
  // The get whose answer is held back is asked again: the read succeeds all the same.
  ASSERT_TRUE(f.engine.ReadRegister(0, 0x0607, v, kRegisterTimeoutMs));
  EXPECT_EQ(v, 0x0010u);
  f.Emulated(0).SetRegister(0x0607, 0x0012);
  f.clock.Advance(2'000'000);  // the late reply has arrived by now
  ASSERT_TRUE(f.engine.ReadRegister(0, 0x0607, v, kRegisterTimeoutMs));
  EXPECT_EQ(v, 0x0012u);
}

}  // namespace
}  // namespace brisfell
