// What brisfell-cli says when the wire or the files are not what they should be: the switch
// an index named, discovery's warnings, and database and scenario files it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "cli/cli_fixture.h"

namespace {

namespace fs = std::filesystem;
using brisfell::testing::CliRun;

class ReliabilityCli : public brisfell::testing::CliTest {};

int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

TEST_F(ReliabilityCli, AnIndexSaysWhichSwitchItNamed) {
  const CliRun r = Run("--sim -s 1 write 0x0301 0x0005");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.rfind("brisfell-cli: switch 1 is 02:0B:F1:16:00:03 (LM8816)\n", 0), 0u) << r.err;
  EXPECT_EQ(Lines(r.err), 1) << r.err;
  // Chosen by MAC there is nothing to say.
  const CliRun byMac = Run("--sim -s 02:0B:F1:16:00:03 read 0x0301");
  ASSERT_EQ(byMac.status, 0) << byMac.err;
  EXPECT_TRUE(byMac.err.empty()) << byMac.err;
}

TEST_F(ReliabilityCli, AModelThatCouldNotBeToldIsAWarning) {
  // A switch of another maker whose EEPROM stays busy: its vendor copy cannot be read.
  std::ofstream(dir_ / "busy.json") << R"({"switches": [
      {"name": "odd", "mac": "02:0B:F1:77:00:01", "vendorId": "0x12347001", "eepromBusyPolls": 1000,
       "uplink": {"via": 1}}]})";
  const CliRun r = Run("--sim busy.json discover");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.err), 1) << r.err;
  EXPECT_NE(r.err.find("brisfell-cli: warning: switch 02:0B:F1:77:00:01 (\"Switch 1\"): model unknown"),
            std::string::npos)
      << r.err;
}

TEST_F(ReliabilityCli, DatabaseAndScenarioFilesThatAreNotRegularFilesAreRefused) {
  std::ofstream(dir_ / "private") << "PRIVATE-KEY-DATA";
  fs::create_symlink(dir_ / "private", dir_ / "qswrec.dat");
  const CliRun db = Run("--sim discover");
  EXPECT_EQ(db.status, 1) << "a database that cannot be read fails the command";
  EXPECT_TRUE(db.out.empty()) << db.out;
  EXPECT_NE(db.err.find("Open record file failed! qswrec.dat: is a symbolic link, not a regular file"), std::string::npos)
      << db.err;
  EXPECT_TRUE(fs::is_symlink(dir_ / "qswrec.dat"));
  std::ifstream in(dir_ / "private");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "PRIVATE-KEY-DATA");

  // The temporary file of a save never goes through a link planted at the old fixed name.
  fs::remove(dir_ / "qswrec.dat");
  fs::create_symlink(dir_ / "private", dir_ / "qswrec.dat.tmp");
  const CliRun saved = Run("--sim discover");
  ASSERT_EQ(saved.status, 0) << saved.err;
  EXPECT_EQ(fs::file_size(dir_ / "qswrec.dat"), 5u * 8) << "the five switches found";
  EXPECT_FALSE(fs::is_symlink(dir_ / "qswrec.dat"));
  std::ifstream again(dir_ / "private");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), {}), "PRIVATE-KEY-DATA");

  const CliRun zero = Run("--sim /dev/zero discover");
  EXPECT_EQ(zero.status, 1);
  EXPECT_EQ(zero.err,
            "brisfell-cli: cannot load scenario: cannot read scenario file /dev/zero: is a device, not a regular file\n");
}

}  // namespace
