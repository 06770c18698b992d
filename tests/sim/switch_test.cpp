// The emulated chip as the console meets it: frames, keys, authorisation, registers, EEPROM
// commands, resets and MIB counters.
#include <gtest/gtest.h>

#include "sim/emulated_switch.h"
#include "support/sim_fixture.h"
#include "wire.h"

namespace brisfell::sim::test {
namespace {

constexpr Mac kZeroMac{};

Scenario Chain() {
  SwitchSetup a = PlainSwitch(0x6B2D7001, 1);
  a.towardStation = 3;
  SwitchSetup b = PlainSwitch(0x6B2D7002, 2);
  b.upstream = 1;
  b.upstreamPort = 5;
  b.towardStation = 7;
  b.chipId = 0x0042;
  return ScenarioOf({b, a});  // listed before its upstream switch, it still answers second
}

TEST(EmulatedSwitchWire, AnswersHelloWithIdentityAndPlaceInTheChain) {
  Wire wire(Chain());
  const auto replies = wire.Hello();
  ASSERT_EQ(replies.size(), 2u);
  // Nearest first, whatever the scenario order.
  EXPECT_EQ(replies[0].source, SwitchMac(1));
  EXPECT_EQ(replies[0].downLinkPort, 3);
  EXPECT_EQ(replies[0].upLinkPort, 0);
  EXPECT_EQ(replies[0].upLinkMac, kZeroMac);
  EXPECT_EQ(replies[0].vendorId, 0x6B2D7001u);
  EXPECT_EQ(replies[0].key, kDefaultKeyBytes);
  EXPECT_EQ(replies[1].source, SwitchMac(2));
  EXPECT_EQ(replies[1].downLinkPort, 7);
  EXPECT_EQ(replies[1].upLinkPort, 5);
  EXPECT_EQ(replies[1].upLinkMac, SwitchMac(1));
  EXPECT_EQ(replies[1].chipId, 0x0042);
  EXPECT_EQ(replies[1].vendorId, 0x6B2D7002u);
}

TEST(EmulatedSwitchWire, GetAndSetFollowTheRegisterRules) {
  Wire wire(ScenarioOf({PlainSwitch(0x6B2D7001)}));
  EmulatedSwitch& sw = wire.segment.Switch(0);
  wire.Set(SwitchMac(1), 0x0301, 0x12345678);
  EXPECT_EQ(sw.Register(0x0301), 0x5678u);  // 16-bit register
  EXPECT_EQ(wire.Get(SwitchMac(1), 0x0301), 0x5678u);
  EXPECT_EQ(wire.Get(SwitchMac(1), 0x4321), 0u);  // any register can be read
  ASSERT_EQ(sw.WriteLog().size(), 1u);
  EXPECT_EQ(sw.WriteLog()[0], (RegisterWrite{0x0301, 0x12345678}));
  EXPECT_EQ(sw.ReadLog().size(), 2u);
  EXPECT_EQ(sw.WritesTo(0x0301), std::vector<uint32_t>{0x12345678});
  sw.ClearLog();
  EXPECT_TRUE(sw.WriteLog().empty());
  EXPECT_TRUE(sw.ReadLog().empty());

  // The reply goes back to whoever asked, from the switch, with its key.
  const Mac other = {0x02, 0x0B, 0xF1, 0x00, 0x00, 0x99};
  wire.Send(BuildGet(other, SwitchMac(1), kDefaultKeyBytes, 0x0301));
  const auto frames = wire.ReceiveFor(5);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(std::equal(other.begin(), other.end(), frames[0].begin()));
  EXPECT_EQ(ParseGetReply(frames[0].data(), frames[0].size(), 0x0301, SwitchMac(1)), 0x5678u);
}

TEST(EmulatedSwitchWire, IgnoresFramesNotMeantForIt) {
  Wire wire(ScenarioOf({PlainSwitch(0x6B2D7001)}));
  EmulatedSwitch& sw = wire.segment.Switch(0);
  sw.SetRegister(0x0301, 0x0101);
  EXPECT_FALSE(wire.Get(SwitchMac(1), 0x0301, {0x11, 0x11}));  // wrong key
  wire.Set(SwitchMac(1), 0x0301, 0x0202, {0x3C, 0x5A});        // key bytes swapped
  EXPECT_FALSE(wire.Get(SwitchMac(2), 0x0301));                // another switch's address
  wire.Send(BuildGet(kStation, kBroadcastMac, kDefaultKeyBytes, 0x0301));  // broadcast is for hello only
  Frame ip = BuildGet(kStation, SwitchMac(1), kDefaultKeyBytes, 0x0301);
  ip[12] = 0x08;
  ip[13] = 0x00;
  wire.Send(ip);
  Frame otherProtocol = BuildGet(kStation, SwitchMac(1), kDefaultKeyBytes, 0x0301);
  otherProtocol[14] = 0x02;
  wire.Send(otherProtocol);
  EXPECT_TRUE(wire.ReceiveFor(20).empty());
  EXPECT_EQ(sw.Register(0x0301), 0x0101u);
  EXPECT_TRUE(sw.WriteLog().empty());
  EXPECT_TRUE(sw.ReadLog().empty());
  EXPECT_EQ(sw.FramesIgnored(), 2u);  // the two with a wrong key reached it and were refused
}

TEST(EmulatedSwitchWire, NewKeyTakesEffectFromTheNextFrame) {
  Wire wire(ScenarioOf({PlainSwitch(0x6B2D7004)}));
  wire.Set(SwitchMac(1), 0x0209, 0x1234);
  EXPECT_FALSE(wire.Get(SwitchMac(1), 0x0209));
  EXPECT_TRUE(wire.Hello().empty());  // the broadcast hello carries the default key
  EXPECT_EQ(wire.Get(SwitchMac(1), 0x0209, {0x12, 0x34}), 0x1234u);
  const auto replies = wire.Hello(SwitchMac(1), {0x12, 0x34});
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].key, (KeyBytes{0x12, 0x34}));
}

