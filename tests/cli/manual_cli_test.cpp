// The manual page stays in step with the program: every registered command has its section
// with its JSON, every option of --help is described, and the page formats without warnings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <cctype>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"

namespace {

using brisfell::testing::CliRun;

const std::string kManual = std::string(BRISFELL_SOURCE_DIR) + "/dist/man/brisfell-cli.1";

// The page's lines with roff's escaped hyphens made plain.
std::vector<std::string> ManualLines() {
  std::ifstream in(kManual);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    std::string plain;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '-') continue;
      plain += line[i];
    }
    lines.push_back(plain);
  }
  return lines;
}

class ManualCli : public brisfell::testing::CliTest {};

TEST_F(ManualCli, EveryCommandHasASectionWithItsJson) {
  const CliRun r = Run("--commands");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto commands = brisfell::testing::NonEmptyLines(r.out);
  ASSERT_GE(commands.size(), 20u);
  const auto lines = ManualLines();
  ASSERT_FALSE(lines.empty()) << kManual;
  for (const auto& command : commands) {
    // ".SS show status" or ".SS port \fIPORT SETTINGS\fR...".
    size_t at = lines.size();
    for (size_t i = 0; i < lines.size() && at == lines.size(); ++i) {
      const std::string& l = lines[i];
      const std::string head = ".SS " + command;
      if (l.rfind(head, 0) == 0 && (l.size() == head.size() || l[head.size()] == ' ')) at = i;
    }
    ASSERT_LT(at, lines.size()) << "no section for '" << command << "' in " << kManual;
    bool json = false;
    for (size_t i = at + 1; i < lines.size() && lines[i].rfind(".S", 0) != 0; ++i)
      json = json || lines[i].find("JSON") != std::string::npos;
    EXPECT_TRUE(json) << "the section of '" << command << "' does not give its JSON";
  }
}

TEST_F(ManualCli, EveryOptionIsDescribed) {
  const CliRun help = Run("--help");
  ASSERT_EQ(help.status, 0) << help.err;
  std::string manual;
  for (const auto& l : ManualLines()) manual += l + "\n";
  // Every "--name" of the help text.
  std::set<std::string> seen;
  const std::string& h = help.out;
  for (size_t at = h.find("--"); at != std::string::npos; at = h.find("--", at + 2)) {
    size_t end = at + 2;
    while (end < h.size() && (std::islower(static_cast<unsigned char>(h[end])) || h[end] == '-')) ++end;
    if (end > at + 2) seen.insert(h.substr(at, end - at));
  }
  ASSERT_GE(seen.size(), 10u) << help.out;
  for (const auto& o : seen) EXPECT_NE(manual.find(o), std::string::npos) << o << " is not in " << kManual;
}

TEST_F(ManualCli, FormatsWithoutWarnings) {
  if (std::system("command -v groff >/dev/null 2>&1") != 0) GTEST_SKIP() << "groff is not installed";
  const std::string err = Path("groff.err");
  const std::string command = "groff -man -Tutf8 -ww -z '" + kManual + "' 2>'" + err + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(err);
  const std::string warnings((std::istreambuf_iterator<char>(in)), {});
  EXPECT_TRUE(warnings.empty()) << warnings;
}

}  // namespace
