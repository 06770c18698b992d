// The tag commands run as the built brisfell-cli on the emulated segment (switch 0 has 24
// ports, 1 has 16, 3 has 26); a state file carries the switches from one run to the next.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "cli/cli_fixture.h"

namespace {

using brisfell::testing::CliRun;

class TagCli : public brisfell::testing::CliTest {
 protected:
  CliRun Cli(const std::string& args) { return Run("--sim --sim-state state.json " + args); }
  nlohmann::json Tags(const std::string& switchIndex) {
    const CliRun r = Cli("-s " + switchIndex + " --json show tags");
    EXPECT_EQ(r.status, 0) << r.err;
    return r.status == 0 ? r.Json()["tags"] : nlohmann::json::array();
  }
};

TEST_F(TagCli, ShowTagsListsEveryPortTyped) {
  for (const auto& [index, ports] : {std::pair{"0", 24u}, {"1", 16u}, {"3", 26u}}) {
    SCOPED_TRACE(index);
    const auto tags = Tags(index);
    ASSERT_EQ(tags.size(), ports);
    std::set<int> chips;
    for (const auto& row : tags) {
      EXPECT_TRUE(row["port"].is_string()) << row;
      EXPECT_TRUE(row["tag_control"].is_string()) << row;
      EXPECT_TRUE(row["vid_index"].is_number()) << row;
      EXPECT_TRUE(row["vid"].is_number()) << row;
      EXPECT_TRUE(row["mode"].is_string()) << row;
      chips.insert(row["chip_port"].get<int>());
    }
    EXPECT_EQ(chips.size(), ports);  // the rows cover every chip port once
  }
  const CliRun text = Cli("-s 1 show tags");
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Tag Control"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("VID Index"), std::string::npos) << text.out;
}

TEST_F(TagCli, TagSetsTheModeOfEachPortAndSaysWhatChanged) {
  const CliRun set = Cli("--json tag 1-4,G1 insert-all");
  ASSERT_EQ(set.status, 2) << set.out;  // switch 0 has no G1: refused before any change
  EXPECT_NE(set.out.find("1-24"), std::string::npos) << set.out;

  const CliRun done = Cli("--json tag 1-4 insert-all");
  ASSERT_EQ(done.status, 0) << done.err;
  std::set<std::string> changed;
  const auto changes = done.Json()["changes"];
  for (const auto& c : changes) {
    EXPECT_EQ(c["setting"], "tag_control") << c;
    EXPECT_EQ(c["new"], "Insert tag (all frame)") << c;
    changed.insert(c["port"].get<std::string>());
  }
  EXPECT_EQ(changed, (std::set<std::string>{"1", "2", "3", "4"}));
  const auto tags = Tags("0");
  ASSERT_EQ(tags.size(), 24u);
  for (const auto& row : tags) {
    const bool chosen = changed.count(row["port"].get<std::string>()) > 0;
    EXPECT_EQ(row["mode"] == "insert-all", chosen) << row;
  }

  // The same again changes nothing and still succeeds.
  const CliRun again = Cli("--json tag 1-4 insert-all");
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_TRUE(again.Json()["changes"].empty());
  const CliRun text = Cli("tag 1-4 INSERT-ALL");
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out, "ports 1-4: nothing to change\n");  // said once, naming the ports
}

TEST_F(TagCli, DryRunAndUsageErrorsLeaveTheSwitchAlone) {
  const auto start = Tags("1");
  const CliRun dry = Cli("-s 1 --dry-run tag 1-16 remove");
  ASSERT_EQ(dry.status, 0) << dry.err;
  EXPECT_EQ(Tags("1"), start);

  for (const char* args : {"-s 1 tag 17 remove", "-s 1 tag 1 insert", "-s 1 tag x keep", "-s 1 tag 1"}) {
    SCOPED_TRACE(args);
    const CliRun bad = Cli(args);
    EXPECT_EQ(bad.status, 2) << bad.err;
    EXPECT_FALSE(bad.err.empty());
  }
  EXPECT_EQ(Tags("1"), start);
}

}  // namespace
