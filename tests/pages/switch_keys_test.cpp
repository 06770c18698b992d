// The switch database edited by hand: a remembered key makes the keyed switch of the
// keyed-pair scenario discoverable, forgetting it loses it again, an edit of a switch that
// discovery found is saved as given, and a failed save says so.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "pages/security/switch_keys.h"
#include "sim/scenario.h"
#include "support/sim_fixture.h"

namespace brisfell::testing {
namespace {

const Mac kKeyed = *ParseMac("02:0B:F1:16:00:44");
const Mac kPlain = *ParseMac("02:0B:F1:26:00:44");

struct SwitchKeys : ::testing::Test {
  SimFixture sim{sim::LoadScenarioFile(std::string(BRISFELL_SOURCE_DIR) + "/sim/scenarios/keyed-pair.json")};
  std::vector<std::string> messages;

  void SetUp() override {
    sim.engine.SetErrorNotifier([this](const std::string& m) { messages.push_back(m); });
    sim.engine.EnumerateAdapters();
  }
  int Discover() {
    sim.engine.DiscoverSwitches(0, true);
    return sim.engine.SwitchCount();
  }
  // The file's records as (MAC, key).
  std::vector<std::pair<std::string, uint16_t>> File() const {
    std::ifstream in(sim.DatabasePath(), std::ios::binary);
    const std::vector<uint8_t> b{std::istreambuf_iterator<char>(in), {}};
    std::vector<std::pair<std::string, uint16_t>> records;
    for (size_t i = 0; i + 8 <= b.size(); i += 8) {
      Mac m{};
      std::copy(b.begin() + static_cast<std::ptrdiff_t>(i), b.begin() + static_cast<std::ptrdiff_t>(i + 6), m.begin());
      records.emplace_back(FormatMac(m), LoadBe16(&b[i + 6]));
    }
    return records;
  }
  std::vector<std::vector<std::string>> Listed() const {
    return SwitchKeyTable(SwitchKeyEntries(sim.engine), true).rows;
  }
};

TEST_F(SwitchKeys, RememberingTheKeyMakesTheKeyedSwitchDiscoverableAndForgettingItLosesIt) {
  ASSERT_EQ(Discover(), 1) << "the broadcast alone finds the plain switch behind the keyed one";
  EXPECT_EQ(Listed(), (std::vector<std::vector<std::string>>{{"02:0B:F1:26:00:44", "0x5A3C", "yes"}}));

  ASSERT_TRUE(sim.engine.RememberSwitch(kKeyed, KeyBytesOf(0x1234)));
  EXPECT_EQ(File(), (std::vector<std::pair<std::string, uint16_t>>{{"02:0B:F1:26:00:44", 0x5A3C},
                                                                    {"02:0B:F1:16:00:44", 0x1234}}));
  EXPECT_EQ(Listed().back(), (std::vector<std::string>{"02:0B:F1:16:00:44", "0x1234", "no"}));

  ASSERT_EQ(Discover(), 2);
  const SwitchRecord* keyed = nullptr;
  for (int i = 0; i < 2; ++i)
    if (sim.engine.GetSwitchRecord(i)->mac == kKeyed) keyed = sim.engine.GetSwitchRecord(i);
  ASSERT_NE(keyed, nullptr) << "answered the directed hello with its key";
  EXPECT_EQ(keyed->AuthKey(), 0x1234);
  auto rows = Listed();
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{{"02:0B:F1:16:00:44", "0x1234", "yes"},
                                                          {"02:0B:F1:26:00:44", "0x5A3C", "yes"}}));

  ASSERT_TRUE(sim.engine.ForgetSwitch(kKeyed));
  EXPECT_EQ(File(), (std::vector<std::pair<std::string, uint16_t>>{{"02:0B:F1:26:00:44", 0x5A3C}}))
      << "left out although discovery had found it";
  EXPECT_EQ(sim.engine.SwitchCount(), 2) << "the switch table is not touched";
  EXPECT_EQ(Discover(), 1);
  EXPECT_TRUE(messages.empty());
}

TEST_F(SwitchKeys, AKeyGivenForAFoundSwitchIsSavedAsGivenUntilItAnswersWithAnother) {
  ASSERT_EQ(Discover(), 1);
  ASSERT_TRUE(sim.engine.RememberSwitch(kPlain, KeyBytesOf(0x4321)));
  EXPECT_EQ(File(), (std::vector<std::pair<std::string, uint16_t>>{{"02:0B:F1:26:00:44", 0x4321}}));
  EXPECT_EQ(sim.engine.GetSwitchRecord(0)->AuthKey(), kDefaultAuthKey) << "frames still carry the key it answered";
  // The directed hello with the wrong key goes unanswered; the broadcast finds it again, and the
  // save brings the file back to the key it answered with.
  ASSERT_EQ(Discover(), 1);
  EXPECT_EQ(File(), (std::vector<std::pair<std::string, uint16_t>>{{"02:0B:F1:26:00:44", 0x5A3C}}));
}

TEST_F(SwitchKeys, AnEditThatCannotBeSavedSaysSo) {
  sim.engine.SetDatabasePath(sim.tempDir + "/missing/qswrec.dat");
  EXPECT_FALSE(sim.engine.RememberSwitch(kKeyed, KeyBytesOf(0x1234)));
  EXPECT_FALSE(sim.engine.ForgetSwitch(kKeyed));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].rfind(kOpenRecordFileFailed, 0), 0u);
  // A save that works reports nothing.
  sim.engine.SetDatabasePath(sim.DatabasePath());
  EXPECT_TRUE(sim.engine.SaveSwitchDatabaseChecked());
  EXPECT_EQ(messages.size(), 2u);
}

TEST_F(SwitchKeys, BeforeADiscoveryNothingHasAnswered) {
  std::ofstream(sim.DatabasePath(), std::ios::binary).write("\x02\x0B\xF1\x16\x00\x44\x12\x34", 8);
  sim.engine.LoadSwitchDatabase();
  const Table t = SwitchKeyTable(SwitchKeyEntries(sim.engine), false);
  EXPECT_EQ(t.columns, (std::vector<std::string>{"MAC Address", "Key", "Answered"}));
  EXPECT_EQ(t.rows, (std::vector<std::vector<std::string>>{{"02:0B:F1:16:00:44", "0x1234", ""}}));
}

}  // namespace
}  // namespace brisfell::testing
