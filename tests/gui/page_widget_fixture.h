// What every page widget test stands on: the Qt application, the emulated segment with its
// switches discovered, a scripted prompt, the page context and a host for the page's window.
#pragma once

#include <gtest/gtest.h>

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "app_support.h"
#include "pages/common/page_context.h"
#include "pages/common/prompt.h"
#include "support/sim_fixture.h"

namespace brisfell::testing {

// The application object must exist before the first widget member.
struct QtFirst {
  QtFirst() { EnsureQtApp(); }
};

template <typename PromptType = ScriptedPrompt>
struct PageWidgetTest : ::testing::Test, QtFirst {
  SimFixture sim;
  PromptType prompt;
  PageContext ctx{sim.engine, prompt};
  QWidget host;
  std::vector<std::string> status;  // what the pages put on the status bar, in order

  void SetUp() override {
    ASSERT_GT(sim.DiscoverAndSelect(0), 0);
    ctx.showStatus = [this](const std::string& text) { status.push_back(text); };
  }
  // The first switch with that many ports (or that vendor identifier) made current, its log
  // of frames emptied.
  sim::EmulatedSwitch& Use(int ports) { return MakeCurrent(sim.IndexOfPortCount(ports)); }
  sim::EmulatedSwitch& UseVendor(uint32_t vendor) { return MakeCurrent(sim.IndexOfVendor(vendor)); }

 private:
  sim::EmulatedSwitch& MakeCurrent(int index) {
    EXPECT_GE(index, 0);
    sim.Select(index);
    sim.Emulated(index).ClearLog();
    return sim.Emulated(index);
  }
};

}  // namespace brisfell::testing