TEST(EmulatedSwitchWire, UnauthorisedIngressPortIsRefusedButFramesStillPassThrough) {
  SwitchSetup a = PlainSwitch(0x6B2D7002, 1);
  a.towardStation = 20;  // bit 4 of the high mask register
  SwitchSetup b = PlainSwitch(0x6B2D7001, 2);
  b.upstream = 0;
  b.upstreamPort = 9;
  b.towardStation = 2;
  Wire wire(ScenarioOf({a, b}));
  wire.Set(SwitchMac(1), 0x0202, 0x0010);
  EXPECT_FALSE(wire.Get(SwitchMac(1), 0x0202));
  EXPECT_EQ(wire.Get(SwitchMac(2), 0x0202), 0u);  // the switch behind it still hears us
  const auto replies = wire.Hello();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].source, SwitchMac(2));

  // Another port's bit does not matter; the low register covers chip ports below 16.
  wire.segment.Switch(0).SetRegister(0x0202, 0x0020);
  EXPECT_EQ(wire.Get(SwitchMac(1), 0x0202), 0x0020u);
  wire.Set(SwitchMac(2), 0x0201, 0x0004);
  EXPECT_FALSE(wire.Get(SwitchMac(2), 0x0201));
}

TEST(EmulatedSwitchWire, StatusRegistersComeFromTheScenarioAndIgnoreTheWire) {
  SwitchSetup s = PlainSwitch(0x4C4A2601);
  s.ports[1] = PortState{true, 100, true, true, {}};
  s.ports[2] = PortState{false, 10, false, false, {}};
  s.ports[25] = PortState{true, 1000, true, false, {}};
  s.tbiPorts = 1u << 25;
  s.loopPorts = 0x0006;
  s.faultStatus = 0x0046;
  s.igmpRouterPorts = 0x0011;
  Wire wire(ScenarioOf({s}));
  const Mac m = SwitchMac(1);
  EXPECT_EQ(wire.Get(m, 0x0619), 0x7505u);  // chip 0 down, 100 full; chip 1 up, 100 full, flow control
  EXPECT_EQ(wire.Get(m, 0x061A), 0x0500u);  // chip 2 down, 10 half
  EXPECT_EQ(wire.Get(m, 0x0625), 0x1605u);  // chip 25 up, 1000 full
  EXPECT_EQ(wire.Get(m, 0x0100), 0x0008u);
  for (uint16_t r : {0x0100, 0x0101, 0x0102, 0x0309, 0x0619, 0x0625, 0x070D}) {
    const auto before = wire.Get(m, r);
    wire.Set(m, r, 0xFFFF);
    EXPECT_EQ(wire.Get(m, r), before) << "register " << r;
  }
  EXPECT_EQ(wire.Get(m, 0x0101), 0x0006u);
  EXPECT_EQ(wire.Get(m, 0x0102), 0x0046u);
  EXPECT_EQ(wire.Get(m, 0x0309), 0x0011u);
  // Test access may change them.
  wire.segment.Switch(0).SetPortState(2, PortState{true, 1000, true, false, {}});
  EXPECT_EQ(wire.Get(m, 0x061A), 0x0516u);
}

