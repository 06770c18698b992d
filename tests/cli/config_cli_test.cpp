// The configuration commands run as the built brisfell-cli on the emulated segment; runs that
// share --sim-state see each other's changes.
#include <gtest/gtest.h>

#include <string>

#include "cli/cli_fixture.h"

namespace {

using brisfell::testing::CliRun;

constexpr const char* kCore = "02:0B:F1:24:00:01";     // 24 ports
constexpr const char* kAccessA = "02:0B:F1:16:00:03";  // 16 ports
constexpr const char* kAccessB = "02:0B:F1:16:00:04";  // 16 ports, key in EEPROM: no question
constexpr const char* kGig = "02:0B:F1:26:00:01";      // 26 ports

class ConfigCli : public brisfell::testing::CliTest {
 protected:
  CliRun Cli(const std::string& args) { return Run("--sim " + args); }
  // The same emulated segment from one run to the next.
  CliRun Kept(const std::string& args) { return Run("--sim --sim-state state.json " + args); }
  static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
};

TEST_F(ConfigCli, SaveShowAndDiffOfAnUnchangedSwitch) {
  const CliRun save = Cli("config save core.qsw");
  ASSERT_EQ(save.status, 0) << save.err;
  EXPECT_EQ(std::filesystem::file_size(dir_ / "core.qsw"), 2768u);
  EXPECT_TRUE(Has(save.out, kCore));
  EXPECT_TRUE(save.err.empty()) << "no progress line when stderr is not a terminal: " << save.err;

  const CliRun again = Cli("config save core.qsw");
  EXPECT_EQ(again.status, 1) << "an existing file is replaced only after Yes";
  EXPECT_TRUE(Has(again.err, "already exists"));
  EXPECT_EQ(Cli("--yes config save core.qsw").status, 0);

  const CliRun show = Run("--json config show core.qsw");  // no switch needed
  ASSERT_EQ(show.status, 0) << show.err;
  const auto j = show.Json();
  EXPECT_EQ(j["mac"], kCore);
  EXPECT_EQ(j["data_length"], 2720);
  EXPECT_EQ(j["model_list"], "TGR7724");
  ASSERT_EQ(j["entries"].size(), 170u);
  for (const auto& e : j["entries"]) {
    EXPECT_FALSE(e["holds"].get<std::string>().empty()) << e.dump();
    EXPECT_EQ(e["saved"].get<uint32_t>() & ~e["mask"].get<uint32_t>(), 0u) << e.dump();
  }
  EXPECT_EQ(j["entries"][0]["register"], 0x0200);
  EXPECT_EQ(j["entries"][0]["holds"], "global control, loop detection");
  EXPECT_EQ(j["entries"][0]["fields"], nlohmann::json({"Loop Port Detection"}));
  const CliRun text = Run("config show core.qsw");
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_TRUE(Has(text.out, "0x0307    TrunkEnable")) << text.out;

  const CliRun diff = Cli("config diff core.qsw");
  EXPECT_EQ(diff.status, 0) << diff.err;
  EXPECT_EQ(diff.out, "No differences in 170 registers\n");  // and no empty table
}

TEST_F(ConfigCli, SaveChangeDiffLoadDiff) {
  ASSERT_EQ(Kept("config save core.qsw").status, 0);
  // 0x0307 changes inside its mask 0x007E; 0x0700 changes only bit 12, outside its mask 0x0FFF.
  ASSERT_EQ(Kept("write 0x0307 0x8206").status, 0);
  ASSERT_EQ(Kept("write 0x0700 0x1415").status, 0);

  const CliRun diff = Kept("--json config diff core.qsw");
  EXPECT_EQ(diff.status, 1) << diff.err;
  auto j = diff.Json();
  EXPECT_EQ(j["equal"], false);
  ASSERT_EQ(j["differences"].size(), 1u) << diff.out;
  EXPECT_EQ(j["differences"][0]["register"], 0x0307);
  EXPECT_EQ(j["differences"][0]["file"], 0x0004);
  EXPECT_EQ(j["differences"][0]["switch"], 0x0006);
  EXPECT_EQ(j["differences"][0]["switch_value"], 0x8206);
  const CliRun text = Kept("config diff core.qsw");
  EXPECT_EQ(text.status, 1);
  EXPECT_TRUE(Has(text.out, "0x0307")) << text.out;
  EXPECT_FALSE(Has(text.out, "0x0700")) << text.out;

  const CliRun load = Kept("--json config load core.qsw");
  ASSERT_EQ(load.status, 0) << load.err;
  j = load.Json();
  EXPECT_EQ(j["written"], 170);
  EXPECT_EQ(j["soft_reset"], true);
  ASSERT_EQ(j["changes"].size(), 1u) << load.out;
  EXPECT_EQ(j["changes"][0]["register"], 0x0307);
  EXPECT_EQ(j["changes"][0]["old"], 0x8206);
  EXPECT_EQ(j["changes"][0]["new"], 0x8204);

  EXPECT_EQ(Kept("config diff core.qsw").status, 0);
  const CliRun kept = Kept("read 0x0700");
  EXPECT_TRUE(Has(kept.out, "0x00001415")) << "the bit outside the mask stays: " << kept.out;
}

TEST_F(ConfigCli, LoadFromAnotherSwitchAsksUnlessYes) {
  ASSERT_EQ(Cli("config save core.qsw").status, 0);
  const CliRun no = Cli(std::string("-s ") + kAccessA + " config load core.qsw");
  EXPECT_EQ(no.status, 1);
  EXPECT_TRUE(Has(no.err, "This configuration file was dumped from another Switch\n( 02-0B-F1-24-00-01 )\n"
                          "Do you want to load/use same configuration on current Switch?\n( 02-0B-F1-16-00-03 )"))
      << no.err;
  EXPECT_TRUE(Has(no.err, "answered No")) << no.err;
  EXPECT_TRUE(no.out.empty());

  const CliRun yes = Cli(std::string("-s ") + kAccessA + " --yes --json config load core.qsw");
  ASSERT_EQ(yes.status, 0) << yes.err;
  EXPECT_EQ(yes.Json()["written"], 170);
  EXPECT_EQ(Cli("config load core.qsw").status, 0) << "its own switch: no question";
}

TEST_F(ConfigCli, BrokenAndMissingFiles) {
  ASSERT_EQ(Cli("config save core.qsw").status, 0);
  std::string bytes;
  {
    std::ifstream in(dir_ / "core.qsw", std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::ofstream(dir_ / "short.qsw", std::ios::binary) << bytes.substr(0, bytes.size() - 16);
  struct Case {
    std::string args;
    int status;
    const char* says;
  };
  for (const Case& c : {Case{"config show short.qsw", 1, "Invalid file format!"},
                        Case{"config load short.qsw", 1, "Invalid file format!"},
                        Case{"config diff short.qsw", 2, "Invalid file format!"},
                        Case{"config show none.qsw", 1, "Open file failed!"},
                        Case{"config load none.qsw", 1, "Open file failed!"},
                        Case{"config diff none.qsw", 2, "Open file failed!"},
                        Case{"-s 02:00:5E:00:00:99 config diff core.qsw", 2, "no such switch"},
                        // Another model's registers mean other things: both models are named.
                        Case{std::string("-s ") + kAccessA + " config diff core.qsw", 2,
                             "holds a TGR7724 switch's registers, but 02:0B:F1:16:00:03 is a LM8816 switch"},
                        Case{std::string("-s ") + kGig + " config diff core.qsw", 2, "is a 26-port switch"}}) {
    const CliRun r = Cli(c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_TRUE(Has(r.err, c.says)) << c.args << ": " << r.err;
  }
  const CliRun json = Run("--json config show short.qsw");
  EXPECT_EQ(json.status, 1);
  EXPECT_TRUE(Has(json.Json()["problem"], "runs past the end")) << json.out;
}

TEST_F(ConfigCli, FactoryDefaultAndSaveToHardware) {
  struct Case {
    std::string args;
    int status;
    bool asks;
  };
  const std::string core = std::string("-s ") + kCore + " ";
  for (const Case& c : {Case{core + "factory-default", 1, true}, Case{core + "save-eeprom", 1, true},
                        Case{std::string("-s ") + kAccessB + " save-eeprom", 0, false},
                        Case{core + "--yes save-eeprom", 0, false}}) {
    const CliRun r = Cli(c.args);
    EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
    EXPECT_EQ(Has(r.err, "Continue?"), c.asks) << c.args << ": " << r.err;
  }

  const CliRun big = Cli(std::string("-s ") + kGig + " --yes --json factory-default");
  ASSERT_EQ(big.status, 0) << big.err;
  EXPECT_EQ(big.Json()["written"], 163);
  EXPECT_EQ(big.Json()["reset"], "soft");
  EXPECT_FALSE(big.Json().contains("eeprom"));
  const CliRun none = Cli(std::string("-s ") + kGig + " --yes save-eeprom");
  EXPECT_EQ(none.status, 1);
  EXPECT_TRUE(Has(none.err, "up to 24 ports")) << none.err;

  // Saved to hardware, changed, hardware reset: the saved value is back.
  ASSERT_EQ(Kept(core + "--yes save-eeprom").status, 0);
  ASSERT_EQ(Kept(core + "write 0x0307 0x0000").status, 0);
  ASSERT_EQ(Kept(core + "write 0x0000 2").status, 0);
  EXPECT_TRUE(Has(Kept(core + "read 0x0307").out, "0x00008204"));
  const CliRun small = Kept(core + "--yes --json factory-default");
  ASSERT_EQ(small.status, 0) << small.err;
  EXPECT_EQ(small.Json()["written"], 170);
  EXPECT_EQ(small.Json()["reset"], "hard");
  EXPECT_EQ(small.Json()["eeprom"]["outcome"], "saved");
  EXPECT_TRUE(Has(Kept(core + "read 0x0307").out, "0x00008200")) << "the power-on default";
}

}  // namespace
