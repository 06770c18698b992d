// The files brisfell-cli writes and reads when the names lead somewhere else: a link planted
// in a shared folder, a FIFO that would never end, a device. No output goes through a link or over a
// FIFO, no input makes the command wait; each refusal names the path and the reason.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "cli/cli_fixture.h"

namespace {

namespace fs = std::filesystem;
using brisfell::testing::CliRun;

class FilesCli : public brisfell::testing::CliTest {
 protected:
  std::string Victim() const {
    std::ifstream in(dir_ / "victim");
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // Every name in the test's folder that is none of the given ones (leftover temporary files).
  std::set<std::string> Others(const std::set<std::string>& expected) const {
    std::set<std::string> others;
    for (const auto& e : fs::directory_iterator(dir_)) {
      const std::string name = e.path().filename().string();
      if (!expected.count(name) && name != "stdout.txt" && name != "stderr.txt" && name != "qswrec.dat")
        others.insert(name);
    }
    return others;
  }
};

TEST_F(FilesCli, NoOutputGoesThroughALinkOrOverAFifoOrDevice) {
  if (::geteuid() != 0) GTEST_SKIP() << "planting a device needs root";
  const std::string outputs[] = {
      "--yes config save out",
      "metrics -o out",
      "--pcap out read 0x0100",
      "--sim-state out read 0x0100",  // read first, so refused there
  };
  const std::pair<const char*, std::function<void(const fs::path&)>> plants[] = {
      {"a symbolic link", [this](const fs::path& p) { fs::create_symlink(dir_ / "victim", p); }},
      {"a FIFO", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
      // A copy of /dev/null: only root may make one (the suite runs as root).
      {"a device", [](const fs::path& p) { ASSERT_EQ(::mknod(p.c_str(), S_IFCHR | 0600, makedev(1, 3)), 0); }},
  };
  for (const auto& args : outputs) {
    for (const auto& [kind, plant] : plants) {
      SCOPED_TRACE(args + " onto " + kind);
      fs::remove(dir_ / "out");
      WriteFile("victim", "PRIVATE-KEY-DATA");
      plant(dir_ / "out");
      const auto type = fs::symlink_status(dir_ / "out").type();
      const CliRun r = Run("--sim " + args);
      EXPECT_NE(r.status, 0);
      EXPECT_NE(r.err.find(std::string("out: is ") + kind + ", not a regular file"), std::string::npos) << r.err;
      EXPECT_EQ(fs::symlink_status(dir_ / "out").type(), type) << "left as it is";
      EXPECT_EQ(Victim(), "PRIVATE-KEY-DATA");
      EXPECT_EQ(Others({"out", "victim"}), std::set<std::string>{}) << "no temporary file left behind";
    }
  }
}

TEST_F(FilesCli, NoInputWaitsOnAFifo) {
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  for (const std::string args : {"--sim config show fifo", "--sim config diff fifo", "--sim --yes config load fifo",
                                 "--sim --sim-state fifo read 0x0100", "--sim fifo discover", "--sim --db fifo discover"}) {
    SCOPED_TRACE(args);
    const CliRun r = Run(args);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("fifo: is a FIFO, not a regular file"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_fifo(dir_ / "fifo"));
  }
}

// The files it writes are replaced whole and keep what the operator chose for them; the ones
// holding keys are the owner's alone.
TEST_F(FilesCli, OutputsAreReplacedWithTheirPermissions) {
  WriteFile("metrics.prom", "old");
  fs::permissions(dir_ / "metrics.prom", fs::perms(0640));
  ASSERT_EQ(Run("--sim --pcap wire.pcap --sim-state state.json metrics -o metrics.prom").status, 0);
  EXPECT_EQ(fs::status(dir_ / "metrics.prom").permissions(), fs::perms(0640));
  EXPECT_NE(ReadBytes("metrics.prom").size(), 3u);
  for (const char* secret : {"wire.pcap", "state.json", "qswrec.dat"})
    EXPECT_EQ(fs::status(dir_ / secret).permissions(), fs::perms(0600)) << secret;
  EXPECT_EQ(Others({"metrics.prom", "wire.pcap", "state.json"}), std::set<std::string>{});
}

}  // namespace
