#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "engine/engine.h"
#include "fake_segment.h"

namespace brisfell {
namespace {

using testing::FakeDriver;
using testing::MacOf;
using testing::ManualClock;
using testing::Segment;
using testing::ToVector;

TEST(Discovery, NothingAnswersInOneSecondPlusOneTenthForAllRememberedSwitches) {
  Segment seg;
  seg.WriteDatabase({{MacOf(1), kDefaultKeyBytes}, {MacOf(2), kDefaultKeyBytes}});
  const int64_t start = seg.clock.NowMs();
  EXPECT_EQ(seg.engine.DiscoverSwitches(0, true), 0);
  EXPECT_EQ(seg.engine.SwitchCount(), 0);
  const int64_t took = seg.clock.NowMs() - start;
  EXPECT_GE(took, 1100);
  EXPECT_LE(took, 1130);
  EXPECT_EQ(seg.driver.openHandles, 0) << "the discovery adapter is closed";
}

TEST(Discovery, ProfilesAndFlagsFollowTheVendorIdentifier) {
  Segment seg;
  seg.switches = {{MacOf(1), 0x6B2D7003}, {MacOf(2), 0x6B2D7004}, {MacOf(3), 0x6B2D7002}, {MacOf(4), 0x6B2D7001}};
  ASSERT_EQ(seg.engine.DiscoverSwitches(0, false), 4);
  const Engine& e = seg.engine;
  EXPECT_EQ(e.PortCount(0), 16);
  EXPECT_EQ(e.ModelName(0), "LM8816");
  EXPECT_TRUE(e.AccessControlSupported(0));
  EXPECT_FALSE(e.AuthKeySettable(0));
  EXPECT_FALSE(e.AccessControlSupported(1));
  EXPECT_TRUE(e.AuthKeySettable(1));
  EXPECT_EQ(e.ModelName(2), "TGR7724");
  EXPECT_EQ(e.PortCount(2), 24);
  EXPECT_FALSE(e.AccessControlSupported(3));
  EXPECT_FALSE(e.AuthKeySettable(3));
  EXPECT_EQ(e.ModelName(4), "Unknown");
  EXPECT_EQ(e.PortCount(4), 0);
  EXPECT_EQ(e.GetSwitchRecord(4), nullptr);
  Mac m;
  EXPECT_FALSE(e.GetSwitchMac(4, m));
  EXPECT_EQ(e.CurrentSwitchIndex(), -1) << "discovery clears the current switch";
}

TEST(Discovery, PortMapsPerModelAndOutOfRangePorts) {
  Segment seg;
  seg.switches = {{MacOf(1), 0x6B2D7001}, {MacOf(2), 0x6B2D7002}, {MacOf(3), 0x11110000}};
  seg.switches[2].eepromAnswers = false;
  ASSERT_EQ(seg.engine.DiscoverSwitches(0, false), 3);
  const Engine& e = seg.engine;
  EXPECT_EQ(e.MapChipToPort(0, 15), 0);
  EXPECT_EQ(e.MapPortToChip(0, 7), 0);
  EXPECT_EQ(e.MapChipToPort(1, 0), 1);
  EXPECT_EQ(e.MapChipToPort(1, 1), 0);
  for (int i = 0; i < 3; ++i)
    for (int p = 0; p < e.PortCount(i); ++p) EXPECT_EQ(e.MapChipToPort(i, e.MapPortToChip(i, p)), p);
  // Whatever a hello reply claims, the maps are never read outside the switch's ports.
  EXPECT_EQ(e.MapChipToPort(0, 16), -1);
  EXPECT_EQ(e.MapChipToPort(0, 255), -1);
  EXPECT_EQ(e.MapPortToChip(1, 24), -1);
  EXPECT_EQ(e.MapChipToPort(2, 25), 25);
  EXPECT_EQ(e.MapChipToPort(2, 26), -1);
  EXPECT_EQ(e.MapChipToPort(3, 0), -1) << "no such switch";
}

TEST(Discovery, OtherMakerCodeLooksUpTheVendorInEeprom) {
  Segment seg;
  seg.switches = {{MacOf(1), 0x12347001}, {MacOf(2), 0x12347001}, {MacOf(3), 0x12347001}};
  seg.switches[0].eepromVendor = {0x01, 0x70, 0x2D, 0x6B};
  seg.switches[1].eepromAnswers = false;
  seg.switches[2].eepromVendor = {0x01, 0x70, 0x34, 0x12};  // another maker again
  ASSERT_EQ(seg.engine.DiscoverSwitches(0, false), 3);
  const Engine& e = seg.engine;
  EXPECT_EQ(e.GetSwitchRecord(0)->vendorId, 0x6B2D7001u);
  EXPECT_EQ(e.ModelName(0), "LM8816");
  EXPECT_EQ(e.GetSwitchRecord(1)->vendorId, 0x12347001u);
  EXPECT_EQ(e.ModelName(1), "Switch 2");
  EXPECT_EQ(e.PortCount(1), 26);
  EXPECT_TRUE(e.GetSwitchRecord(1)->trunkGroups.empty());
  EXPECT_TRUE(e.GetSwitchRecord(1)->eepromMap->empty());
  EXPECT_EQ(e.ModelName(2), "Switch 3");
  EXPECT_EQ(seg.driver.openHandles, 0);
  EXPECT_FALSE(seg.engine.IoOpen()) << "the lent handle is returned";
  // Only the switch whose EEPROM did not answer may be a known model in disguise: it is named.
  const auto warnings = seg.engine.DiscoveryWarnings();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find(FormatMac(MacOf(2))), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[0].find("model unknown"), std::string::npos) << warnings[0];
}

TEST(Discovery, DuplicateRepliesAreCountedOnceWithTheFirstReplysFields) {
  Segment seg;
  seg.switches = {{MacOf(1), 0x6B2D7002}};
  seg.switches[0].downLink = 3;
  seg.duplicateHelloReplies = 2;
  seg.WriteDatabase({{MacOf(1), kDefaultKeyBytes}});
  EXPECT_EQ(seg.engine.DiscoverSwitches(0, true), 1);
  EXPECT_EQ(seg.engine.SwitchCount(), 1);
  EXPECT_EQ(seg.engine.GetSwitchRecord(0)->downLinkPort, 3);
}

TEST(Discovery, SwitchesBeyondTheFullTableAreCountedOnceAndReported) {
  for (const int answering : {64, 65, 67}) {
    Segment seg;
    for (int i = 0; i < answering; ++i) seg.switches.push_back({MacOf(i), 0x6B2D7002});
    EXPECT_EQ(seg.engine.DiscoverSwitches(0, false), answering) << "each hello repeat answered, each switch counted once";
    EXPECT_EQ(seg.engine.SwitchCount(), 64);
    EXPECT_EQ(seg.engine.GetSwitchRecord(63)->mac, MacOf(63));
    const auto warnings = seg.engine.DiscoveryWarnings();
    if (answering == 64) {
      EXPECT_TRUE(warnings.empty());
    } else {
      ASSERT_EQ(warnings.size(), 1u);
      const int out = answering - 64;
      EXPECT_NE(warnings[0].find(Format("table is full: %d more switch%s", out, out == 1 ? "" : "es")), std::string::npos)
          << warnings[0];
    }
  }
}

// Remembered switches are all asked at once and waited for once: 256 of them that are gone
// cost one tenth of a second, not 25.6 s. Found, they are listed in database order, as before.
TEST(Discovery, DirectedHellosGoOutTogetherAndFindTheSameSwitches) {
  Segment seg;
  std::vector<std::pair<Mac, KeyBytes>> gone;
  for (int i = 0; i < 256; ++i) gone.push_back({MacOf(500 + i), kDefaultKeyBytes});
  seg.WriteDatabase(gone);
  const int64_t start = seg.clock.NowMs();
  EXPECT_EQ(seg.engine.DiscoverSwitches(0, true), 0);
  EXPECT_GE(seg.clock.NowMs() - start, 1100);
  EXPECT_LT(seg.clock.NowMs() - start, 1130);
  ASSERT_GE(seg.driver.sent.size(), 256u);
  for (int i = 0; i < 256; ++i)
    EXPECT_TRUE(std::equal(gone[i].first.begin(), gone[i].first.end(), seg.driver.sent[i].begin())) << "database order";

  Segment found;
  found.switches = {{MacOf(1), 0x6B2D7001}, {MacOf(2), 0x6B2D7002}, {MacOf(3), 0x6B2D7004}};
  found.switches[2].key = KeyBytesOf(0xBEEF);
  found.WriteDatabase({{MacOf(3), KeyBytesOf(0xBEEF)}, {MacOf(9), kDefaultKeyBytes}, {MacOf(1), kDefaultKeyBytes}});
  const int64_t start2 = found.clock.NowMs();
  EXPECT_EQ(found.engine.DiscoverSwitches(0, true), 3);
  EXPECT_LT(found.clock.NowMs() - start2, 1130);
  const std::vector<std::pair<Mac, uint16_t>> expected = {{MacOf(3), 0xBEEF}, {MacOf(1), kDefaultAuthKey}, {MacOf(2), kDefaultAuthKey}};
  ASSERT_EQ(found.engine.SwitchCount(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(found.engine.GetSwitchRecord(i)->mac, expected[i].first) << i;
    EXPECT_EQ(found.engine.GetSwitchRecord(i)->AuthKey(), expected[i].second) << i;
    EXPECT_EQ(found.engine.GetSwitchRecord(i)->index, i);
  }
  // The three directed hellos left before anything was received.
  for (int i = 0; i < 3; ++i) {
    const auto f = DecodeFrame(found.driver.sent[i].data(), found.driver.sent[i].size());
    ASSERT_TRUE(f);
    EXPECT_EQ(f->opcode, rrcp::kOpHello);
    EXPECT_NE(f->destination, kBroadcastMac);
  }
}

// The broadcast hello is repeated over its window: a switch whose first reply is lost is
// still found, and one that answers every repeat is counted once.
TEST(Discovery, ALostHelloReplyIsMadeUpByTheRepeat) {
  Segment seg;
  seg.switches = {{MacOf(1), 0x6B2D7001}, {MacOf(2), 0x6B2D7002}, {MacOf(3), 0x6B2D7003}};
  seg.switches[1].lostHelloReplies = 2;
  seg.switches[2].key = KeyBytesOf(0x4242);
  seg.switches[2].lostHelloReplies = 1;
  seg.WriteDatabase({{MacOf(3), KeyBytesOf(0x4242)}});
  EXPECT_EQ(seg.engine.DiscoverSwitches(0, true), 3);
  EXPECT_EQ(seg.engine.SwitchCount(), 3);
  int broadcasts = 0;
  for (const auto& bytes : seg.driver.sent) {
    const auto f = DecodeFrame(bytes.data(), bytes.size());
    broadcasts += f && f->opcode == rrcp::kOpHello && f->destination == kBroadcastMac;
  }
  EXPECT_EQ(broadcasts, kBroadcastHellos);
  EXPECT_TRUE(seg.engine.DiscoveryWarnings().empty());
}

TEST(Discovery, RememberedKeyFindsASwitchTheBroadcastMisses) {
  Segment seg;
  seg.switches = {{MacOf(1), 0x6B2D7004}, {MacOf(2), 0x6B2D7002}};
  seg.switches[0].key = KeyBytesOf(0xBEEF);
  EXPECT_EQ(seg.engine.DiscoverSwitches(0, true), 1) << "no database yet: only the default key";
  seg.WriteDatabase({{MacOf(1), KeyBytesOf(0xBEEF)}});
  EXPECT_EQ(seg.engine.DiscoverSwitches(0, true), 2);
  EXPECT_EQ(seg.engine.GetSwitchRecord(0)->mac, MacOf(1)) << "the directed phase answers first";
  EXPECT_EQ(seg.engine.GetSwitchRecord(0)->AuthKey(), 0xBEEF);
}

// Reaching one known switch has the same defences as a discovery: the hello is repeated, the
// model look-up survives a lost frame or says it failed.
TEST(Discovery, ReachingOneSwitchSurvivesALostReplyAndReportsAnUnknownModel) {
  Segment seg;
  seg.switches = {{MacOf(1), 0x6B2D7003}, {MacOf(2), 0x12347001}};
  seg.switches[0].lostHelloReplies = 2;
  seg.switches[1].eepromAnswers = false;
  EXPECT_EQ(seg.engine.ReachSwitch(0, MacOf(1), kDefaultKeyBytes), 1);
  EXPECT_EQ(seg.engine.ModelName(0), "LM8816");
  EXPECT_TRUE(seg.engine.DiscoveryWarnings().empty());
  EXPECT_EQ(seg.engine.ReachSwitch(0, MacOf(2), kDefaultKeyBytes), 1);
  EXPECT_EQ(seg.engine.PortCount(0), 26);
  ASSERT_EQ(seg.engine.DiscoveryWarnings().size(), 1u);
  EXPECT_NE(seg.engine.DiscoveryWarnings()[0].find(FormatMac(MacOf(2)) + " (\"Switch 1\"): model unknown"), std::string::npos);
}

TEST(Database, SavedFileListsFoundSwitchesThenRememberedOnes) {
  Segment seg;
  seg.switches = {{MacOf(1), 0x6B2D7002}, {MacOf(2), 0x6B2D7001}};
  seg.switches[1].key = KeyBytesOf(0x1111);
  // Remembered: a switch that is gone (9) and switch 2 with its own key.
  seg.WriteDatabase({{MacOf(9), KeyBytesOf(0x2222)}, {MacOf(2), KeyBytesOf(0x1111)}});
  ASSERT_EQ(seg.engine.DiscoverSwitches(0, true), 2);
  auto db = seg.ReadDatabase();
  ASSERT_EQ(db.size(), 3u);
  EXPECT_EQ(db[0].first, seg.engine.GetSwitchRecord(0)->mac);
  EXPECT_EQ(db[1].first, seg.engine.GetSwitchRecord(1)->mac);
  EXPECT_EQ(db[2], (std::pair<Mac, KeyBytes>{MacOf(9), KeyBytesOf(0x2222)}));
  struct stat st {};
  ASSERT_EQ(::stat(seg.dir.File("qswrec.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "it holds authentication keys";
  EXPECT_FALSE(std::filesystem::exists(seg.dir.File("qswrec.dat.tmp")));
}

TEST(Database, ASwitchAnsweringWithAnotherKeyIsSavedWithTheKeyItReported) {
  Segment seg;
  seg.switches = {{MacOf(1), 0x6B2D7002}};
  seg.WriteDatabase({{MacOf(1), KeyBytesOf(0x9999)}});  // stale key: only the broadcast finds it
  ASSERT_EQ(seg.engine.DiscoverSwitches(0, true), 1);
  auto db = seg.ReadDatabase();
  ASSERT_EQ(db.size(), 1u);
  EXPECT_EQ(db[0].second, kDefaultKeyBytes);
}

TEST(Database, LoadReadsWholeRecordsUpTo256) {
  Segment seg;
  seg.WriteDatabase({{MacOf(1), kDefaultKeyBytes}, {MacOf(2), KeyBytesOf(0x0102)}}, 4);  // 20 bytes
  seg.engine.LoadSwitchDatabase();
  ASSERT_EQ(seg.engine.DatabaseRecords().size(), 2u);
  EXPECT_EQ(seg.engine.DatabaseRecords()[1].key, KeyBytesOf(0x0102));

  std::vector<std::pair<Mac, KeyBytes>> many;
  for (int i = 0; i < 300; ++i) many.push_back({MacOf(i), kDefaultKeyBytes});
  seg.WriteDatabase(many);
  seg.engine.LoadSwitchDatabase();
  EXPECT_EQ(seg.engine.DatabaseRecords().size(), 256u);
  EXPECT_TRUE(seg.messages.empty());
}

TEST(Database, MissingFileIsCreatedEmptyWithoutAMessage) {
  Segment seg;
  ASSERT_FALSE(std::filesystem::exists(seg.dir.File("qswrec.dat")));
  seg.engine.LoadSwitchDatabase();
  EXPECT_TRUE(std::filesystem::exists(seg.dir.File("qswrec.dat")));
  EXPECT_EQ(std::filesystem::file_size(seg.dir.File("qswrec.dat")), 0u);
  EXPECT_TRUE(seg.engine.DatabaseRecords().empty());
  EXPECT_TRUE(seg.messages.empty());
}

TEST(Database, SaveEndsAfterTheLastRecord) {
  Segment seg;
  // The same MAC twice: the saved file holds it once and nothing of the old tail.
  seg.WriteDatabase({{MacOf(1), kDefaultKeyBytes}, {MacOf(1), kDefaultKeyBytes}});
  seg.switches = {{MacOf(1), 0x6B2D7002}};
  seg.engine.DiscoverSwitches(0, true);
  EXPECT_EQ(std::filesystem::file_size(seg.dir.File("qswrec.dat")), 8u);
}

TEST(Database, UnopenableFileReportsAndDiscoveryGoesOn) {
  Segment seg;
  seg.switches = {{MacOf(1), 0x6B2D7002}};
  const std::string path = seg.dir.File("no-such-dir/qswrec.dat");
  seg.engine.SetDatabasePath(path);
  EXPECT_EQ(seg.engine.DiscoverSwitches(0, true), 1);
  // Load and save each say so: the operator's words, then the file and the system's reason.
  ASSERT_EQ(seg.messages.size(), 2u);
  for (const auto& m : seg.messages)
    EXPECT_EQ(m.rfind("Open record file failed!\n" + path + ": No such file or directory", 0), 0u) << m;
  EXPECT_TRUE(seg.engine.DatabaseRecords().empty());
}

}  // namespace
}  // namespace brisfell
