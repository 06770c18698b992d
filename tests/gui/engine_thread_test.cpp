// The engine on its own thread, on virtual time: results come back in order to the window's
// thread and only to whoever asked while it still exists; a job waiting is dropped and one
// running stops between frames; the logic's questions are asked on the window's thread. And
// the whole window, driven through its pages, dialogs and Tools windows, never reaches the
// wire from its own thread, while a page that reads shows it and can be cancelled.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>
#include <mutex>
#include <set>
#include <thread>

#include "app/composite_driver.h"
#include "app/network_map_window.h"
#include "app/security_audit_window.h"
#include "app/switch_keys_dialog.h"
#include "app/traffic_window.h"
#include "gui/app_support.h"
#include "page_widget_fixture.h"
#include "pages/ports/port_config_dialog.h"
#include "pages/ports/port_config_page.h"
#include "pages/status/mib_counter_page.h"
#include "pages/status/port_status_logic.h"
#include "pages/status/port_status_page.h"
#include "sim/segment.h"
#include "support/sim_fixture.h"

namespace brisfell::testing {
namespace {

// ---------------------------------------------------------------- the jobs themselves

struct EngineJobsTest : ::testing::Test, QtFirst {
  SimFixture sim;
  ScriptedPrompt prompt;
  PageContext ctx{sim.engine, prompt};
  std::unique_ptr<EngineJobs> jobs;

