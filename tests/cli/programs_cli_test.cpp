// The three programs as an administrator meets them: bash completion through the shipped
// scripts (every option each command accepts, and the values of settings), the emulator's and
// the desktop console's own command lines, and both without a display.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"

namespace {

using brisfell::testing::CliRun;

const std::string kCompletion = std::string(BRISFELL_SOURCE_DIR) + "/dist/completion/";

// Every "--name" of a help text.
std::set<std::string> LongOptions(const std::string& help) {
  std::set<std::string> seen;
  for (size_t at = help.find("--"); at != std::string::npos; at = help.find("--", at + 2)) {
    size_t end = at + 2;
    while (end < help.size() && (std::isalnum(static_cast<unsigned char>(help[end])) || help[end] == '-')) ++end;
    if (end > at + 2) seen.insert(help.substr(at, end - at));
  }
  return seen;
}

std::string Quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The words bash hands a completion function: split at blanks, and at '=' and ':' (each its
// own word), as COMP_WORDBREAKS says; an empty last word when the line ends in a blank.
std::vector<std::string> BashWords(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  for (char c : line) {
    if (c == ' ' || c == '=' || c == ':') {
      if (!word.empty()) words.push_back(word);
      word.clear();
      if (c != ' ') words.push_back(std::string(1, c));
    } else {
      word += c;
    }
  }
  if (!word.empty() || line.empty() || line.back() == ' ') words.push_back(word);
  return words;
}

class ProgramsCli : public brisfell::testing::CliTest {
 protected:
  // What the shipped completion of `program` offers for each command line (the cursor at its
  // end), from one bash: the words of each line, in order.
  std::vector<std::vector<std::string>> Complete(const std::string& program, const std::vector<std::string>& lines) {
    std::string script = "source " + Quoted(kCompletion + program) + " 2>/dev/null\n";
    const std::string function = program == "brisfell-cli" ? "_brisfell_cli" : program == "brisfell-sim" ? "_brisfell_sim" : "_brisfell";
    for (const std::string& typed : lines) {
      // The program as the built one, the rest as typed.
      const std::string line = Program(program) + typed.substr(typed.find(' ') == std::string::npos ? typed.size() : typed.find(' '));
      script += "COMP_LINE=" + Quoted(line) + "; COMP_POINT=${#COMP_LINE}; COMP_WORDS=(";
      for (const std::string& w : BashWords(line)) script += Quoted(w) + " ";
      script += ")\nCOMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n";
      script += "COMPREPLY=(); " + function + " 2>/dev/null; printf '%s\\n' \"${COMPREPLY[@]}\"; echo '@@'\n";
    }
    WriteFile("complete.sh", script);
    const CliRun r = Shell("bash complete.sh");
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::vector<std::string>> out(1);
    for (const std::string& word : brisfell::testing::NonEmptyLines(r.out)) {
      if (word == "@@")
        out.emplace_back();
      else
        out.back().push_back(word);
    }
    out.pop_back();
    EXPECT_EQ(out.size(), lines.size()) << r.out;
    out.resize(lines.size());
    return out;
  }

  static bool Has(const std::vector<std::string>& words, const std::string& w) {
    return std::find(words.begin(), words.end(), w) != words.end();
  }
};

// Completion asks the program for its options, so it cannot drift; this holds it to --help.
TEST_F(ProgramsCli, EveryOptionOfEveryCommandIsCompleted) {
  const auto commands = brisfell::testing::NonEmptyLines(Run("--commands").out);
  ASSERT_GE(commands.size(), 20u);
  std::vector<std::string> lines = {"brisfell-cli --"};
  std::vector<std::set<std::string>> wanted = {LongOptions(Run("--help").out)};
  for (const std::string& c : commands) {
    const CliRun help = Run(c + " --help");
    ASSERT_EQ(help.status, 0) << c << ": " << help.err;
    lines.push_back("brisfell-cli " + c + " --");
    wanted.push_back(LongOptions(help.out));
  }
  // The global options alone are more than a few: the help was read whole.
  EXPECT_GE(wanted[0].size(), 10u);
  const auto offered = Complete("brisfell-cli", lines);
  for (size_t i = 0; i < lines.size(); ++i) {
    for (const std::string& option : wanted[i]) EXPECT_TRUE(Has(offered[i], option)) << lines[i] << " lacks " << option;
  }
}

TEST_F(ProgramsCli, ValuesOfSettingsAndOptionsAreCompleted) {
  WriteFile("saved.qsw", "");
  struct Case {
    std::string line;
    std::vector<std::string> offered;
    std::vector<std::string> notOffered;
  };
  const std::vector<Case> cases = {
      {"brisfell-cli sh", {"show"}, {}},
      {"brisfell-cli -s 1 show ", {"status", "mib", "vlans"}, {"port"}},
      {"brisfell-cli watch ", {"status", "mib"}, {"--interval"}},
      {"brisfell-cli watch status --", {"--interval", "--count", "--json"}, {}},
      {"brisfell-cli port 3 ", {"enable", "disable", "speed", "rx", "tx", "pause"}, {"auto"}},
      {"brisfell-cli port 3 speed ", {"auto", "10h", "10f", "100h", "100f", "1000f"}, {"enable", "speed"}},
      {"brisfell-cli ports 1-4 speed 100f rx ", {"no", "128k", "8m"}, {"speed"}},
      {"brisfell-cli ports 1-4 speed 100f ", {"rx", "pause"}, {"speed"}},
      {"brisfell-cli port 3 --", {"--force", "--dry-run"}, {}},
      {"brisfell-cli tag 1-4 ", {"remove", "insert-high", "insert-all"}, {}},
      {"brisfell-cli vlan add 1-4 --", {"--vid"}, {}},
      {"brisfell-cli serve-metrics --", {"--listen", "--scrapes"}, {}},
      {"brisfell-cli mib-clear ", {"all"}, {}},
      {"brisfell-cli mib-all ", {"bytes", "packets"}, {}},
      {"brisfell-cli access ", {"enable", "disable"}, {}},
      {"brisfell-cli reset ", {"soft", "hard"}, {}},
      {"brisfell-cli --color ", {"auto", "always", "never"}, {"show"}},
      {"brisfell-cli --sim sh", {"show"}, {}},
      {"brisfell-cli --sim lab.json -s 1 sh", {"show"}, {}},
      {"brisfell-cli --sim=lab.json sh", {"show"}, {}},
      {"brisfell-cli config diff ", {"saved.qsw"}, {}},
      {"brisfell-cli --db ", {"saved.qsw"}, {"show"}},
  };
  std::vector<std::string> lines;
  for (const auto& c : cases) lines.push_back(c.line);
  const auto offered = Complete("brisfell-cli", lines);
  for (size_t i = 0; i < cases.size(); ++i) {
    for (const auto& w : cases[i].offered) EXPECT_TRUE(Has(offered[i], w)) << "'" << cases[i].line << "' lacks " << w;
    for (const auto& w : cases[i].notOffered) EXPECT_FALSE(Has(offered[i], w)) << "'" << cases[i].line << "' offers " << w;
  }
}

// The form pages take their settings from their tables; completion offers those words.
TEST_F(ProgramsCli, FormSettingsAreCompletedFromTheirTables) {
  // A form command's help lists its settings as "[keyword a|b]".
  const CliRun global = Run("global --help");
  ASSERT_EQ(global.status, 0) << global.err;
  const size_t open = global.out.find('[');
  ASSERT_NE(open, std::string::npos) << global.out;
  const size_t blank = global.out.find(' ', open);
  const size_t bar = global.out.find('|', blank);
  const std::string keyword = global.out.substr(open + 1, blank - open - 1);
  const std::string firstValue = global.out.substr(blank + 1, bar - blank - 1);
  const auto offered = Complete("brisfell-cli", {"brisfell-cli global ", "brisfell-cli global " + keyword + " "});
  EXPECT_TRUE(Has(offered[0], keyword)) << keyword;
  EXPECT_TRUE(Has(offered[1], firstValue)) << keyword << " " << firstValue;
  EXPECT_FALSE(Has(offered[1], keyword));
}

TEST_F(ProgramsCli, TheEmulatorsVersionManualAndCompletion) {
  const CliRun version = Shell("'" + Program("brisfell-sim") + "' --version");
  EXPECT_EQ(version.status, 0) << version.err;
  EXPECT_EQ(version.out.rfind("brisfell-sim ", 0), 0u) << version.out;

  const CliRun help = Shell("'" + Program("brisfell-sim") + "' --help");
  ASSERT_EQ(help.status, 0) << help.err;
  const auto options = LongOptions(help.out);
  EXPECT_TRUE(options.count("--faults")) << help.out;
  std::ifstream in(std::string(BRISFELL_SOURCE_DIR) + "/dist/man/brisfell-sim.1");
  std::string manual((std::istreambuf_iterator<char>(in)), {});
  manual.erase(std::remove(manual.begin(), manual.end(), '\\'), manual.end());
  const auto offered = Complete("brisfell-sim", {"brisfell-sim -", "brisfell-sim -i lo --faults ",
                                                 "brisfell-sim -i lo --faults seed=7,dr"});
  for (const auto& o : options) {
    EXPECT_NE(manual.find(o), std::string::npos) << o << " is not in the manual";
    EXPECT_TRUE(Has(offered[0], o)) << o << " is not completed";
  }
  // The fault keys completed are the ones the emulator knows, which it lists for a wrong one.
  const CliRun wrong = Shell("'" + Program("brisfell-sim") + "' -i lo --faults bogus=1");
  EXPECT_EQ(wrong.status, 2);
  const size_t known = wrong.err.find("(known: ");
  ASSERT_NE(known, std::string::npos) << wrong.err;
  std::set<std::string> keys;
  std::istringstream list(wrong.err.substr(known + 8, wrong.err.find(')', known) - known - 8));
  for (std::string key; std::getline(list, key, ',');) keys.insert(key.substr(key.find_first_not_of(' ')));
  std::set<std::string> completed;
  for (std::string w : offered[1]) completed.insert(w.substr(0, w.find('=')));
  EXPECT_EQ(completed, keys);
  // bash's word is "7,dr" (it breaks at '='): the pairs typed so far are kept.
  EXPECT_TRUE(Has(offered[2], "7,drop=")) << offered[2].size();
  EXPECT_TRUE(Has(offered[2], "7,dropToStation="));
}

// Help, the version and pictures need no display; without one the console says so instead of
// aborting in the toolkit.
TEST_F(ProgramsCli, TheDesktopConsoleWithoutADisplay) {
  const std::string gui = Program("brisfell");
  if (!std::filesystem::exists(gui)) GTEST_SKIP() << "the desktop console is not built";
  const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" + gui + "' ";

  const CliRun help = Shell(noDisplay + "--help");
  EXPECT_EQ(help.status, 0) << help.err;
  EXPECT_NE(help.out.find("--screenshots"), std::string::npos) << help.out;
  const CliRun version = Shell(noDisplay + "--version");
  EXPECT_EQ(version.status, 0) << version.err;
  EXPECT_EQ(version.out, "brisfell 3.30\n");
  const CliRun plain = Shell(noDisplay);
  EXPECT_EQ(plain.status, 1) << plain.err;
  EXPECT_NE(plain.err.find("no display"), std::string::npos) << plain.err;

  const auto offered = Complete("brisfell", {"brisfell -"});
  for (const auto& o : LongOptions(help.out)) EXPECT_TRUE(Has(offered[0], o)) << o << " is not completed";

  // One switch keeps the pictures few.
  WriteFile("one.json", R"({"switches": [{"mac": "02:0B:F1:24:00:01", "vendorId": "0x6B2D7002", "uplink": {"via": 0}}]})");
  const CliRun shots = Shell(noDisplay + "--simulate one.json --screenshots shots");
  ASSERT_EQ(shots.status, 0) << shots.err;
  EXPECT_NE(shots.out.find("pictures written to shots"), std::string::npos) << shots.out;
  size_t pictures = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_ / "shots"))
    pictures += entry.path().extension() == ".png" && std::filesystem::file_size(entry.path()) > 0;
  EXPECT_GE(pictures, 10u);
}

}  // namespace