// ---------------------------------------------------------------- EEPROM

TEST(EmulatedSwitchEeprom, CommandStateMachineOnTheWire) {
  SwitchSetup s = PlainSwitch(0x6B2D7001);
  s.eepromBusyPolls = 2;
  Wire wire(ScenarioOf({s}));
  EmulatedSwitch& sw = wire.segment.Switch(0);
  const Mac m = SwitchMac(1);
  sw.SetEepromByte(0x0155, 0xC3);
  wire.Set(m, 0x0218, 0x0077);
  wire.Set(m, 0x0217, 0x0800 | 0x0155);
  EXPECT_EQ(wire.Get(m, 0x0217), 0x1955u);  // busy
  EXPECT_EQ(wire.Get(m, 0x0217), 0x1955u);
  EXPECT_EQ(wire.Get(m, 0x0217), 0x0955u);  // done
  EXPECT_EQ(wire.Get(m, 0x0218), 0xC377u);  // byte in bits 8-15, bits 0-7 as they were

  // A write latches the data byte when the command is given.
  wire.Set(m, 0x0218, 0x005A);
  wire.Set(m, 0x0217, 0x0155);
  wire.Set(m, 0x0218, 0x0011);
  EXPECT_EQ(sw.EepromByte(0x0155), 0xC3);  // not before the command completes
  wire.Get(m, 0x0217);
  wire.Get(m, 0x0217);
  EXPECT_EQ(wire.Get(m, 0x0217), 0x0155u);
  EXPECT_EQ(sw.EepromByte(0x0155), 0x5A);

  // An injected failure: busy as usual, then the failed bit, and nothing done.
  sw.FailNextEepromCommands(1);
  wire.Set(m, 0x0218, 0x00EE);
  wire.Set(m, 0x0217, 0x0155);
  wire.Get(m, 0x0217);
  wire.Get(m, 0x0217);
  EXPECT_EQ(wire.Get(m, 0x0217), 0x2155u);
  EXPECT_EQ(sw.EepromByte(0x0155), 0x5A);
  // Write protection fails writes but not reads.
  sw.SetEepromBusyPolls(0);
  sw.SetEepromWriteProtected(true);
  wire.Set(m, 0x0217, 0x0155);
  EXPECT_EQ(wire.Get(m, 0x0217), 0x2155u);
  EXPECT_EQ(sw.EepromByte(0x0155), 0x5A);
  wire.Set(m, 0x0217, 0x0955);
  EXPECT_EQ(wire.Get(m, 0x0217), 0x0955u);
  EXPECT_EQ(*wire.Get(m, 0x0218) >> 8, 0x5Au);
}

struct OneSwitchFixture : SimFixture {
  explicit OneSwitchFixture(const SwitchSetup& s) : SimFixture(ScenarioOf({s})) {
    EXPECT_EQ(DiscoverAndSelect(0), 1);
    EXPECT_TRUE(engine.OpenAdapterIo(0));
  }
};

