// The one way the console replaces a file, against what can be planted at the path.
#include "engine/safe_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "fake_segment.h"

namespace brisfell {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

const std::vector<uint8_t> kNew = {'n', 'e', 'w'};

// Each way of writing a file, each thing planted where it goes: refused with the path and the
// reason, the planted thing and what it leads to left as they were, nothing left behind.
TEST(SafeFile, WhatIsNotARegularFileIsNeverReplacedOrWrittenThrough) {
  struct Target {
    const char* kind;
    std::function<bool(const std::string& path, const std::string& victim)> plant;
  };
  const std::vector<Target> targets = {
      {"a symbolic link", [](const std::string& p, const std::string& v) { return ::symlink(v.c_str(), p.c_str()) == 0; }},
      {"a symbolic link", [](const std::string& p, const std::string&) { return ::symlink("nowhere", p.c_str()) == 0; }},
      {"a FIFO", [](const std::string& p, const std::string&) { return ::mkfifo(p.c_str(), 0600) == 0; }},
      {"a directory", [](const std::string& p, const std::string&) { return ::mkdir(p.c_str(), 0700) == 0; }},
      // Only root may make a device node; elsewhere the case is left out.
      {"a device", [](const std::string& p, const std::string&) { return ::mknod(p.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0; }},
  };
  using Writer = std::function<bool(const std::string& path, std::string& error)>;
  const std::vector<std::pair<const char*, Writer>> writers = {
      {"private", [](const std::string& p, std::string& e) { return ReplaceFile(p, kNew.data(), kNew.size(), e); }},
      {"shared",
       [](const std::string& p, std::string& e) { return ReplaceFile(p, kNew.data(), kNew.size(), e, FileAccess::Shared); }},
      {"published",
       [](const std::string& p, std::string& e) {
         FileReplacement f;
         return f.Begin(p, FileAccess::Private, e) && f.Write(kNew.data(), kNew.size(), e) && f.Publish(e) && f.Close(e);
       }},
  };
  for (const auto& target : targets) {
    for (const auto& [how, write] : writers) {
      SCOPED_TRACE(std::string(target.kind) + ", " + how);
      testing::TempDir dir;
      const std::string path = dir.File("out"), victim = dir.File("victim");
      std::ofstream(victim) << "untouched";
      if (!target.plant(path, victim)) {
        ASSERT_NE(::geteuid(), 0u) << "root plants every kind";
        continue;
      }
      const auto type = fs::symlink_status(path).type();
      std::string error;
      EXPECT_FALSE(write(path, error));
      EXPECT_EQ(error, path + ": is " + target.kind + ", not a regular file; left as it is");
      EXPECT_EQ(fs::symlink_status(path).type(), type);
      EXPECT_EQ(ReadText(victim), "untouched");
      EXPECT_EQ(Names(dir.File("")), (std::vector<std::string>{"out", "victim"})) << "nothing left behind";
    }
  }
}

TEST(SafeFile, ReplacementIsWholeAndKeepsOrSetsItsPermissions) {
  testing::TempDir dir;
  const mode_t oldMask = ::umask(022);
  std::string error;
  // Private: owner-only, whatever stood there before.
  const std::string keys = dir.File("keys");
  std::ofstream(keys) << "old";
  fs::permissions(keys, fs::perms(0644));
  ASSERT_TRUE(ReplaceFile(keys, kNew.data(), kNew.size(), error)) << error;
  EXPECT_EQ(ReadText(keys), "new");
  EXPECT_EQ(fs::status(keys).permissions(), fs::perms(0600));
  // Shared: a new file as the umask allows, a replaced one as it was.
  const std::string fresh = dir.File("fresh"), kept = dir.File("kept");
  ASSERT_TRUE(ReplaceFile(fresh, kNew.data(), kNew.size(), error, FileAccess::Shared)) << error;
  EXPECT_EQ(fs::status(fresh).permissions(), fs::perms(0644));
  std::ofstream(kept) << "old";
  fs::permissions(kept, fs::perms(0640));
  ASSERT_TRUE(ReplaceFile(kept, kNew.data(), kNew.size(), error, FileAccess::Shared)) << error;
  EXPECT_EQ(fs::status(kept).permissions(), fs::perms(0640));
  ::umask(oldMask);

  // Until it is committed the old file stands; an abandoned replacement leaves no trace.
  {
    FileReplacement f;
    ASSERT_TRUE(f.Begin(kept, FileAccess::Shared, error)) << error;
    const std::vector<uint8_t> other = {'x', 'y'};
    ASSERT_TRUE(f.Write(other.data(), other.size(), error)) << error;
    EXPECT_EQ(ReadText(kept), "new");
  }
  EXPECT_EQ(Names(dir.File("")), (std::vector<std::string>{"fresh", "kept", "keys"}));
  // Published at once, it grows in place.
  FileReplacement growing;
  ASSERT_TRUE(growing.Begin(dir.File("rec"), FileAccess::Private, error)) << error;
  ASSERT_TRUE(growing.Write(kNew.data(), 1, error) && growing.Publish(error)) << error;
  EXPECT_EQ(ReadText(dir.File("rec")), "n");
  ASSERT_TRUE(growing.Write(kNew.data() + 1, 2, error) && growing.Close(error)) << error;
  EXPECT_EQ(ReadText(dir.File("rec")), "new");
  EXPECT_FALSE(ReplaceFile(dir.File("no/such/folder/x"), kNew.data(), kNew.size(), error));
  EXPECT_EQ(error.rfind(dir.File("no/such/folder/x") + ": ", 0), 0u) << error;
}

TEST(SafeFile, ReadingAFifoNeitherWaitsNorReads) {
  testing::TempDir dir;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string text, error;
  bool missing = true;
  EXPECT_FALSE(ReadRegularFile(fifo, 100, text, error, &missing));
  EXPECT_EQ(error, fifo + ": is a FIFO, not a regular file");
  EXPECT_FALSE(missing);
  EXPECT_FALSE(ReadRegularFile(dir.File("gone"), 100, text, error, &missing));
  EXPECT_TRUE(missing);
}

}  // namespace
}  // namespace brisfell
