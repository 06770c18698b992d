// Runs the built brisfell-cli in a private folder per test (its switch database and any files
// a command writes land there) and collects the exit status and both output streams.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

namespace brisfell::testing {

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
  CliRun Run(const std::string& args) {
    const std::string outFile = (dir_ / "stdout.txt").string();
    const std::string errFile = (dir_ / "stderr.txt").string();
    const std::string command = "cd '" + dir_.string() + "' && '" + std::string(BRISFELL_BIN_DIR) +
                                "/brisfell-cli' " + args + " >'" + outFile + "' 2>'" + errFile + "'";
    const int raw = std::system(command.c_str());
    CliRun r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream out(outFile), err(errFile);
    r.out.assign(std::istreambuf_iterator<char>(out), {});
    r.err.assign(std::istreambuf_iterator<char>(err), {});
    return r;
  }

  std::filesystem::path dir_;
};

}  // namespace brisfell::testing