TEST(EmulatedSwitchEeprom, EngineReadsAndWritesThroughBusyAndFailedBits) {
  SwitchSetup s = PlainSwitch(0x6B2D7003);
  s.eepromBusyPolls = 3;
  OneSwitchFixture f(s);
  EmulatedSwitch& sw = f.Emulated(0);
  sw.ClearLog();
  ASSERT_TRUE(f.engine.WriteEepromByte(0, 0x0300, 0xA5, kEepromTimeoutMs));
  EXPECT_EQ(sw.EepromByte(0x0300), 0xA5);
  uint8_t byte = 0;
  ASSERT_TRUE(f.engine.ReadEepromByte(0, 0x0300, byte, kEepromTimeoutMs));
  EXPECT_EQ(byte, 0xA5);
  int polls = 0;
  for (const auto& r : sw.ReadLog()) polls += r.reg == 0x0217;
  EXPECT_EQ(polls, 12);  // three busy and one done, for each command: write, read-back, read

  sw.ClearLog();
  sw.FailNextEepromCommands(2);
  ASSERT_TRUE(f.engine.WriteEepromByte(0, 0x0301, 0x3C, kEepromTimeoutMs));
  EXPECT_EQ(sw.EepromByte(0x0301), 0x3C);
  EXPECT_EQ(sw.WritesTo(0x0217), (std::vector<uint32_t>{0x0301, 0x0301, 0x0301, 0x0B01}));
  EXPECT_EQ(sw.WritesTo(0x0218), (std::vector<uint32_t>{0x3C, 0x3C, 0x3C}));

  sw.SetEepromWriteProtected(true);
  EXPECT_FALSE(f.engine.WriteEepromByte(0, 0x0301, 0x99, kEepromTimeoutMs));
  EXPECT_EQ(sw.EepromByte(0x0301), 0x3C);
  ASSERT_TRUE(f.engine.ReadEepromByte(0, 0x0301, byte, kEepromTimeoutMs));
  EXPECT_EQ(byte, 0x3C);
  f.engine.CloseAdapterIo(0);
}

TEST(EmulatedSwitchEeprom, NewSwitchHoldsItsSettingsAndVendorCopy) {
  SwitchSetup s = PlainSwitch(0x6B2D7004);
  s.key = 0xBEEF;
  s.registers[0x0307] = 0x8206;
  s.eeprom[0x0400] = 0x77;
  EmulatedSwitch sw(s);
  EXPECT_EQ(sw.EepromByte(0x006A), 0xEF);  // the key, low byte first
  EXPECT_EQ(sw.EepromByte(0x006B), 0xBE);
  EXPECT_EQ(sw.EepromByte(0x0024), 0x06);
  EXPECT_EQ(sw.EepromByte(0x0025), 0x82);
  EXPECT_EQ(sw.EepromByte(26), 0x04);
  EXPECT_EQ(sw.EepromByte(27), 0x70);
  EXPECT_EQ(sw.EepromByte(28), 0x2D);
  EXPECT_EQ(sw.EepromByte(29), 0x6B);
  EXPECT_EQ(sw.EepromByte(0x0400), 0x77);
  EXPECT_EQ(sw.Eeprom().size(), kEepromSize);

  // Without a copy of its own, the EEPROM repeats the hello's identifier.
  EmulatedSwitch generic(PlainSwitch(0x4C4A2601));
  EXPECT_EQ(generic.PortCount(), 26);
  EXPECT_EQ(generic.EepromByte(29), 0x4C);
  EXPECT_EQ(generic.EepromByte(26), 0x01);
  SwitchSetup hidden = PlainSwitch(0x12347001);
  hidden.eepromVendorId = 0x6B2D7002;
  EXPECT_EQ(EmulatedSwitch(hidden).PortCount(), 24);
  EXPECT_EQ(EmulatedSwitch(hidden).VendorId(), 0x12347001u);
}