  void SetUp() override {
    jobs = std::make_unique<EngineJobs>(sim.engine);
    jobs->Run(
        nullptr,
        [](JobControl& job) {
          job.engine.EnumerateAdapters();
          job.engine.DiscoverSwitches(0, false);
          job.engine.SetCurrentSwitchIndex(0);
        },
        [](bool, const JobEnd&) {});
    jobs->WaitIdle();
    jobs->SetCurrentSwitch(0);
  }
  // The Port Status page's 30 reads, as a job's work.
  static auto ReadPortStatus(PageContext context) {
    return [context](JobControl&) mutable {
      Table table;
      return RefreshPortStatus(context, table);
    };
  }
};

TEST_F(EngineJobsTest, ResultsComeBackInOrderOnTheWindowsThread) {
  // The copy of the switch table came back with the discovery.
  ASSERT_EQ(jobs->View().SwitchCount(), sim.segment.SwitchCount());
  EXPECT_TRUE(jobs->View().Ready());

  std::vector<int> order;
  std::set<std::thread::id> workers, deliveries;
  for (int i = 0; i < 3; ++i)
    jobs->Run(
        nullptr,
        [i, &workers](JobControl&) {
          workers.insert(std::this_thread::get_id());
          return i;
        },
        [&](int result, const JobEnd& end) {
          EXPECT_TRUE(end.ran);
          EXPECT_FALSE(end.cancelled);
          order.push_back(result);
          deliveries.insert(std::this_thread::get_id());
        });
  EXPECT_TRUE(order.empty()) << "results come back as queued calls, never at once";
  jobs->WaitIdle();
  EXPECT_EQ(order, std::vector<int>({0, 1, 2}));
  EXPECT_EQ(workers, std::set<std::thread::id>({jobs->EngineThreadId()}));
  EXPECT_EQ(deliveries, std::set<std::thread::id>({std::this_thread::get_id()}));
}

TEST_F(EngineJobsTest, AJobWaitingIsDroppedAndOneRunningStopsBetweenFrames) {
  std::vector<std::string> heard;
  jobs->SetReadListener([&](int, const Mac& mac, bool ok) { heard.push_back(FormatMac(mac) + (ok ? " ok" : " no")); });
  const size_t before = sim.segment.FramesFromStation();
  jobs->HoldAfterReads(3);
  std::optional<bool> readAll;
  JobEnd runningEnd;
  const auto running = jobs->Run(nullptr, ReadPortStatus(jobs->EngineContext(ctx)), [&](bool ok, const JobEnd& end) {
    readAll = ok;
    runningEnd = end;
  });
  bool waitingRan = false;
  JobEnd waitingEnd;
  EngineJobs::Hooks hooks;
  hooks.ended = [&](const JobEnd& end) { waitingEnd = end; };
  const auto waiting = jobs->Run(
      nullptr, [&](JobControl&) { waitingRan = true; }, [](bool, const JobEnd&) {}, hooks);
  ASSERT_TRUE(jobs->WaitHeld());
  const size_t atHold = sim.segment.FramesFromStation();
  jobs->Cancel(waiting);
  jobs->Cancel(running);
  EXPECT_FALSE(jobs->Idle());
  jobs->Release();
  jobs->WaitIdle();

  EXPECT_FALSE(waitingRan);
  EXPECT_FALSE(waitingEnd.ran);
  EXPECT_TRUE(waitingEnd.cancelled);
  ASSERT_TRUE(readAll.has_value());
  EXPECT_FALSE(*readAll);
  EXPECT_TRUE(runningEnd.cancelled);
  EXPECT_EQ(runningEnd.failure, "") << "a cancelled read is not the switch's fault";
  // Stopped where it was: no get sent after the cancel, far from the thirty of a whole refresh.
  EXPECT_EQ(sim.segment.FramesFromStation(), atHold);
  EXPECT_LT(atHold - before, 30u);
  EXPECT_TRUE(heard.empty()) << heard.front();
  EXPECT_TRUE(jobs->Idle());
}

TEST_F(EngineJobsTest, AResultIsDeliveredOnlyWhileItsOwnerExists) {
  // The same job twice: once for an owner that stays, once for one that goes while it runs.
  for (const bool ownerGoes : {false, true}) {
    SCOPED_TRACE(ownerGoes);
    auto* owner = new QObject;
    bool delivered = false;
    jobs->HoldAfterReads(1);
    jobs->Run(owner, ReadPortStatus(jobs->EngineContext(ctx)), [&](bool, const JobEnd&) { delivered = true; });
    ASSERT_TRUE(jobs->WaitHeld());
    if (ownerGoes) delete owner;
    jobs->Release();
    jobs->WaitIdle();
    EXPECT_EQ(delivered, !ownerGoes);
    if (!ownerGoes) delete owner;
  }
}

// Records on which thread each box came up.
struct ThreadNotingPrompt : ScriptedPrompt {
  std::set<std::thread::id> threads;
  bool AskYesNo(const std::string& title, const std::string& text, PromptIcon icon) override {
    threads.insert(std::this_thread::get_id());
    return ScriptedPrompt::AskYesNo(title, text, icon);
  }
  void Message(const std::string& title, const std::string& text, PromptIcon icon) override {
    threads.insert(std::this_thread::get_id());
    ScriptedPrompt::Message(title, text, icon);
  }
};

TEST_F(EngineJobsTest, QuestionsFromTheEngineThreadAreAskedOnTheWindowsThread) {
  ThreadNotingPrompt noting;
  noting.answers = {true, false};
  PageContext context{sim.engine, noting};
  std::vector<std::string> status;
  std::set<std::thread::id> statusThreads;
  context.showStatus = [&](const std::string& text) {
    statusThreads.insert(std::this_thread::get_id());
    status.push_back(text);
  };
  std::vector<bool> answers;
  jobs->Run(
      nullptr,
      [engineContext = jobs->EngineContext(context)](JobControl&) mutable {
        std::vector<bool> got;
        got.push_back(engineContext.prompt.AskYesNo("Q", "First?", PromptIcon::Question));
        got.push_back(engineContext.prompt.AskYesNo("Q", "Second?", PromptIcon::Question));
        engineContext.prompt.Message("M", "Done", PromptIcon::Information);
        engineContext.Status("said on the engine thread");
        return got;
      },
      [&](std::vector<bool> got, const JobEnd&) { answers = got; });
  jobs->WaitIdle();
  EXPECT_EQ(answers, std::vector<bool>({true, false}));
  EXPECT_EQ(noting.QuestionTexts(), std::vector<std::string>({"First?", "Second?"}));
  EXPECT_EQ(noting.MessageTexts(), std::vector<std::string>({"Done"}));
  EXPECT_EQ(noting.threads, std::set<std::thread::id>({std::this_thread::get_id()}));
  EXPECT_EQ(status, std::vector<std::string>({"said on the engine thread"}));
  EXPECT_EQ(statusThreads, std::set<std::thread::id>({std::this_thread::get_id()}));
}

// ---------------------------------------------------------------- the whole window

// The emulated segment noting every thread that reaches it.
class ThreadNotingSegment : public sim::Segment {
 public:
  using sim::Segment::Segment;
  bool GetAdapterNames(uint8_t* buffer, uint32_t size, bool wide) override {
    Note();
    return sim::Segment::GetAdapterNames(buffer, size, wide);
  }
  std::unique_ptr<AdapterHandle> OpenAdapter(const uint8_t* name, bool wide) override {
    Note();
    return sim::Segment::OpenAdapter(name, wide);
  }
  bool SendPacket(AdapterHandle& adapter, Packet& packet) override {
    Note();
    return sim::Segment::SendPacket(adapter, packet);
  }
  bool ReceivePacket(AdapterHandle& adapter, Packet& packet) override {
    Note();
    return sim::Segment::ReceivePacket(adapter, packet);
  }
  std::set<std::thread::id> Threads() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return threads_;
  }

