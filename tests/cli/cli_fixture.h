// Runs the built brisfell-cli in a private folder per test (its switch database and any files
// a command writes land there) and collects the exit status and both output streams.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "engine/frames.h"
#include "engine/registers.h"
#include "sim/pcap_writer.h"

namespace brisfell::testing {

// The lines of a program's output that are not empty.
inline std::vector<std::string> NonEmptyLines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) out.push_back(line);
  return out;
}

// One RRCP frame of a --pcap recording.
struct WireFrame {
  uint8_t opcode = 0;
  std::array<uint8_t, 6> destination{};
  uint16_t key = 0;     // hellos, gets and sets
  uint16_t reg = 0;     // gets, sets and their replies
  uint32_t value = 0;   // sets and get replies
};

// The RRCP frames of a recording in order; none when the file was never written.
inline std::vector<WireFrame> Recorded(const std::string& path) {
  std::vector<WireFrame> frames;
  const auto records = brisfell::sim::ReadPcapFile(path);
  if (!records) return frames;
  for (const auto& r : *records) {
    const auto f = DecodeFrame(r.bytes.data(), r.bytes.size());
    if (f) frames.push_back({f->opcode, f->destination, KeyValue(f->key), f->reg, f->value});
  }
  return frames;
}

constexpr uint8_t kOpHello = rrcp::kOpHello;
constexpr uint8_t kOpSet = rrcp::kOpSet;

// The set frames that change something: EEPROM read commands (a set of 0x0217 with bit 11,
// as discovery's vendor look-up sends) are reads.
inline std::vector<WireFrame> WriteFrames(const std::string& path) {
  std::vector<WireFrame> sets;
  for (const auto& f : Recorded(path))
    if (f.opcode == kOpSet && !(f.reg == kRegEepromControl && (f.value & kEepromReadCommand))) sets.push_back(f);
  return sets;
}

inline int CountOpcode(const std::vector<WireFrame>& frames, uint8_t opcode) {
  int n = 0;
  for (const auto& f : frames) n += f.opcode == opcode;
  return n;
}

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
  nlohmann::json Json() const { return nlohmann::json::parse(out); }
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("brisfell-cli-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // brisfell-cli with these arguments (shell words), run in the test's folder.
  CliRun Run(const std::string& args) { return Shell("'" + Program("brisfell-cli") + "' " + args); }

  // A built program's path.
  static std::string Program(const std::string& name) { return std::string(BRISFELL_BIN_DIR) + "/" + name; }

  // A shell command line, run in the test's folder.
  CliRun Shell(const std::string& commandLine) {
    const std::string outFile = (dir_ / "stdout.txt").string();
    const std::string errFile = (dir_ / "stderr.txt").string();
    const std::string command =
        "cd '" + dir_.string() + "' && { " + commandLine + "; } >'" + outFile + "' 2>'" + errFile + "'";
    const int raw = std::system(command.c_str());
    CliRun r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream out(outFile), err(errFile);
    r.out.assign(std::istreambuf_iterator<char>(out), {});
    r.err.assign(std::istreambuf_iterator<char>(err), {});
    return r;
  }

  // A file in the test's folder.
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  bool Exists(const std::string& name) const { return std::filesystem::exists(dir_ / name); }
  void WriteFile(const std::string& name, const std::string& text) const { std::ofstream(dir_ / name) << text; }
  std::vector<uint8_t> ReadBytes(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
  }

  std::filesystem::path dir_;
};

}  // namespace brisfell::testing
