// Faults given from outside C++: a scenario's "faults" object and the text of --faults; and
// scenario files that are not what they claim to be.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/sim_fixture.h"
#include "wire.h"

namespace brisfell::sim::test {
namespace {

namespace fs = std::filesystem;

const char* kTwoSwitches = R"({
  "switches": [
    {"name": "near", "mac": "02:0B:F1:77:00:01", "model": "24-port", "uplink": {"via": 1}},
    {"name": "far", "mac": "02:0B:F1:77:00:02", "model": "16-port", "uplink": {"switch": "near", "port": 5, "via": 15}}
  ])";

Scenario WithFaults(const std::string& faultsJson) {
  return ParseScenario(std::string(kTwoSwitches) + ", \"faults\": " + faultsJson + "}");
}

// The same faults said as a scenario's object and as --faults text.
TEST(FaultsFromOutside, ObjectAndTextSayTheSame) {
  struct Case {
    const char* object;
    const char* text;
    Faults expected;
    std::vector<bool> muted;
  };
  Faults lossy;
  lossy.seed = 7;
  lossy.dropToSwitches = lossy.dropToStation = 0.25;
  Faults hostile;
  hostile.replyDelayUs = 700'500;
  hostile.duplicateReplies = 1;
  hostile.duplicateDelayUs = 3'000;
  hostile.strayIpv4 = hostile.strayOtherRegister = hostile.strayOtherMac = hostile.strayTruncated = 0.5;
  hostile.lateNextReply = true;
  hostile.lateReplyDelayUs = 2'000'000;
  hostile.echoStationFrames = true;
  Faults oneWay;
  oneWay.dropToStation = 0.1;
  const std::vector<Case> cases = {
      {R"({"seed": 7, "drop": 0.25})", "seed=7,drop=0.25", lossy, {false, false}},
      {R"({"replyDelayMs": 700.5, "duplicateReplies": 1, "duplicateDelayMs": 3, "strayIpv4": 0.5,
           "strayOtherRegister": 0.5, "strayOtherMac": 0.5, "strayTruncated": 0.5, "lateNextReply": true,
           "lateReplyDelayMs": 2000, "echoStationFrames": true})",
       "replyDelayMs=700.5,duplicateReplies=1,duplicateDelayMs=3,strayIpv4=0.5,strayOtherRegister=0.5,"
       "strayOtherMac=0.5,strayTruncated=0.5,lateNextReply,lateReplyDelayMs=2000,echoStationFrames=true",
       hostile, {false, false}},
      {R"({"dropToStation": 0.1, "mute": ["far", 0]})", "dropToStation=0.1,mute=far,mute=0", oneWay, {true, true}},
  };
  for (const auto& c : cases) {
    const Scenario fromObject = WithFaults(c.object);
    Scenario fromText = ParseScenario(std::string(kTwoSwitches) + "}");
    ApplyFaultsText(fromText, c.text);
    EXPECT_TRUE(fromObject.faults == c.expected) << c.object;
    EXPECT_TRUE(fromText.faults == c.expected) << c.text;
    for (size_t i = 0; i < c.muted.size(); ++i) {
      EXPECT_EQ(fromObject.switches[i].muted, c.muted[i]) << c.object;
      EXPECT_EQ(fromText.switches[i].muted, c.muted[i]) << c.text;
    }
    // And the JSON object itself is taken as --faults text too.
    Scenario fromJsonText = ParseScenario(std::string(kTwoSwitches) + "}");
    ApplyFaultsText(fromJsonText, c.object);
    EXPECT_TRUE(fromJsonText == fromObject) << c.object;
  }
}

TEST(FaultsFromOutside, MistakesNameTheKey) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {R"({"dropp": 0.1})", "faults: unknown key \"dropp\""},
      {R"({"drop": 1.5})", "faults.drop: must be a share from 0 to 1"},
      {R"({"replyDelayMs": -1})", "faults.replyDelayMs: must be a number of milliseconds"},
      {R"({"seed": "seven"})", "faults.seed: \"seven\" is not a number"},
      {R"({"mute": ["nobody"]})", "faults.mute[0]: no switch is named \"nobody\""},
      {R"({"lateNextReply": 1})", "faults.lateNextReply: must be true or false"},
      {R"({"drop": 0.666666e66636})", "faults.drop: the number 0.666666e66636 is out of range"},
  };
  for (const auto& [object, message] : cases) {
    try {
      WithFaults(object);
      ADD_FAILURE() << object << " was accepted";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
  Scenario s = ParseScenario(std::string(kTwoSwitches) + "}");
  EXPECT_THROW(ApplyFaultsText(s, "drop=lots"), std::runtime_error);
  EXPECT_THROW(ApplyFaultsText(s, "{\"drop\": "), std::runtime_error);
  // Numbers beyond a double's range name their key, in both forms of the text.
  for (const char* text : {"seed=0.666666e66636", R"({"seed": -1e400})"}) {
    try {
      ApplyFaultsText(s, text);
      ADD_FAILURE() << text << " was accepted";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find("faults.seed: the number"), std::string::npos) << e.what();
    }
  }
}

// A scenario's faults are the segment's: the same seed makes the same wire, run after run.
TEST(FaultsFromOutside, TheSegmentTakesTheScenariosFaultsAndRepeatsThem) {
  auto run = [](const std::string& faults) {
    SimFixture f(WithFaults(faults));
    const int found = f.DiscoverAndSelect();
    return std::make_pair(found, f.segment.Recording().size());
  };
  EXPECT_EQ(run(R"({"dropToSwitches": 1})").first, 0);
  EXPECT_EQ(run(R"({"mute": ["near"]})").first, 1) << "the far switch still answers through the muted one";
  const auto a = run(R"({"seed": 3, "drop": 0.3, "duplicateReplies": 0.3})");
  EXPECT_EQ(a, run(R"({"seed": 3, "drop": 0.3, "duplicateReplies": 0.3})"));
  SimFixture clean(WithFaults("{}"));
  EXPECT_FALSE(clean.segment.GetFaults().Any());
}

// --sim /dev/zero and its kind: refused unread, never waited on, never grown without end.
TEST(ScenarioFile, OnlyARegularFileOfSensibleSizeIsRead) {
  const std::string dir = (fs::temp_directory_path() / ("brisfell-scenario-" + std::to_string(::getpid()))).string();
  fs::create_directories(dir);
  std::ofstream(dir + "/good.json") << std::string(kTwoSwitches) + "}";
  fs::create_symlink(dir + "/good.json", dir + "/link.json");
  ASSERT_EQ(::mkfifo((dir + "/fifo.json").c_str(), 0600), 0);
  {
    std::ofstream big(dir + "/big.json");
    big << std::string(kTwoSwitches) << "}";
  }
  fs::resize_file(dir + "/big.json", kMaxScenarioFileBytes + 1);
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"/dev/zero", "/dev/zero: is a device, not a regular file"},
      {dir + "/link.json", dir + "/link.json: is a symbolic link, not a regular file"},
      {dir + "/fifo.json", dir + "/fifo.json: is a FIFO, not a regular file"},
      {dir, dir + ": is a directory, not a regular file"},
      {dir + "/big.json", dir + "/big.json: is too large"},
      {dir + "/missing.json", dir + "/missing.json: No such file or directory"},
  };
  for (const auto& [path, message] : refused) {
    try {
      LoadScenarioFile(path);
      ADD_FAILURE() << path << " was read";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find("cannot read scenario file " + message), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(LoadScenarioFile(dir + "/good.json").switches.size(), 2u);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace brisfell::sim::test
