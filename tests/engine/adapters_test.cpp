#include <gtest/gtest.h>

#include "engine/engine.h"
#include "fake_driver.h"

namespace brisfell {
namespace {

using testing::FakeDriver;
using testing::ManualClock;

struct AdapterCase {
  std::string version;
  bool family9x;
  unsigned major;
  bool wide;
};

class NameListFormat : public ::testing::TestWithParam<AdapterCase> {};

TEST_P(NameListFormat, ChosenFromDriverAndSystemVersion) {
  ManualClock clock;
  FakeDriver driver(clock);
  driver.version = GetParam().version;
  driver.os = {GetParam().family9x, GetParam().major};
  driver.names = {"eth0", "eth1"};
  driver.descriptions = {"First adapter", "Second adapter"};
  Engine engine(driver, clock);
  ASSERT_EQ(engine.EnumerateAdapters(), 2);
  EXPECT_EQ(engine.AdapterNamesWide(), GetParam().wide);
  // Whatever the format, names and descriptions line up by index.
  EXPECT_EQ(engine.AdapterName(0), "eth0");
  EXPECT_EQ(engine.AdapterName(1), "eth1");
  EXPECT_EQ(engine.AdapterDescription(0), "First adapter");
  EXPECT_EQ(engine.AdapterDescription(1), "Second adapter");
}

INSTANTIATE_TEST_SUITE_P(Versions, NameListFormat,
                         ::testing::Values(AdapterCase{"3.0", false, 5, true}, AdapterCase{"3.1", false, 5, false},
                                           AdapterCase{"4.0", false, 5, false}, AdapterCase{"2.3", false, 5, true},
                                           AdapterCase{"3.0", true, 4, false}, AdapterCase{"2.0", true, 4, false},
                                           AdapterCase{"3.0", true, 3, true},
                                           // Whole numbers, not single characters: 10 is above 3,
                                           // and 3.05 has a minor other than 0.
                                           AdapterCase{"10.0", false, 5, false}, AdapterCase{"3.05", false, 5, false},
                                           AdapterCase{"3.00", false, 5, true}, AdapterCase{"", false, 5, true},
                                           AdapterCase{"3", false, 5, true}, AdapterCase{"v4.1", false, 5, true}));

TEST(Adapters, FailureAndEmptyList) {
  ManualClock clock;
  FakeDriver driver(clock);
  Engine engine(driver, clock);
  driver.listFails = true;
  EXPECT_EQ(engine.EnumerateAdapters(), -1);
  driver.listFails = false;
  driver.names = {};
  driver.descriptions = {};
  EXPECT_EQ(engine.EnumerateAdapters(), 0);
  EXPECT_EQ(engine.AdapterDescription(0), "");
}

TEST(Adapters, OnlyTheFirstTenAreKeptAndLongTextsAreCut) {
  ManualClock clock;
  FakeDriver driver(clock);
  driver.names.clear();
  driver.descriptions.clear();
  for (int i = 0; i < 12; ++i) {
    driver.names.push_back("if" + std::to_string(i));
    driver.descriptions.push_back("adapter " + std::to_string(i));
  }
  driver.names[1] = std::string(1500, 'n');
  driver.descriptions[2] = std::string(300, 'd');
  Engine engine(driver, clock);
  ASSERT_EQ(engine.EnumerateAdapters(), 10);
  EXPECT_EQ(engine.AdapterName(1).size(), kAdapterNameSlot - 1);
  EXPECT_EQ(engine.AdapterDescription(2).size(), kAdapterDescriptionSlot - 1);
  EXPECT_EQ(engine.AdapterDescription(9), "adapter 9") << "descriptions stay aligned after long names";
  EXPECT_EQ(engine.AdapterDescription(10), "");
}

TEST(Adapters, WideNamesAreCutOnWholeUnits) {
  ManualClock clock;
  FakeDriver driver(clock);
  driver.version = "3.0";
  driver.names = {std::string(700, 'w')};  // 1400 bytes as UTF-16
  driver.descriptions = {"wide"};
  Engine engine(driver, clock);
  ASSERT_EQ(engine.EnumerateAdapters(), 1);
  EXPECT_TRUE(engine.AdapterNamesWide());
  EXPECT_EQ(engine.AdapterName(0).size(), (kAdapterNameSlot - 2) / 2);
  EXPECT_EQ(engine.AdapterDescription(0), "wide");
}

TEST(Adapters, IoHandleFollowsTheCurrentAdapter) {
  ManualClock clock;
  FakeDriver driver(clock);
  driver.names = {"a", "b", "c"};
  driver.descriptions = {"A", "B", "C"};
  Engine engine(driver, clock);
  engine.EnumerateAdapters();
  EXPECT_FALSE(engine.OpenAdapterIo(-1)) << "no adapter chosen yet";
  EXPECT_FALSE(engine.OpenAdapterIo(0)) << "0 is not the current adapter (-1)";
  engine.DiscoverSwitches(1, false);
  ASSERT_EQ(engine.CurrentAdapterIndex(), 1);
  const int opensBefore = driver.opens;
  EXPECT_FALSE(engine.OpenAdapterIo(2));
  EXPECT_EQ(driver.opens, opensBefore) << "a refused open opens nothing";
  EXPECT_TRUE(engine.CloseAdapterIo(1)) << "closing with nothing open succeeds";
  EXPECT_FALSE(engine.CloseAdapterIo(2));
  ASSERT_TRUE(engine.OpenAdapterIo(1));
  EXPECT_FALSE(engine.OpenAdapterIo(1)) << "one handle slot";
  EXPECT_TRUE(engine.CloseAdapterIo(1));
  EXPECT_EQ(driver.openHandles, 0);
}

TEST(Adapters, FailedConfigurationClosesTheAdapter) {
  ManualClock clock;
  FakeDriver driver(clock);
  Engine engine(driver, clock);
  engine.EnumerateAdapters();
  engine.DiscoverSwitches(0, false);
  driver.buffFails = true;
  EXPECT_FALSE(engine.OpenAdapterIo(0));
  EXPECT_FALSE(engine.IoOpen());
  EXPECT_EQ(driver.openHandles, 0);
}

TEST(Adapters, DiscoveryOpenFailuresReturnMinusOne) {
  for (int step = 0; step < 6; ++step) {
    ManualClock clock;
    FakeDriver driver(clock);
    driver.openFails = step == 0;
    driver.netType = step == 1 ? 7 : 0;
    driver.requestFails = step == 2;
    driver.hwFilterFails = step == 3;
    driver.buffFails = step == 4;
    driver.timeoutFails = step == 5;
    Engine engine(driver, clock);
    engine.EnumerateAdapters();
    EXPECT_EQ(engine.DiscoverSwitches(0, false), -1) << "step " << step;
    EXPECT_EQ(engine.CurrentAdapterIndex(), 0) << "set even when discovery fails";
    EXPECT_EQ(engine.SwitchCount(), 0);
    EXPECT_EQ(engine.CurrentSwitchIndex(), -1);
    EXPECT_EQ(driver.openHandles, 0) << "step " << step;
    EXPECT_FALSE(engine.LastAdapterError().empty());
  }
}

}  // namespace
}  // namespace brisfell