// ---------------------------------------------------------------- resets

TEST(EmulatedSwitchReset, HardwareResetLoadsDefaultsOverlaidByTheEeprom) {
  SwitchSetup s = PlainSwitch(0x6B2D7001);
  s.ports[4] = PortState{true, 100, true, false, {}};
  s.faultStatus = 0x0004;
  Wire wire(ScenarioOf({s}));
  EmulatedSwitch& sw = wire.segment.Switch(0);
  const Mac m = SwitchMac(1);
  wire.Set(m, 0x0307, 0x1111);
  wire.Set(m, 0x0301, 0x1234);  // in the default list, not in the EEPROM map
  wire.Set(m, 0x0555, 0x4444);  // in neither
  wire.Set(m, 0x060A, 0x0000);
  sw.SetEepromByte(0x0024, 0x04);  // 0x0307 := 0x0204
  sw.SetEepromByte(0x0025, 0x02);
  sw.SetEepromByte(0x0022, 0xFF);  // 0x0300, mask 0x000F
  sw.SetEepromByte(0x0023, 0xFF);
  wire.Set(m, 0x0000, 2);
  EXPECT_EQ(sw.HardwareResets(), 1);
  EXPECT_EQ(wire.Get(m, 0x0307), 0x0204u);
  EXPECT_EQ(wire.Get(m, 0x0300), 0x000Fu);
  EXPECT_EQ(wire.Get(m, 0x0301), 0x0000u);
  EXPECT_EQ(wire.Get(m, 0x0555), 0x0000u);
  EXPECT_EQ(wire.Get(m, 0x060A), 0xAFAFu);  // its EEPROM word still holds the power-on value
  EXPECT_EQ(wire.Get(m, 0x061B), 0x0515u);  // live state survives
  EXPECT_EQ(wire.Get(m, 0x0102), 0x0004u);
}

TEST(EmulatedSwitchReset, KeyAfterHardwareResetDependsOnTheModel) {
  // The 16-port models keep their key in EEPROM; the others come back with the default key.
  SwitchSetup a = PlainSwitch(0x6B2D7004, 1);
  SwitchSetup b = PlainSwitch(0x6B2D7002, 2);
  Wire wire(ScenarioOf({a, b}));
  for (int n : {1, 2}) {
    wire.Set(SwitchMac(n), 0x0209, 0x1234);
    wire.Set(SwitchMac(n), 0x0000, 2, {0x12, 0x34});
  }
  EXPECT_EQ(wire.segment.Switch(0).Key(), kDefaultAuthKey);  // EEPROM was never saved
  EXPECT_EQ(wire.segment.Switch(1).Key(), kDefaultAuthKey);
  wire.segment.Switch(0).SetEepromByte(0x006A, 0x34);
  wire.segment.Switch(0).SetEepromByte(0x006B, 0x12);
  wire.Set(SwitchMac(1), 0x0000, 2);
  EXPECT_EQ(wire.segment.Switch(0).Key(), 0x1234);
}

TEST(EmulatedSwitchReset, GenericModelResetsToDefaultsOnly) {
  Wire wire(ScenarioOf({PlainSwitch(0x4C4A2601)}));
  EmulatedSwitch& sw = wire.segment.Switch(0);
  sw.SetEepromByte(0x0024, 0x04);
  sw.SetEepromByte(0x000C, 0x03);
  wire.Set(SwitchMac(1), 0x0307, 0x00FF);
  wire.Set(SwitchMac(1), 0x0000, 2);
  EXPECT_EQ(wire.Get(SwitchMac(1), 0x0307), 0x0000u);
  EXPECT_EQ(wire.Get(SwitchMac(1), 0x030B), 0x0041u);
  EXPECT_FALSE(sw.Muted());
}