 private:
  void Note() {
    const std::lock_guard<std::mutex> lock(mutex_);
    threads_.insert(std::this_thread::get_id());
  }
  std::mutex mutex_;
  std::set<std::thread::id> threads_;
};

struct Window : QtFirst {
  Window() : segment(sim::DefaultScenario(), clock) {
    composite.AddMember(segment);
    rig = std::make_unique<ShellRig>(composite, clock);
  }
  MainWindow& W() { return *rig->window; }
  EngineJobs& Jobs() { return *rig->jobs; }
  void Settle() { rig->Settle(); }
  PageHost& Host(int group) { return rig->Host(group); }
  template <class P>
  P& Shown(int group, int tab) {
    W().ShowGroup(group);
    Host(group).ShowPage(tab);
    Settle();
    return static_cast<P&>(*Host(group).CurrentPage());
  }

  sim::VirtualClock clock;
  ThreadNotingSegment segment;
  CompositeDriver composite;
  std::unique_ptr<ShellRig> rig;
};

TEST(EngineThreadTest, TheWindowNeverReachesTheWireFromItsOwnThread) {
  Window s;
  MainWindow& w = s.W();
  w.SelectAdapter(0);
  s.Settle();
  ASSERT_EQ(w.SwitchSelector()->count(), 5);
  // Every tab of every group, on two models.
  for (int sw : {0, 1}) {
    w.SelectSwitch(sw);
    s.Settle();
    for (int g = 0; g < PageSet::kGroupCount; ++g) {
      w.ShowGroup(g);
      for (int t = 0; t < s.Host(g).TabCount(); ++t) {
        s.Host(g).ShowPage(t);
        s.Settle();
        w.RefreshCurrentPage();
        s.Settle();
      }
    }
  }
  // A dialog opened after its read and applied, auto refresh, and every live and Tools window.
  auto& ports = s.Shown<PortConfigPage>(1, 0);
  ports.List()->setCurrentItem(ports.List()->topLevelItem(2));
  int dialogs = 0;
  ports.SetDialogRunner([&](QDialog& d) {
    ++dialogs;
    static_cast<PortConfigDialog&>(d).TxList()->setCurrentIndex(2);
    return true;
  });
  ports.ConfigButton()->click();
  s.Settle();
  EXPECT_EQ(dialogs, 1);
  auto& status = s.Shown<PortStatusPage>(0, 1);
  status.AutoRefresh()->Box()->setChecked(true);
  EXPECT_TRUE(status.AutoRefresh()->Tick());
  s.Settle();
  w.ShowTraffic();
  s.Settle();
  w.Traffic()->hide();
  NetworkMapWindow* map = w.ShowNetworkMap();
  s.Settle();
  EXPECT_TRUE(map->ActivateNode(map->Map().NodeOfSwitch(2)));
  s.Settle();
  map->hide();
  SecurityAuditWindow audit(s.rig->engine, s.Jobs(), s.rig->prompt, &w);
  audit.Run();
  s.Settle();
  EXPECT_FALSE(audit.Findings().empty());
  SwitchKeysDialog keys(s.Jobs(), s.rig->prompt, [&] { w.SelectAdapter(0); }, &w);
  s.Settle();
  EXPECT_GT(keys.List()->topLevelItemCount(), 0);

  EXPECT_EQ(s.segment.Threads(), std::set<std::thread::id>({s.Jobs().EngineThreadId()}));
  EXPECT_TRUE(s.rig->prompt.shown.empty());
}

TEST(EngineThreadDeathTest, AnEngineCallFromTheWindowsThreadAborts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        Window s;
        s.rig->engine.EnumerateAdapters();
      },
      "does not own it");
}

