// What every page widget test stands on: the Qt application, the emulated segment with its
// switches discovered, a scripted prompt, the page context, the engine thread the pages send
// their work to, and a host for the page's window.
#pragma once

#include <gtest/gtest.h>

#include <QDialog>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app_support.h"
#include "pages/common/page_context.h"
#include "pages/common/prompt.h"
#include "pages/widgets/dialog_runner.h"
#include "pages/widgets/engine_jobs.h"
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
  std::unique_ptr<EngineJobs> jobs;

  void SetUp() override {
    ASSERT_GT(sim.DiscoverAndSelect(0), 0);
    ctx.showStatus = [this](const std::string& text) { status.push_back(text); };
    // From here on the engine is the engine thread's.
    jobs = std::make_unique<EngineJobs>(sim.engine);
    MakeCurrent(0);
  }
  // Every job sent so far done and its result shown.
  void Settle() { jobs->WaitIdle(); }
  // Runs `fn` on the engine thread and waits for it.
  template <typename Fn>
  void OnEngine(Fn fn) {
    jobs->Run(nullptr, [&fn](JobControl& job) { fn(job.engine); }, [](bool, const JobEnd&) {});
    Settle();
  }
  // A dialog runner for the dialogs a page opens: `answer` sees the dialog (of type D) as it
  // opened, sets its controls and says whether to press OK. `opened` counts the dialogs.
  template <typename D>
  DialogRunner Answer(std::function<bool(D&)> answer, int* opened = nullptr) {
    return [answer, opened](QDialog& d) {
      if (opened) ++*opened;
      auto* dialog = dynamic_cast<D*>(&d);
      EXPECT_NE(dialog, nullptr) << "another kind of dialog opened";
      if (!dialog) return false;
      if (!answer(*dialog)) {
        dialog->reject();
        return false;
      }
      dialog->accept();
      return dialog->result() == QDialog::Accepted;
    };
  }
  // The page's window made in the host, its first reads done.
  template <typename P>
  void Show(P& page) {
    page.CreateWindow(&host);
    Settle();
  }
  // The first switch with that many ports (or that vendor identifier) made current, its log
  // of frames emptied.
  sim::EmulatedSwitch& Use(int ports) { return MakeCurrent(sim.IndexOfPortCount(ports)); }
  sim::EmulatedSwitch& UseVendor(uint32_t vendor) { return MakeCurrent(sim.IndexOfVendor(vendor)); }

 private:
  sim::EmulatedSwitch& MakeCurrent(int index) {
    EXPECT_GE(index, 0);
    OnEngine([index](Engine& engine) { engine.SetCurrentSwitchIndex(index); });
    jobs->SetCurrentSwitch(index);
    sim.Emulated(index).ClearLog();
    return sim.Emulated(index);
  }
};

}  // namespace brisfell::testing
