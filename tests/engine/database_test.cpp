// The switch database file against hostile paths, concurrent saves and floods of records.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/engine.h"
#include "engine/safe_file.h"
#include "fake_segment.h"

namespace brisfell {
namespace {

namespace fs = std::filesystem;
using testing::MacOf;
using testing::Segment;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// What stands at qswrec.dat instead of a regular file. Each is refused before a byte is
// read (a FIFO would block the open or the read forever), and left as it is by the save.
TEST(Database, WhatIsNotARegularFileIsRefusedAndLeftAsItIs) {
  struct Case {
    const char* what;
    std::function<void(const std::string& db, const std::string& dir)> make;
  };
  const std::vector<Case> cases = {
      {"a symbolic link",
       [](const std::string& db, const std::string& dir) {
         // A private file of 8-byte multiples: its bytes would go out as MACs and keys.
         std::ofstream(dir + "/secret", std::ios::binary) << "PRIVATE-KEY-DATA";
         fs::create_symlink(dir + "/secret", db);
       }},
      {"a dangling symbolic link", [](const std::string& db, const std::string& dir) { fs::create_symlink(dir + "/nothing", db); }},
      {"a FIFO", [](const std::string& db, const std::string&) { ASSERT_EQ(::mkfifo(db.c_str(), 0600), 0); }},
      {"a directory", [](const std::string& db, const std::string&) { fs::create_directory(db); }},
  };
  for (const auto& c : cases) {
    Segment seg;
    seg.switches = {{MacOf(1), 0x6B2D7002}};
    const std::string db = seg.dir.File("qswrec.dat");
    c.make(db, seg.dir.File(""));
    const auto before = fs::symlink_status(db).type();
    ASSERT_EQ(seg.engine.DiscoverSwitches(0, true), 1) << c.what << ": discovery goes on with the broadcast";
    EXPECT_TRUE(seg.engine.DatabaseRecords().empty()) << c.what;
    ASSERT_EQ(seg.messages.size(), 2u) << c.what << ": the load and the save each say so";
    const std::string kind = std::string(c.what).find("symbolic") != std::string::npos ? "a symbolic link" : c.what;
    EXPECT_NE(seg.messages[0].find(db + ": is " + kind + ", not a regular file"), std::string::npos) << seg.messages[0];
    EXPECT_EQ(seg.messages[0].rfind("Open record file failed!\n", 0), 0u);
    EXPECT_EQ(fs::symlink_status(db).type(), before) << c.what << " is left as it is";
    if (std::string(c.what) == "a symbolic link") {
      EXPECT_EQ(ReadText(seg.dir.File("secret")), "PRIVATE-KEY-DATA");
    }
    for (const auto& entry : fs::directory_iterator(seg.dir.File("")))
      EXPECT_TRUE(entry.path().filename() == "qswrec.dat" || entry.path().filename() == "secret" ||
                  entry.path().filename() == "nothing")
          << "left behind: " << entry.path();
  }
}

TEST(Database, TheTemporaryFileNeverFollowsALinkAndNeverCollides) {
  Segment seg;
  seg.switches = {{MacOf(1), 0x6B2D7002}};
  // The old fixed temporary name, linked to a file a save run as root must not overwrite, and
  // the leftovers of a save that died half way.
  const std::string victim = seg.dir.File("victim");
  std::ofstream(victim) << "untouched";
  fs::create_symlink(victim, seg.dir.File("qswrec.dat.tmp"));
  std::ofstream(seg.dir.File("qswrec.dat.AAAAAA")) << "crashed save";
  // Two consoles one after the other, each with its own engine: both saves land.
  ASSERT_EQ(seg.engine.DiscoverSwitches(0, true), 1);
  Segment other;
  other.engine.SetDatabasePath(seg.dir.File("qswrec.dat"));
  other.switches = {{MacOf(2), 0x6B2D7001}};
  ASSERT_EQ(other.engine.DiscoverSwitches(0, true), 1);
  EXPECT_TRUE(seg.messages.empty());
  EXPECT_TRUE(other.messages.empty());
  EXPECT_EQ(ReadText(victim), "untouched");
  EXPECT_EQ(fs::file_size(seg.dir.File("qswrec.dat")), 16u) << "the second save kept the first one's switch";
  struct stat st {};
  ASSERT_EQ(::lstat(seg.dir.File("qswrec.dat").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(seg.dir.File(""))) ++files;
  EXPECT_EQ(files, 4) << "the database, the victim, the link and the old leftover; no new temporary file";
}

// Two consoles saving at the same moment: each save lands whole, neither fails.
TEST(Database, ConcurrentSavesNeverCollide) {
  Segment seg;
  seg.switches = {{MacOf(1), 0x6B2D7002}};
  ASSERT_EQ(seg.engine.DiscoverSwitches(0, false), 1);
  constexpr int kSaves = 40;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  int failures = 0;
  seg.messages.clear();
  for (int i = 0; i < kSaves; ++i) seg.engine.SaveSwitchDatabase();
  failures = static_cast<int>(seg.messages.size());
  if (child == 0) ::_exit(failures == 0 ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other console's saves failed";
  EXPECT_EQ(failures, 0) << (seg.messages.empty() ? "" : seg.messages[0]);
  EXPECT_EQ(fs::file_size(seg.dir.File("qswrec.dat")), 8u);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(seg.dir.File(""))) ++files;
  EXPECT_EQ(files, 1) << "no temporary file is left behind";
}

TEST(Database, ASaveThatFailsKeepsTheRememberedRecordsForTheNextSave) {
  Segment seg;
  seg.WriteDatabase({{MacOf(7), KeyBytesOf(0x7777)}});
  seg.engine.LoadSwitchDatabase();
  // Something stands in the file's way for a moment.
  const std::string db = seg.dir.File("qswrec.dat");
  fs::remove(db);
  fs::create_directory(db);
  seg.engine.SaveSwitchDatabase();
  ASSERT_EQ(seg.messages.size(), 1u);
  EXPECT_NE(seg.messages[0].find(db + ": is a directory"), std::string::npos) << seg.messages[0];
  ASSERT_EQ(seg.engine.DatabaseRecords().size(), 1u);
  fs::remove(db);
  seg.engine.SaveSwitchDatabase();
  ASSERT_EQ(seg.ReadDatabase().size(), 1u);
  EXPECT_EQ(seg.ReadDatabase()[0].second, KeyBytesOf(0x7777));
}

// More records than the 256 the console keeps: the ones with their own key go last out,
// whether the flood comes from the file or from the switches found.
TEST(Database, AFloodNeverPushesOutARememberedKey) {
  const KeyBytes own = KeyBytesOf(0x1234);
  // A file of 300 records, the 40 with their own key at its end: all 40 are kept, then the
  // first 216 others, in file order.
  {
    Segment seg;
    std::vector<std::pair<Mac, KeyBytes>> file;
    for (int i = 0; i < 260; ++i) file.push_back({MacOf(i), kDefaultKeyBytes});
    for (int i = 260; i < 300; ++i) file.push_back({MacOf(i), own});
    seg.WriteDatabase(file);
    seg.engine.LoadSwitchDatabase();
    const auto& loaded = seg.engine.DatabaseRecords();
    ASSERT_EQ(loaded.size(), 256u);
    EXPECT_EQ(loaded[0].mac, MacOf(0));
    EXPECT_EQ(loaded[215].mac, MacOf(215));
    for (int i = 0; i < 40; ++i) EXPECT_EQ(loaded[216 + i].mac, MacOf(260 + i));
  }
  // 250 remembered switches with their own keys and 6 with the default; 64 new switches answer
  // with the default key. The saved file keeps all 250 keys, then the most recently found.
  {
    Segment seg;
    std::vector<std::pair<Mac, KeyBytes>> file;
    for (int i = 0; i < 250; ++i) file.push_back({MacOf(1000 + i), own});
    for (int i = 0; i < 6; ++i) file.push_back({MacOf(2000 + i), kDefaultKeyBytes});
    seg.WriteDatabase(file);
    for (int i = 0; i < 64; ++i) seg.switches.push_back({MacOf(i), 0x6B2D7002});
    ASSERT_EQ(seg.engine.DiscoverSwitches(0, true), 64);
    const auto saved = seg.ReadDatabase();
    ASSERT_EQ(saved.size(), 256u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(saved[i].first, seg.engine.GetSwitchRecord(i)->mac) << "found first";
    for (int i = 0; i < 250; ++i) EXPECT_EQ(saved[6 + i], (std::pair<Mac, KeyBytes>{MacOf(1000 + i), own}));
  }
}

// A switch twice with two keys is a key change not yet confirmed: both are kept, in order, for
// discovery to try. The same record twice is kept once.
TEST(Database, ASwitchWithTwoKeysKeepsBothAndTheSameRecordOnce) {
  Segment seg;
  seg.WriteDatabase({{MacOf(1), KeyBytesOf(0x1111)}, {MacOf(2), kDefaultKeyBytes}, {MacOf(1), KeyBytesOf(0x2222)},
                     {MacOf(2), kDefaultKeyBytes}});
  seg.engine.LoadSwitchDatabase();
  const std::vector<DatabaseRecord> expected{
      {MacOf(1), KeyBytesOf(0x1111)}, {MacOf(2), kDefaultKeyBytes}, {MacOf(1), KeyBytesOf(0x2222)}};
  EXPECT_EQ(seg.engine.DatabaseRecords(), expected);
}

// A station that answers hellos in a remembered switch's name with another key, ahead of the
// switch: the remembered key stays, in the table and in the file, unless a read confirms the new.
TEST(Database, AForgedHelloNeverReplacesARememberedKey) {
  const KeyBytes own = KeyBytesOf(0x1234);
  for (const bool switchThere : {true, false}) {
    Segment seg;
    seg.switches.push_back({MacOf(1), 0x6B2D7002, KeyBytesOf(0xBEEF)});
    seg.switches.back().forger = true;
    if (switchThere) seg.switches.push_back({MacOf(1), 0x6B2D7002, own});
    seg.WriteDatabase({{MacOf(1), own}, {MacOf(2), kDefaultKeyBytes}});
    ASSERT_EQ(seg.engine.DiscoverSwitches(0, true), 1);
    EXPECT_EQ(seg.engine.GetSwitchRecord(0)->authKey, own) << switchThere;
    EXPECT_EQ(seg.engine.KeyConfirmed(0), switchThere);
    EXPECT_EQ(seg.engine.DiscoveryWarnings().size(), switchThere ? 0u : 1u);
    EXPECT_EQ(seg.ReadDatabase(), (std::vector<std::pair<Mac, KeyBytes>>{{MacOf(1), own}, {MacOf(2), kDefaultKeyBytes}}));
  }
}

// Two consoles on one file, each with what it read at its start: every edit of each survives
// the other's saves, and a view older than another console's key change never undoes it.
TEST(Database, SavesMergeWhatOtherConsolesSavedMeanwhile) {
  Segment a;
  a.switches = {{MacOf(1), 0x6B2D7002}};
  Engine b(a.driver, a.clock);
  b.SetDatabasePath(a.dir.File("qswrec.dat"));
  a.WriteDatabase({{MacOf(1), kDefaultKeyBytes}, {MacOf(5), KeyBytesOf(0x5555)}});
  ASSERT_EQ(a.engine.DiscoverSwitches(0, true), 1);  // a long-running console: it read the file now
  b.LoadSwitchDatabase();
  ASSERT_TRUE(b.RememberSwitch(MacOf(1), KeyBytesOf(0x1111)));  // the key changed elsewhere
  ASSERT_TRUE(b.RememberSwitch(MacOf(7), KeyBytesOf(0x7777)));
  ASSERT_TRUE(a.engine.RememberSwitch(MacOf(8), KeyBytesOf(0x8888)));
  ASSERT_TRUE(a.engine.ForgetSwitch(MacOf(5)));
  a.engine.SaveSwitchDatabase();  // what it found: the old key, which is no news to it
  const std::vector<std::pair<Mac, KeyBytes>> expected{
      {MacOf(1), KeyBytesOf(0x1111)}, {MacOf(7), KeyBytesOf(0x7777)}, {MacOf(8), KeyBytesOf(0x8888)}};
  EXPECT_EQ(a.ReadDatabase(), expected);
  EXPECT_TRUE(a.messages.empty());
}

// Many processes adding at once: every record lands.
TEST(Database, ConcurrentAddsKeepEveryRecord) {
  Segment seg;
  constexpr int kConsoles = 20;
  std::vector<pid_t> children;
  for (int i = 0; i < kConsoles; ++i) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      seg.engine.LoadSwitchDatabase();
      ::_exit(seg.engine.RememberSwitch(MacOf(100 + i), KeyBytesOf(static_cast<uint16_t>(0x1000 + i))) ? 0 : 1);
    }
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const auto saved = seg.ReadDatabase();
  EXPECT_EQ(saved.size(), static_cast<size_t>(kConsoles));
  for (int i = 0; i < kConsoles; ++i)
    EXPECT_NE(std::find(saved.begin(), saved.end(),
                        std::pair<Mac, KeyBytes>{MacOf(100 + i), KeyBytesOf(static_cast<uint16_t>(0x1000 + i))}),
              saved.end())
        << i;
}

// The helpers the database and scenario loading rest on.
TEST(SafeFile, ReadsOnlyRegularFilesUpToTheirLimit) {
  testing::TempDir dir;
  const std::string file = dir.File("f");
  std::ofstream(file) << "0123456789";
  std::string text, error;
  ASSERT_TRUE(ReadRegularFile(file, 10, text, error)) << error;
  EXPECT_EQ(text, "0123456789");
  EXPECT_FALSE(ReadRegularFile(file, 9, text, error));
  EXPECT_EQ(error, file + ": is too large (at most 9 bytes are read)");
  // A device never ends: refused unread.
  EXPECT_FALSE(ReadRegularFile("/dev/zero", 1 << 20, text, error));
  EXPECT_EQ(error, "/dev/zero: is a device, not a regular file");
  EXPECT_FALSE(ReadRegularFile(dir.File("missing"), 10, text, error));
  EXPECT_EQ(error, dir.File("missing") + ": No such file or directory");
  fs::create_symlink(file, dir.File("link"));
  EXPECT_FALSE(ReadRegularFile(dir.File("link"), 10, text, error));
  EXPECT_EQ(error, dir.File("link") + ": is a symbolic link, not a regular file");

  // Replacing: a regular file is replaced whole; a link is refused and kept.
  const std::vector<uint8_t> bytes = {'n', 'e', 'w'};
  ASSERT_TRUE(ReplaceFile(file, bytes.data(), bytes.size(), error)) << error;
  EXPECT_EQ(ReadText(file), "new");
  EXPECT_FALSE(ReplaceFile(dir.File("link"), bytes.data(), bytes.size(), error));
  EXPECT_TRUE(fs::is_symlink(dir.File("link")));
}

}  // namespace
}  // namespace brisfell
