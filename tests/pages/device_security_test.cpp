// The Device Security page on the emulated switches: what each model offers, the key's text
// rule, the port mask as it is read and written, the key change with the switch database, the
// remote-access step, and the lock-out guard.
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "pages/security/device_security_logic.h"
#include "pages/security/lockout_guard.h"
#include "ports_fixture.h"

namespace brisfell::testing {
namespace {

constexpr uint32_t kCore = 0x6B2D7002;     // 24 ports, the station on its chip port 1
constexpr uint32_t kAccessA = 0x6B2D7003;  // 16 ports, remote-access switch
constexpr uint32_t kAccessB = 0x6B2D7004;  // 16 ports, settable key
constexpr uint32_t kLegacy = 0x6B2D7001;   // 16 ports (its EEPROM says so)
constexpr uint32_t kGig = 0x4C4A2601;      // 26 ports, another maker

struct SecurityTest : PortsTest {
  SecurityState Opened() {
    SecurityState state = NewSecurityState(ctx);
    EXPECT_EQ(RefreshSecurity(ctx, state), Outcome::Done());
    return state;
  }
  std::vector<uint8_t> DatabaseBytes() const {
    std::ifstream in(sim.DatabasePath(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  ino_t DatabaseInode() const {
    struct stat st {};
    return ::stat(sim.DatabasePath().c_str(), &st) == 0 ? st.st_ino : 0;
  }
  // The key remembered for `mac` in the database file; nullopt when it holds none.
  std::optional<uint16_t> KeyInFile(const Mac& mac) const {
    const auto bytes = DatabaseBytes();
    for (size_t i = 0; i + 8 <= bytes.size(); i += 8)
      if (std::equal(mac.begin(), mac.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i)))
        return LoadBe16(&bytes[i + 6]);
    return std::nullopt;
  }
  uint32_t Mask(const sim::EmulatedSwitch& sw) const {
    return sw.Register(kRegUnauthorisedLow) | sw.Register(kRegUnauthorisedHigh) << 16;
  }
  static uint32_t& Ticked(SecurityState& s) { return s.ports.values.at(0).ticked; }
};

TEST_F(SecurityTest, EachModelOffersItsControlsAndReadsInTheirOrder) {
  struct Case {
    uint32_t vendor;
    bool settable, access;
    const char* caption;  // after the first refresh
  };
  const Case cases[] = {{kCore, false, false, kAccessErrorCaption},
                        {kAccessA, false, true, kDisableAccessCaption},
                        {kAccessB, true, false, kSetKeyCaption},
                        {kLegacy, false, false, kAccessErrorCaption},
                        {kGig, false, false, kAccessErrorCaption}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Format("0x%08X", c.vendor));
    auto& sw = UseVendor(c.vendor);
    const SecurityState s = Opened();
    EXPECT_EQ(s.variant.keySettable, c.settable);
    EXPECT_EQ(s.variant.accessControl, c.access);
    EXPECT_EQ(s.variant.ButtonShown(), c.settable || c.access);
    EXPECT_EQ(s.accessCaption, c.caption);
    EXPECT_EQ(s.keyText, "0x5A3C");
    EXPECT_EQ(s.ports.values[0].ticked, (1u << ctx.PortCount()) - 1) << "every port may manage";
    // The key, the EEPROM (where kept), then the mask; the high half only above 16 ports.
    std::vector<uint16_t> order;
    for (uint16_t r : ReadOrder(sw))
      if (r == kRegAuthKey || r == kRegUnauthorisedLow || r == kRegUnauthorisedHigh || r == kRegEepromData)
        if (order.empty() || order.back() != r) order.push_back(r);
    std::vector<uint16_t> expected = {kRegAuthKey};
    if (c.access) expected.push_back(kRegEepromData);
    expected.push_back(kRegUnauthorisedLow);
    if (ctx.PortCount() > 16) expected.push_back(kRegUnauthorisedHigh);
    EXPECT_EQ(order, expected);
    EXPECT_FALSE(sim.engine.IoOpen());
  }
}

TEST_F(SecurityTest, TheAccessCaptionFollowsBitZeroOfTheEepromByte) {
  auto& sw = UseVendor(kAccessA);
  for (const auto& [byte, caption] : std::vector<std::pair<uint8_t, const char*>>{
           {0x00, kDisableAccessCaption}, {0x03, kEnableAccessCaption}, {0x01, kEnableAccessCaption},
           {0xFE, kDisableAccessCaption}}) {
    sw.SetEepromByte(kEepromRemoteAccess, byte);
    EXPECT_EQ(Opened().accessCaption, caption) << int(byte);
  }
  // One lost reply is asked again within the EEPROM time-out; a byte that never comes is an error.
  sw.FailReads(kRegEepromData, 1);
  EXPECT_EQ(Opened().accessCaption, kDisableAccessCaption);
  sw.FailReads(kRegEepromData, 1000000);
  SecurityState s = NewSecurityState(ctx);
  EXPECT_EQ(RefreshSecurity(ctx, s).kind, OutcomeKind::ReadFailed);
  EXPECT_EQ(s.accessCaption, kAccessErrorCaption);
}

TEST(SecurityKeyText, OnlyTheHexPrefixAndFourDigitsAreAKey) {
  const std::pair<const char*, uint16_t> accepted[] = {
      {"0x5A3C", 0x5A3C}, {"0X5a3c", 0x5A3C}, {"0xabcd", 0xABCD}, {"0XFFFF", 0xFFFF}, {"0x0000", 0}, {"0x12eF", 0x12EF}};
  for (const auto& [text, key] : accepted) EXPECT_EQ(ParseKeyText(text), std::optional<uint16_t>(key)) << text;
  const char* refused[] = {"",       "0x",      "0X",     "5A3C",    "0x5A3",  "0x5A3C0", "0x5G3C", "x05A3C",
                           "1x5A3C", "0x 5A3",  " 0x5A3", "0x-5A3",  "0x+5A3", "0y5A3C",  "005A3C", "0x5A3\n",
                           "0x5A3C ", "0xZZZZ", "\x30x5A"};
  for (const char* text : refused) EXPECT_FALSE(ParseKeyText(text).has_value()) << "'" << text << "'";
  EXPECT_EQ(KeyText(0x00AB), "0x00AB");
  EXPECT_EQ(ParseKeyText(KeyText(0xBEEF)), std::optional<uint16_t>(0xBEEF));
}

TEST_F(SecurityTest, ARefusedKeyTextSaysSoAndSendsNothing) {
  UseVendor(kAccessB);
  for (const char* text : {"0x", "1234", "0x12G4"}) {
    prompt.shown.clear();
    sim.segment.ClearRecording();
    EXPECT_EQ(SetAuthKeyFromText(ctx, text), Outcome::Refused(kKeyInvalidMessage));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, kKeyInvalidMessage);
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::None);
    EXPECT_EQ(sim.segment.FramesFromStation(), 0u);
  }
}

TEST_F(SecurityTest, TheKeyTheSwitchHasWritesNothingAndLeavesTheDatabaseAlone) {
  auto& sw = UseVendor(kAccessB);
  sim.engine.SaveSwitchDatabase();
  const auto bytes = DatabaseBytes();
  const ino_t inode = DatabaseInode();
  ASSERT_FALSE(bytes.empty());
  for (const char* text : {"0x5A3C", "0x5a3c", "0X5A3C"}) {
    EXPECT_EQ(SetAuthKeyFromText(ctx, text).kind, OutcomeKind::NothingToDo) << text;
    EXPECT_TRUE(sw.WriteLog().empty());
    EXPECT_TRUE(prompt.shown.empty());
  }
  EXPECT_EQ(DatabaseBytes(), bytes);
  EXPECT_EQ(DatabaseInode(), inode) << "the file was written again";
}

TEST_F(SecurityTest, ANewKeyGoesToTheSwitchTheRecordAndTheDatabaseAndIsFoundNextRun) {
  auto& sw = UseVendor(kAccessB);
  const Mac mac = Record().mac;
  EXPECT_EQ(SetAuthKeyFromText(ctx, "0xbeef").kind, OutcomeKind::Done);
  EXPECT_EQ(sw.WritesTo(kRegAuthKey), std::vector<uint32_t>({0xBEEF}));
  EXPECT_EQ(sw.Key(), 0xBEEF);
  EXPECT_EQ(Record().AuthKey(), 0xBEEF);
  EXPECT_EQ(KeyInFile(mac), std::optional<uint16_t>(0xBEEF));
  // Later frames carry the new key.
  uint32_t value = 0;
  {
    AdapterIo io(sim.engine);
    EXPECT_TRUE(sim.engine.ReadRegister(ctx.Switch(), kRegAuthKey, value, kRegisterTimeoutMs));
  }
  EXPECT_EQ(value, 0xBEEFu);

  // A new console on the same segment: the directed hello from the database finds the switch,
  // the broadcast alone does not.
  Engine next(sim.segment, sim.clock);
  next.SetDatabasePath(sim.DatabasePath());
  next.EnumerateAdapters();
  auto found = [&next, &mac] {
    for (int i = 0; i < next.SwitchCount(); ++i)
      if (next.GetSwitchRecord(i)->mac == mac) return next.GetSwitchRecord(i)->AuthKey();
    return uint16_t{0};
  };
  next.DiscoverSwitches(0, false);
  EXPECT_EQ(next.SwitchCount(), 4);
  EXPECT_EQ(found(), 0);
  next.DiscoverSwitches(0, true);
  EXPECT_EQ(next.SwitchCount(), 5);
  EXPECT_EQ(found(), 0xBEEF);
}

TEST_F(SecurityTest, AKeyWriteTheSwitchDoesNotTakeChangesNeitherRecordNorDatabase) {
  auto& sw = UseVendor(kAccessB);
  const Mac mac = Record().mac;
  sim.engine.SaveSwitchDatabase();
  const auto bytes = DatabaseBytes();
  sw.SetIgnoredWrites({kRegAuthKey});
  EXPECT_EQ(SetAuthKeyFromText(ctx, "0x1234"), Outcome::Refused(kRegisterWriteFailed));
  ASSERT_EQ(prompt.MessageTexts(), std::vector<std::string>({kRegisterWriteFailed}));
  EXPECT_EQ(prompt.shown.back().icon, PromptIcon::Error);
  EXPECT_EQ(sw.Key(), kDefaultAuthKey);
  EXPECT_EQ(Record().AuthKey(), kDefaultAuthKey);
  EXPECT_EQ(DatabaseBytes(), bytes);
  EXPECT_EQ(KeyInFile(mac), std::optional<uint16_t>(kDefaultAuthKey));
  EXPECT_FALSE(sim.engine.IoOpen());
}

TEST_F(SecurityTest, AnUnreadKeyRegisterWritesAndShowsNothing) {
  auto& sw = UseVendor(kAccessB);
  sw.FailReads(kRegAuthKey, -1);
  EXPECT_EQ(SetAuthKeyFromText(ctx, "0x1234").kind, OutcomeKind::ReadFailed);
  EXPECT_TRUE(sw.WriteLog().empty());
  EXPECT_TRUE(prompt.shown.empty());
  EXPECT_EQ(Record().AuthKey(), kDefaultAuthKey);
}

TEST_F(SecurityTest, SixteenPortsWriteBothRegistersWholeWithoutReadingAndTheHighOneAsZero) {
  auto& sw = UseVendor(kAccessA);
  sw.SetRegister(kRegUnauthorisedHigh, 0x00FF);  // never read on this model
  SecurityState s = Opened();
  sw.ClearLog();
  std::vector<FormWrite> written;
  EXPECT_EQ(UpdateSecurity(ctx, s, LockoutPolicy::kAsk, &written), Outcome::Done());
  EXPECT_EQ(written, (std::vector<FormWrite>{{kRegUnauthorisedLow, 0}, {kRegUnauthorisedHigh, 0}}));
  EXPECT_EQ(WriteOrder(sw), std::vector<uint16_t>({kRegUnauthorisedLow, kRegUnauthorisedHigh}));
  EXPECT_TRUE(sw.ReadLogWithoutReadBacks().empty());
  EXPECT_EQ(sw.Register(kRegUnauthorisedHigh), 0u);
}

TEST_F(SecurityTest, UntickingOneShownPortSetsExactlyItsChipBit) {
  for (uint32_t vendor : {kCore, kAccessA, kGig}) {
    auto& sw = UseVendor(vendor);
    const int station = Row(StationChipPort(ctx));
    for (int p = 0; p < ctx.PortCount(); ++p) {
      if (p == station) continue;  // the lock-out guard's own case
      SCOPED_TRACE(Format("0x%08X shown port %d", vendor, p));
      sw.SetRegister(kRegUnauthorisedLow, 0);
      sw.SetRegister(kRegUnauthorisedHigh, 0);
      SecurityState s = Opened();
      Ticked(s) &= ~(1u << p);
      ASSERT_EQ(UpdateSecurity(ctx, s), Outcome::Done());
      EXPECT_EQ(Mask(sw), 1u << sim.engine.MapPortToChip(ctx.Switch(), p));
      EXPECT_TRUE(prompt.shown.empty());
      // And read back, only that box is unticked.
      EXPECT_EQ(Ticked(s = Opened()), ((1u << ctx.PortCount()) - 1) & ~(1u << p));
    }
  }
}

TEST_F(SecurityTest, AnUnreadMaskIsWrittenOnlyWhenAllOrNoneChoseEveryBox) {
  auto& sw = UseVendor(kCore);
  sw.FailReads(kRegUnauthorisedLow, -1);
  SecurityState s = NewSecurityState(ctx);
  EXPECT_EQ(RefreshSecurity(ctx, s).kind, OutcomeKind::ReadFailed);
  sw.ClearLog();
  const Outcome held = UpdateSecurity(ctx, s);
  EXPECT_EQ(held.kind, OutcomeKind::ReadFailed);
  EXPECT_NE(held.message.find("0x0201"), std::string::npos) << held;
  EXPECT_EQ(WriteOrder(sw), std::vector<uint16_t>({kRegUnauthorisedHigh}));
  // "All" chooses every box.
  Ticked(s) = (1u << 24) - 1;
  s.ports.values[0].tickedChosen = true;
  sw.ClearLog();
  EXPECT_EQ(UpdateSecurity(ctx, s), Outcome::Done());
  EXPECT_EQ(WriteOrder(sw), std::vector<uint16_t>({kRegUnauthorisedLow, kRegUnauthorisedHigh}));
}

TEST_F(SecurityTest, TakingManagementFromTheStationsPortPassesTheGuardFirst) {
  auto& sw = UseVendor(kAccessA);  // the station comes in on chip port 15, shown as port 1
  SecurityState s = Opened();
  Ticked(s) &= ~1u;
  sw.ClearLog();
  EXPECT_EQ(UpdateSecurity(ctx, s, LockoutPolicy::kRefuse).kind, OutcomeKind::Refused);
  EXPECT_EQ(UpdateSecurity(ctx, s).kind, OutcomeKind::Declined);
  ASSERT_EQ(prompt.QuestionTexts().size(), 1u);
  EXPECT_EQ(prompt.QuestionTexts()[0].rfind("You are connected through port 1 of this switch.", 0), 0u);
  EXPECT_TRUE(sw.WriteLog().empty());
  prompt.answers = {true};
  EXPECT_EQ(UpdateSecurity(ctx, s), Outcome::Done());
  EXPECT_EQ(Mask(sw), 1u << 15);
  // From now on the switch ignores this console.
  SecurityState after = NewSecurityState(ctx);
  EXPECT_EQ(RefreshSecurity(ctx, after).kind, OutcomeKind::ReadFailed);
}

TEST_F(SecurityTest, DisablingRemoteAccessAsksFirstAndNoLeavesTheEepromAlone) {
  auto& sw = UseVendor(kAccessA);
  SecurityState s = Opened();
  ASSERT_EQ(s.accessCaption, kDisableAccessCaption);
  sw.ClearLog();
  EXPECT_EQ(PressAccessButton(ctx, s).kind, OutcomeKind::Declined);
  EXPECT_EQ(prompt.QuestionTexts(), std::vector<std::string>({kDisableAccessWarning}));
  EXPECT_EQ(prompt.shown.back().icon, PromptIcon::None);
  EXPECT_TRUE(sw.WriteLog().empty()) << "no EEPROM command at all";
  EXPECT_EQ(sw.EepromByte(kEepromRemoteAccess), 0);

  prompt.answers = {true};
  EXPECT_EQ(PressAccessButton(ctx, s).kind, OutcomeKind::Done);
  EXPECT_EQ(sw.EepromByte(kEepromRemoteAccess), kAccessDisableValue);
  EXPECT_EQ(s.accessCaption, kEnableAccessCaption);
  // Enabling does not ask.
  const size_t questions = prompt.QuestionTexts().size();
  EXPECT_EQ(PressAccessButton(ctx, s).kind, OutcomeKind::Done);
  EXPECT_EQ(sw.EepromByte(kEepromRemoteAccess), kAccessEnableValue);
  EXPECT_EQ(s.accessCaption, kDisableAccessCaption);
  EXPECT_EQ(prompt.QuestionTexts().size(), questions);
  EXPECT_FALSE(sim.engine.IoOpen());
}

TEST_F(SecurityTest, AnEepromThatRefusesTheWriteOrWasNotReadShowsTheErrorCaption) {
  auto& sw = UseVendor(kAccessA);
  SecurityState s = Opened();
  sw.SetEepromWriteProtected(true);
  prompt.answers = {true};
  EXPECT_EQ(PressAccessButton(ctx, s), Outcome::Refused(kEepromWriteFailed));
  EXPECT_EQ(s.accessCaption, kAccessErrorCaption);
  EXPECT_EQ(prompt.MessageTexts(), std::vector<std::string>({kEepromWriteFailed}));
  EXPECT_EQ(prompt.shown.back().icon, PromptIcon::Error);
  // With the error caption the button only says so.
  sw.ClearLog();
  prompt.shown.clear();
  EXPECT_EQ(PressAccessButton(ctx, s), Outcome::Refused(kAccessErrorCaption));
  EXPECT_EQ(prompt.MessageTexts(), std::vector<std::string>({kAccessErrorCaption}));
  EXPECT_TRUE(sw.WriteLog().empty());
}

TEST_F(SecurityTest, WithoutASwitchNothingIsSentOrShown) {
  sim.engine.SetCurrentSwitchIndex(-1);
  sim.segment.ClearRecording();
  SecurityState s = NewSecurityState(ctx);
  EXPECT_EQ(RefreshSecurity(ctx, s).kind, OutcomeKind::NothingToDo);
  EXPECT_EQ(UpdateSecurity(ctx, s).kind, OutcomeKind::NothingToDo);
  EXPECT_EQ(PressAccessButton(ctx, s).kind, OutcomeKind::NothingToDo);
  EXPECT_EQ(SetAuthKeyFromText(ctx, "junk").kind, OutcomeKind::NothingToDo);
  EXPECT_EQ(sim.segment.FramesFromStation(), 0u);
  EXPECT_TRUE(prompt.shown.empty());
}

}  // namespace
}  // namespace brisfell::testing
