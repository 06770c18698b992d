#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "engine/engine.h"
#include "fake_driver.h"

namespace brisfell {
namespace {

using testing::FakeDriver;
using testing::ManualClock;
using testing::ToVector;

Mac MacOf(int i) { return {0x02, 0x20, 0, 0, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)}; }

struct FakeSwitch {
  Mac mac;
  uint32_t vendor = 0x6B2D7001;
  KeyBytes key = kDefaultKeyBytes;
  std::array<uint8_t, 4> eepromVendor = {0, 0, 0, 0};
  bool eepromAnswers = true;
  uint8_t downLink = 0, upLink = 0;
};

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/brisfell-engine-XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Switches on a fake segment: hellos answered when the key matches, gets of the EEPROM
// registers answered from a tiny EEPROM model (bytes 26..29 hold the vendor copy).
struct Segment {
  ManualClock clock;
  FakeDriver driver{clock};
  Engine engine{driver, clock};
  std::vector<FakeSwitch> switches;
  std::map<Mac, uint16_t> eepromAddress;
  int duplicateHelloReplies = 0;
  TempDir dir;
  std::vector<std::string> messages;

  Segment() {
    engine.SetDatabasePath(dir.File("qswrec.dat"));
    engine.SetErrorNotifier([this](const std::string& m) { messages.push_back(m); });
    driver.respond = [this](const std::vector<uint8_t>& f) {
      std::vector<std::pair<int64_t, std::vector<uint8_t>>> out;
      Mac dst;
      std::copy(f.begin(), f.begin() + 6, dst.begin());
      int delay = 1000;
      for (auto& sw : switches) {
        delay += 100;
        if (dst != sw.mac && !(f[15] == rrcp::kOpHello && dst == kBroadcastMac)) continue;
        if (f[16] != sw.key[0] || f[17] != sw.key[1]) continue;
        const uint16_t reg = static_cast<uint16_t>(f[18] | f[19] << 8);
        if (f[15] == rrcp::kOpHello) {
          HelloReply r;
          r.source = sw.mac;
          r.key = sw.key;
          r.vendorId = sw.vendor;
          r.downLinkPort = sw.downLink;
          r.upLinkPort = sw.upLink;
          for (int k = 0; k <= duplicateHelloReplies; ++k)
            out.emplace_back(delay + k, ToVector(BuildHelloReply(driver.station, r)));
        } else if (f[15] == rrcp::kOpSet && reg == kRegEepromControl) {
          eepromAddress[sw.mac] = static_cast<uint16_t>(f[20] | f[21] << 8) & 0x7FF;
        } else if (f[15] == rrcp::kOpGet && sw.eepromAnswers) {
          uint32_t v = 0;
          if (reg == kRegEepromData) {
            uint16_t a = eepromAddress[sw.mac];
            if (a >= 26 && a <= 29) v = static_cast<uint32_t>(sw.eepromVendor[a - 26]) << 8;
          }
          out.emplace_back(delay, ToVector(BuildGetReply(driver.station, sw.mac, sw.key, reg, v)));
        }
      }
      return out;
    };
    engine.EnumerateAdapters();
  }

  void WriteDatabase(const std::vector<std::pair<Mac, KeyBytes>>& records, size_t extraBytes = 0) {
    std::ofstream out(dir.File("qswrec.dat"), std::ios::binary | std::ios::trunc);
    for (auto& [mac, key] : records) {
      out.write(reinterpret_cast<const char*>(mac.data()), 6);
      out.write(reinterpret_cast<const char*>(key.data()), 2);
    }
    for (size_t i = 0; i < extraBytes; ++i) out.put('\x7F');
  }

  std::vector<std::pair<Mac, KeyBytes>> ReadDatabase() {
    std::ifstream in(dir.File("qswrec.dat"), std::ios::binary);
    std::vector<std::pair<Mac, KeyBytes>> out;
    char rec[8];
    while (in.read(rec, 8)) {
      Mac m;
      std::copy(rec, rec + 6, m.begin());
      out.push_back({m, {static_cast<uint8_t>(rec[6]), static_cast<uint8_t>(rec[7])}});
    }
    return out;
  }
};

TEST(Discovery, NothingAnswersInAboutOneSecondPlusATenthPerRememberedSwitch) {
  Segment seg;
  seg.WriteDatabase({{MacOf(1), kDefaultKeyBytes}, {MacOf(2), kDefaultKeyBytes}});
  const int64_t start = seg.clock.NowMs();
  EXPECT_EQ(seg.engine.DiscoverSwitches(0, true), 0);
  EXPECT_EQ(seg.engine.SwitchCount(), 0);
  const int64_t took = seg.clock.NowMs() - start;
  EXPECT_GE(took, 1200);
  EXPECT_LE(took, 1230);
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

TEST(Discovery, The65thSwitchIsCountedButNotStored) {
  Segment seg;
  for (int i = 0; i < 65; ++i) seg.switches.push_back({MacOf(i), 0x6B2D7002});
  EXPECT_EQ(seg.engine.DiscoverSwitches(0, false), 65);
  EXPECT_EQ(seg.engine.SwitchCount(), 64);
  EXPECT_EQ(seg.engine.GetSwitchRecord(63)->mac, MacOf(63));
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
  seg.engine.SetDatabasePath(seg.dir.File("no-such-dir/qswrec.dat"));
  EXPECT_EQ(seg.engine.DiscoverSwitches(0, true), 1);
  EXPECT_EQ(seg.messages, (std::vector<std::string>{"Open record file failed!", "Open record file failed!"}));
  EXPECT_TRUE(seg.engine.DatabaseRecords().empty());
}

}  // namespace
}  // namespace brisfell