TEST(EngineThreadTest, APageShowsItIsBusyWhileTheRestOfTheWindowGoesOnAndCanBeCancelled) {
  Window s;
  MainWindow& w = s.W();
  w.SelectAdapter(0);
  s.Settle();
  auto& page = s.Shown<PortStatusPage>(0, 1);
  const size_t before = s.segment.FramesFromStation();
  s.Jobs().HoldAfterReads(5);
  page.RefreshButton()->click();
  ASSERT_TRUE(s.Jobs().WaitHeld());
  const size_t atHold = s.segment.FramesFromStation();
  QApplication::sendPostedEvents();

  EXPECT_TRUE(page.Busy());
  BusyPanel* panel = page.BusyIndicator();
  EXPECT_FALSE(panel->isHidden());
  EXPECT_EQ(panel->Title()->text(), "Reading the switch...");
  EXPECT_EQ(panel->Detail()->text(), "5 reads so far");
  EXPECT_EQ(panel->Bar()->maximum(), 0) << "how many reads are left is not known";
  EXPECT_FALSE(page.RefreshButton()->isEnabled()) << "a page never stacks its own jobs";
  EXPECT_FALSE(w.RefreshCurrentPage());
  // The window around it goes on.
  for (QWidget* control : {static_cast<QWidget*>(w.AdapterSelector()), static_cast<QWidget*>(w.SwitchSelector()),
                           static_cast<QWidget*>(w.GroupTabs()), static_cast<QWidget*>(w.menuBar())})
    EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();

  panel->CancelButton()->click();
  EXPECT_EQ(panel->Detail()->text(), "Cancelling...");
  s.Jobs().Release();
  s.Settle();
  EXPECT_FALSE(page.Busy());
  EXPECT_TRUE(panel->isHidden());
  EXPECT_TRUE(page.RefreshButton()->isEnabled());
  EXPECT_EQ(page.List()->topLevelItemCount(), 0);
  EXPECT_EQ(page.NoticeText(), "Cancelled: what is shown may be incomplete.");
  EXPECT_EQ(s.segment.FramesFromStation(), atHold) << "no get sent after the cancel";
  EXPECT_LT(atHold - before, 30u);
  // Cancelling is no failure of the switch: the status bar still says what discovery found.
  EXPECT_EQ(w.StatusText(), QString("5 switches found on %1.").arg(w.AdapterSelector()->itemText(0)));
}

TEST(EngineThreadTest, AResultReachesOnlyThePageItWasStartedFor) {
  Window s;
  MainWindow& w = s.W();
  w.SelectAdapter(0);
  s.Settle();
  PageHost& status = s.Host(0);
  auto& page = s.Shown<PortStatusPage>(0, 1);
  ASSERT_EQ(page.List()->topLevelItemCount(), 24);
  // The first window's refresh has read all its registers when the engine thread is held.
  s.Jobs().HoldAfterReads(30);
  page.RefreshButton()->click();
  ASSERT_TRUE(s.Jobs().WaitHeld());
  QPointer<QWidget> first = page.Window();
  // The operator goes to another tab and back: a second window of the same page, whose own
  // refresh is held after its first read.
  status.ShowPage(2);
  status.ShowPage(1);
  EXPECT_TRUE(first.isNull());
  ASSERT_NE(page.Window(), nullptr);
  s.Jobs().HoldAfterReads(1);
  s.Jobs().Release();
  ASSERT_TRUE(s.Jobs().WaitHeld());
  // The first window's result has come back by now, and went nowhere: the new window still
  // waits for its own.
  EXPECT_EQ(page.List()->topLevelItemCount(), 0);
  EXPECT_TRUE(page.Busy());
  s.Jobs().Release();
  s.Settle();
  EXPECT_EQ(page.List()->topLevelItemCount(), 24);
  EXPECT_EQ(page.NoticeText(), "");
}

TEST(EngineThreadTest, ADialogOpensOnlyWhenItsReadIsDone) {
  Window s;
  s.W().SelectAdapter(0);
  s.Settle();
  auto& page = s.Shown<PortConfigPage>(1, 0);
  page.List()->setCurrentItem(page.List()->topLevelItem(0));
  bool opened = false;
  page.SetDialogRunner([&](QDialog&) { return opened = true, false; });
  s.Jobs().HoldAfterReads(1);
  page.ConfigButton()->click();
  ASSERT_TRUE(s.Jobs().WaitHeld());
  QApplication::sendPostedEvents();
  EXPECT_FALSE(opened);
  EXPECT_TRUE(page.Busy());
  s.Jobs().Release();
  s.Settle();
  EXPECT_TRUE(opened);
}

}  // namespace
}  // namespace brisfell::testing