TEST(EmulatedSwitchReset, AccessBitInEepromMutesTheSwitchAfterHardwareReset) {
  for (uint32_t vendor : {0x6B2D7003u, 0x6B2D7002u}) {
    Wire wire(ScenarioOf({PlainSwitch(vendor)}));
    EmulatedSwitch& sw = wire.segment.Switch(0);
    sw.SetEepromByte(0x000C, 0x03);
    EXPECT_EQ(wire.Get(SwitchMac(1), 0x0200), 0u) << "answers until the reset";
    wire.Set(SwitchMac(1), 0x0000, 1);
    EXPECT_TRUE(wire.Get(SwitchMac(1), 0x0200)) << "a soft reset does not read the EEPROM";
    wire.Set(SwitchMac(1), 0x0000, 2);
    EXPECT_TRUE(sw.Muted());
    EXPECT_FALSE(wire.Get(SwitchMac(1), 0x0200));
    EXPECT_TRUE(wire.Hello().empty());
    sw.SetMuted(false);
    EXPECT_TRUE(wire.Get(SwitchMac(1), 0x0200));
  }
}

TEST(EmulatedSwitchReset, SoftResetKeepsSettings) {
  Wire wire(ScenarioOf({PlainSwitch(0x6B2D7002)}));
  EmulatedSwitch& sw = wire.segment.Switch(0);
  wire.Set(SwitchMac(1), 0x060A, 0x8888);
  wire.Set(SwitchMac(1), 0x0209, 0x4321);
  wire.Set(SwitchMac(1), 0x0000, 1, {0x43, 0x21});
  EXPECT_EQ(sw.SoftResets(), 1);
  EXPECT_EQ(sw.HardwareResets(), 0);
  EXPECT_EQ(sw.Register(0x060A), 0x8888u);
  EXPECT_EQ(sw.Key(), 0x4321);
}

// Every register a get can see, counters aside.
std::map<uint16_t, uint32_t> Settings(const EmulatedSwitch& sw) {
  std::map<uint16_t, uint32_t> all;
  for (uint32_t r = 0; r < 0x0800; ++r)
    if (r < kRegMibCounter1 || r > kRegMibLast) all[static_cast<uint16_t>(r)] = sw.Register(static_cast<uint16_t>(r));
  return all;
}

TEST(EmulatedSwitchReset, HardwareResetOfAnUntouchedSwitchChangesNothing) {
  std::vector<SwitchSetup> setups;
  int n = 1;
  for (uint32_t vendor : {0x6B2D7001u, 0x6B2D7003u, 0x6B2D7004u, 0x6B2D7002u, 0x4C4A2601u})
    setups.push_back(PlainSwitch(vendor, n++));
  SwitchSetup foreign = PlainSwitch(0x12347001, n++);
  foreign.eepromVendorId = 0x6B2D7001;  // a 16-port chip behind another maker code
  setups.push_back(foreign);
  // The default scenario's access switches keep all their settings in EEPROM too.
  for (const auto& s : DefaultScenario().switches)
    if (ModelPortCount(s) == 16) setups.push_back(s);
  for (auto& s : setups) s.upstream = -1;

  Wire wire(ScenarioOf(setups));
  for (int i = 0; i < wire.segment.SwitchCount(); ++i) {
    EmulatedSwitch& sw = wire.segment.Switch(i);
    const auto before = Settings(sw);
    const auto eeprom = sw.Eeprom();
    wire.Set(sw.MacAddress(), 0x0000, 2);
    ASSERT_EQ(sw.HardwareResets(), 1) << sw.Name();
    EXPECT_FALSE(sw.Muted()) << sw.Name();
    EXPECT_EQ(Settings(sw), before) << sw.Name();
    EXPECT_EQ(sw.Eeprom(), eeprom) << sw.Name();
  }
}

// ---------------------------------------------------------------- MIB counters

SwitchSetup CountingSwitch() {
  SwitchSetup s = PlainSwitch(0x6B2D7001);
  PortTraffic& t = s.ports[3].traffic;
  t.Total(TrafficKind::RxPackets) = 1000;
  t.Rate(TrafficKind::RxPackets) = 100;
  t.Total(TrafficKind::RxBytes) = 64000;
  t.Rate(TrafficKind::RxBytes) = 300;
  t.Total(TrafficKind::TxPackets) = 500;
  t.Total(TrafficKind::DropPackets) = 7;
  t.Total(TrafficKind::CrcErrors) = 3;
  s.ports[2].traffic.Total(TrafficKind::RxPackets) = 42;
  return s;
}

TEST(EmulatedSwitchMib, CountersCountTheSelectedKindAndAdvanceWithTheClock) {
  Wire wire(ScenarioOf({CountingSwitch()}));
  const Mac m = SwitchMac(1);
  // Power-on selection 0x0555: packets everywhere.
  EXPECT_EQ(wire.Get(m, 0x070D + 3), 1000u);
  EXPECT_EQ(wire.Get(m, 0x0727 + 3), 500u);
  EXPECT_EQ(wire.Get(m, 0x0741 + 3), 7u);
  wire.clock.Advance(2'000'000);
  EXPECT_EQ(wire.Get(m, 0x070D + 3), 1200u);
  EXPECT_EQ(wire.Get(m, 0x070D + 2), 42u);

  // Chip port 3 (bits 6-11 of 0x0701): counter 1 to bytes, counter 2 to CRC errors. A new
  // selection starts from zero.
  wire.Set(m, 0x0701, (0x18u << 6) | 0x15u);
  EXPECT_EQ(wire.Get(m, 0x070D + 3), 0u);
  wire.clock.Advance(1'000'000);
  EXPECT_EQ(wire.Get(m, 0x070D + 3), 300u);
  EXPECT_EQ(wire.Get(m, 0x0727 + 3), 0u);
  EXPECT_EQ(wire.Get(m, 0x070D + 2), 42u) << "the other port of the register is untouched";
}

TEST(EmulatedSwitchMib, ConsoleClearTogglesTheSelectionAndRestoresIt) {
  Wire wire(ScenarioOf({CountingSwitch()}));
  const Mac m = SwitchMac(1);
  wire.clock.Advance(1'000'000);
  const uint32_t selection = *wire.Get(m, 0x0701);
  wire.Set(m, 0x0701, selection ^ (0x3Fu << 6));
  wire.Set(m, 0x0701, selection);
  EXPECT_EQ(wire.Get(m, 0x0701), selection);
  EXPECT_EQ(wire.Get(m, 0x070D + 3), 0u);
  EXPECT_EQ(wire.Get(m, 0x0727 + 3), 0u);
  EXPECT_EQ(wire.Get(m, 0x0741 + 3), 0u);
  EXPECT_EQ(wire.Get(m, 0x070D + 2), 42u);
  wire.clock.Advance(500'000);
  EXPECT_EQ(wire.Get(m, 0x070D + 3), 50u);
  // Writing the same selection again clears nothing.
  wire.Set(m, 0x0701, selection);
  EXPECT_EQ(wire.Get(m, 0x070D + 3), 50u);
}

TEST(EmulatedSwitchMib, CountersAreThirtyTwoBitsAndWrap) {
  SwitchSetup s = PlainSwitch(0x6B2D7002);
  s.ports[0].traffic.Total(TrafficKind::RxPackets) = 0xFFFFFFF0ull;
  s.ports[0].traffic.Rate(TrafficKind::RxPackets) = 32;
  Wire wire(ScenarioOf({s}));
  EXPECT_EQ(wire.Get(SwitchMac(1), 0x070D), 0xFFFFFFF0u);
  wire.clock.Advance(1'000'000);
  EXPECT_EQ(wire.Get(SwitchMac(1), 0x070D), 0x10u);
  wire.segment.Switch(0).SetRegister(0x070D, 0xFFFFFFFF);
  EXPECT_EQ(wire.Get(SwitchMac(1), 0x070D), 0xFFFFFFFFu);
  wire.clock.Advance(1'000'000);
  EXPECT_EQ(wire.Get(SwitchMac(1), 0x070D), 31u);
}

}  // namespace
}  // namespace brisfell::sim::test
