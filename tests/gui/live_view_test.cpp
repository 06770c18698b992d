// The live view on the emulated segment, on virtual time: discovery on the engine thread while
// the window goes on, the File and View menus, auto refresh and counter rates, the status bar
// when the switch stops answering, the Traffic window and the network map.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QTest>
#include <QtCharts/QLineSeries>
#include <condition_variable>
#include <mutex>
#include <set>

#include "app/composite_driver.h"
#include "app/network_map_window.h"
#include "app/traffic_window.h"
#include "gui/app_support.h"
#include "pages/common/report_list.h"
#include "pages/status/mib_counter_page.h"
#include "pages/status/port_status_page.h"
#include "sim/segment.h"

namespace brisfell::testing {
namespace {

// The emulated segment, whose adapter can be made to wait before it opens: the test then sees
// the window while discovery is under way, and lets it go on.
class GatedSegment : public sim::Segment {
 public:
  using sim::Segment::Segment;
  std::unique_ptr<AdapterHandle> OpenAdapter(const uint8_t* name, bool wide) override {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (gated_) {
        reached_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
        gated_ = false;
      }
    }
    return sim::Segment::OpenAdapter(name, wide);
  }
  void Gate() {
    const std::lock_guard<std::mutex> lock(mutex_);
    gated_ = true;
    open_ = false;
    reached_ = false;
  }
  // Until the engine thread waits at the gate.
  void WaitReached() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return reached_; });
  }
  void Release() {
    const std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

 private:
  bool gated_ = false;
  bool open_ = true;
  bool reached_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
};

struct LiveShell {
  LiveShell() : segment(sim::DefaultScenario(), clock) {
    composite.AddMember(segment);
    rig = std::make_unique<ShellRig>(composite, clock);
  }
  MainWindow& Window() { return *rig->window; }
  Engine& GetEngine() { return rig->engine; }
  PageHost& Status() { return rig->Host(0); }
  void Settle() { rig->Settle(); }
  // The page on that tab of the Status group, its first reads done.
  template <class P>
  P& ShowStatusPage(int tab) {
    Window().ShowGroup(0);
    Status().ShowPage(tab);
    Settle();
    return static_cast<P&>(*Status().CurrentPage());
  }
  void Discover() {
    Window().SelectAdapter(0);
    Settle();
  }
  // Chooses the adapter and returns once its discovery waits at the segment's gate.
  void DiscoverToTheGate() {
    segment.Gate();
    Window().SelectAdapter(0);
    segment.WaitReached();
  }
  sim::EmulatedSwitch& Emulated(int index) { return *segment.FindSwitch(GetEngine().GetSwitchRecord(index)->mac); }
  std::string Mac(int index) { return FormatMac(GetEngine().GetSwitchRecord(index)->mac); }

  sim::VirtualClock clock;
  GatedSegment segment;
  CompositeDriver composite;
  std::unique_ptr<ShellRig> rig;
};

QString Cell(QTreeWidget* list, int row, int column) {
  return row < list->topLevelItemCount() ? list->topLevelItem(row)->text(column) : QString();
}

TEST(LiveWindowTest, DiscoveryRunsOnTheEngineThreadWhileTheWindowGoesOn) {
  LiveShell s;
  MainWindow& w = s.Window();
  // The call came back at once; the engine thread waits at the gate.
  s.DiscoverToTheGate();
  // What the engine thread said before the gate: it started, and how long it will listen.
  QCoreApplication::sendPostedEvents(s.rig->jobs.get());
  EXPECT_TRUE(w.Discovering());
  EXPECT_EQ(w.StatusText(), QString("Discovering on %1...").arg(w.AdapterSelector()->itemText(0)));
  EXPECT_FALSE(w.DiscoveryPanel()->isHidden());
  EXPECT_EQ(w.DiscoveryPanel()->Title()->text(), QString("Discovering on %1...").arg(w.AdapterSelector()->itemText(0)));
  EXPECT_EQ(w.DiscoveryProgress()->maximum(), 1000);  // no remembered switch yet: the broadcast second
  EXPECT_EQ(w.SwitchSelector()->count(), 0);
  // Nothing waits for the pages meanwhile: the switch table is being rebuilt.
  EXPECT_FALSE(w.SwitchSelector()->isEnabled());
  EXPECT_FALSE(w.GroupTabs()->isEnabled());
  w.ShowGroup(2);
  EXPECT_EQ(w.CurrentGroup(), 0);
  EXPECT_FALSE(w.RefreshCurrentPage());
  // The rest of the window goes on: the menus, the adapter selector.
  EXPECT_TRUE(w.AdapterSelector()->isEnabled());
  for (QAction* action : {w.QuitAction(), w.RefreshAction(), w.TrafficAction(), w.NetworkMapAction()})
    EXPECT_TRUE(action->isEnabled());
  s.segment.Release();
  s.Settle();

  // The same outcome as ever: the switches listed, switch 0 current, the Status group rebuilt.
  EXPECT_FALSE(w.Discovering());
  EXPECT_TRUE(w.DiscoveryPanel()->isHidden());
  EXPECT_EQ(w.SwitchSelector()->count(), 5);
  EXPECT_EQ(s.GetEngine().CurrentSwitchIndex(), 0);
  EXPECT_EQ(w.StatusText(), QString("5 switches found on %1.").arg(w.AdapterSelector()->itemText(0)));
  EXPECT_TRUE(w.SwitchSelector()->isEnabled());
  EXPECT_TRUE(w.GroupTabs()->isEnabled());
}

TEST(LiveWindowTest, DiscoveryCanBeCancelled) {
  LiveShell s;
  MainWindow& w = s.Window();
  s.DiscoverToTheGate();
  w.DiscoveryPanel()->CancelButton()->click();
  s.segment.Release();
  s.Settle();
  // Stopped before its first hello: nothing found, and the window says it was cancelled.
  EXPECT_FALSE(w.Discovering());
  EXPECT_EQ(s.segment.FramesFromStation(), 0u);
  EXPECT_EQ(w.SwitchSelector()->count(), 0);
  EXPECT_EQ(w.StatusText(), QString("Discovery cancelled: no switch found on %1.").arg(w.AdapterSelector()->itemText(0)));
  EXPECT_EQ(w.CurrentGroup(), 0);

  // Choosing the adapter again while a discovery runs starts over: only the last one reports.
  s.DiscoverToTheGate();
  w.SelectAdapter(0);
  s.segment.Release();
  s.Settle();
  EXPECT_EQ(w.SwitchSelector()->count(), 5);
  EXPECT_EQ(w.StatusText(), QString("5 switches found on %1.").arg(w.AdapterSelector()->itemText(0)));
}

TEST(LiveWindowTest, TheDatabasesMessageIsShownOnTheWindowsThread) {
  LiveShell s;
  s.GetEngine().SetDatabasePath(s.rig->folder.filePath("missing/folder/qswrec.dat").toStdString());
  s.Discover();
  // Loading and saving both failed; both boxes came up here, as the engine thread said so.
  const auto texts = s.rig->prompt.MessageTexts();
  ASSERT_EQ(texts.size(), 2u);
  for (const std::string& text : texts) EXPECT_EQ(text.rfind(std::string(kOpenRecordFileFailed) + "\n", 0), 0u) << text;
  EXPECT_EQ(s.GetEngine().SwitchCount(), 5);
}

TEST(LiveWindowTest, ListeningWindowGrowsWithTheRememberedSwitches) {
  const std::pair<qint64, int> cases[] = {{-1, 1000}, {0, 1000}, {7, 1000}, {8, 1100}, {40, 1500}, {1 << 20, 26600}};
  for (const auto& [bytes, ms] : cases) EXPECT_EQ(DiscoveryListeningMs(bytes), ms) << bytes;
}

TEST(LiveWindowTest, FileAndViewMenus) {
  LiveShell s;
  MainWindow& w = s.Window();
  EXPECT_EQ(w.QuitAction()->shortcut(), QKeySequence("Ctrl+Q"));
  EXPECT_EQ(w.RefreshAction()->shortcut(), QKeySequence("F5"));
  s.Discover();

  // F5 on a page with a Refresh button presses it: the Port Status page reads its 30 registers.
  auto& page = s.ShowStatusPage<PortStatusPage>(1);
  size_t frames = s.segment.FramesFromStation();
  w.RefreshAction()->trigger();
  // A second F5 while the first refresh runs does nothing: the page is busy.
  EXPECT_TRUE(page.Busy());
  EXPECT_FALSE(w.RefreshCurrentPage());
  s.Settle();
  EXPECT_EQ(s.segment.FramesFromStation() - frames, 30u);
  // The Overview has none: nothing happens.
  s.ShowStatusPage<Page>(0);
  frames = s.segment.FramesFromStation();
  EXPECT_FALSE(w.RefreshCurrentPage());
  EXPECT_EQ(s.segment.FramesFromStation(), frames);

  w.show();
  ASSERT_TRUE(w.isVisible());
  w.QuitAction()->trigger();
  EXPECT_FALSE(w.isVisible());
}

TEST(AutoRefreshTest, RunsOnlyWhileOnAndEndsWithThePage) {
  LiveShell s;
  MainWindow& w = s.Window();
  s.Discover();
  auto& page = s.ShowStatusPage<PortStatusPage>(1);
  AutoRefreshWidget* live = page.AutoRefresh();
  ASSERT_NE(live, nullptr);
  EXPECT_EQ(live->Box()->text(), "Auto refresh");
  QStringList intervals;
  for (int i = 0; i < live->Interval()->count(); ++i) intervals << live->Interval()->itemText(i);
  EXPECT_EQ(intervals, QStringList({"1 s", "2 s", "5 s", "10 s"}));
  EXPECT_FALSE(live->Running());  // off when the page comes up
  EXPECT_FALSE(live->Timer()->isActive());
  size_t frames = s.segment.FramesFromStation();
  EXPECT_FALSE(live->Tick());
  EXPECT_EQ(s.segment.FramesFromStation(), frames);

  live->Interval()->setCurrentIndex(2);
  live->Box()->setChecked(true);
  EXPECT_TRUE(live->Timer()->isActive());
  EXPECT_EQ(live->Timer()->interval(), 5000);
  live->Interval()->setCurrentIndex(0);
  EXPECT_EQ(live->Timer()->interval(), 1000);

  // Each tick is one refresh; a port that went down shows at the next one.
  const int chip = 1;
  const int row = s.GetEngine().MapChipToPort(0, chip);
  ASSERT_EQ(Cell(page.List(), row, 1), "Up");
  sim::PortState down = s.Emulated(0).GetPortState(chip);
  down.link = false;
  s.Emulated(0).SetPortState(chip, down);
  s.clock.Advance(1'000'000);
  frames = s.segment.FramesFromStation();
  EXPECT_TRUE(live->Tick());
  s.Settle();
  EXPECT_EQ(s.segment.FramesFromStation() - frames, 30u);
  EXPECT_EQ(Cell(page.List(), row, 1), "Down");

  // A disabled page: no read.
  w.GroupTabs()->setEnabled(false);
  EXPECT_FALSE(live->Tick());
  w.GroupTabs()->setEnabled(true);

  // Ticks never pile up: one while the last refresh still runs is skipped. The engine thread
  // is held within the first refresh while the timer ticks twice more.
  s.rig->jobs->HoldAfterReads(5);
  frames = s.segment.FramesFromStation();
  EXPECT_TRUE(live->Tick());
  ASSERT_TRUE(s.rig->jobs->WaitHeld());
  EXPECT_TRUE(page.Busy());
  EXPECT_FALSE(live->Tick());
  EXPECT_FALSE(live->Tick());
  s.rig->jobs->Release();
  s.Settle();
  EXPECT_EQ(s.segment.FramesFromStation() - frames, 30u);
  EXPECT_TRUE(live->Running());

  // Leaving the page ends the timer with it; coming back, auto refresh is off again.
  QPointer<QTimer> timer = live->Timer();
  s.Status().ShowPage(2);
  EXPECT_TRUE(timer.isNull());
  auto& again = s.ShowStatusPage<PortStatusPage>(1);
  EXPECT_FALSE(again.AutoRefresh()->Running());
}

TEST(AutoRefreshTest, MibCounterShowsRatesWhileItRuns) {
  LiveShell s;
  s.Discover();
  auto& page = s.ShowStatusPage<MibCounterPage>(2);
  QTreeWidget* list = page.List();
  EXPECT_EQ(list->columnCount(), 7);
  page.AutoRefresh()->Box()->setChecked(true);  // reads at once: the first reading
  s.Settle();
  ASSERT_EQ(list->columnCount(), 10);
  EXPECT_EQ(list->headerItem()->text(3), "Per second");
  const int row = s.GetEngine().MapChipToPort(0, 1);  // counts bytes: 512000 in, 604000 out a second
  EXPECT_EQ(Cell(list, row, 3), "");

  s.clock.Advance(2'000'000);
  ASSERT_TRUE(page.AutoRefresh()->Tick());
  s.Settle();
  EXPECT_EQ(Cell(list, row, 2), "Rx bytes");
  EXPECT_NEAR(Cell(list, row, 3).toDouble(), 512000, 512000 * 0.01);
  EXPECT_NEAR(Cell(list, row, 6).toDouble(), 604000, 604000 * 0.01);
  // The operator's place in the list survives the automatic refresh.
  list->topLevelItem(5)->setSelected(true);
  s.clock.Advance(2'000'000);
  ASSERT_TRUE(page.AutoRefresh()->Tick());
  s.Settle();
  EXPECT_EQ(SelectionMark(list), 5);

  page.AutoRefresh()->Box()->setChecked(false);
  s.Settle();
  EXPECT_EQ(list->columnCount(), 7);
  EXPECT_EQ(list->headerItem()->text(3), "Counter 2");
}

TEST(NoReplyTest, StatusBarNamesTheSwitchThatStoppedAnswering) {
  LiveShell s;
  MainWindow& w = s.Window();
  s.Discover();
  const QString found = w.StatusText();
  auto& page = s.ShowStatusPage<PortStatusPage>(1);
  ASSERT_GT(page.List()->topLevelItemCount(), 0);

  // The page says so in its own area as well as the status bar.
  s.Emulated(0).SetMuted(true);
  page.RefreshButton()->click();
  s.Settle();
  EXPECT_EQ(page.List()->topLevelItemCount(), 0);
  EXPECT_EQ(w.StatusText().toStdString(), "Refresh failed: no reply from " + s.Mac(0) + ".");
  EXPECT_EQ(page.NoticeText().toStdString(), "Refresh failed: no reply from " + s.Mac(0) + ".");

  // Auto refresh gives up after a tick without answer instead of waiting out one time-out after another.
  page.AutoRefresh()->Box()->setChecked(true);
  EXPECT_TRUE(page.AutoRefresh()->Tick());
  s.Settle();
  EXPECT_FALSE(page.AutoRefresh()->Running());
  EXPECT_FALSE(page.AutoRefresh()->Timer()->isActive());

  s.Emulated(0).SetMuted(false);
  page.RefreshButton()->click();
  s.Settle();
  EXPECT_EQ(w.StatusText(), found);
  EXPECT_EQ(page.NoticeText(), "");

  // Choosing another switch clears the complaint; its own reads tell about it.
  s.Emulated(0).SetMuted(true);
  page.RefreshButton()->click();
  s.Settle();
  ASSERT_NE(w.StatusText(), found);
  w.SelectSwitch(1);
  s.Settle();
  EXPECT_EQ(w.StatusText(), found);
}

TEST(TrafficWindowTest, PlotsTheChosenPortsAndNamesThoseNotCountingBytes) {
  LiveShell s;
  MainWindow& w = s.Window();
  s.Discover();
  TrafficWindow* t = w.ShowTraffic();
  ASSERT_NE(t, nullptr);
  s.Settle();
  // Shown: sampling at once, on the core switch's only byte-counting port.
  const int port1 = s.GetEngine().MapChipToPort(0, 1);
  EXPECT_EQ(t->Recorder().Chosen(), std::vector<int>{port1});
  EXPECT_EQ(t->PortList()->item(port1)->checkState(), Qt::Checked);
  EXPECT_EQ(t->PortList()->count(), 24);
  EXPECT_TRUE(t->Timer()->isActive());
  EXPECT_EQ(t->Timer()->interval(), 2000);

  s.clock.Advance(2'000'000);
  ASSERT_TRUE(t->SampleNow());
  // A tick while that sample runs is skipped.
  EXPECT_FALSE(t->SampleNow());
  s.Settle();
  const TrafficSample& last = t->Recorder().Series().at(0).samples.back();
  ASSERT_TRUE(last.rx.has_value());
  EXPECT_NEAR(*last.rx, 512000, 512000 * 0.01);
  ASSERT_EQ(t->Chart()->series().size(), 2);  // Rx and Tx of port 1
  EXPECT_EQ(t->Chart()->series()[0]->name(), "Port 1 Rx");
  // In bits a second with an SI prefix; the bytes where the pointer rests.
  auto* rx = qobject_cast<QLineSeries*>(t->Chart()->series()[0]);
  ASSERT_NE(rx, nullptr);
  const auto axes = rx->attachedAxes();
  ASSERT_EQ(axes.size(), 2);
  EXPECT_EQ(axes[1]->titleText(), "Mbit/s");
  EXPECT_NEAR(rx->points().back().y(), 4.096, 0.05);
  emit rx->hovered(rx->points().back(), true);
  EXPECT_TRUE(t->ChartView()->toolTip().startsWith("Port 1 Rx: 4.1")) << t->ChartView()->toolTip().toStdString();
  EXPECT_TRUE(t->ChartView()->toolTip().contains(" bytes/s)")) << t->ChartView()->toolTip().toStdString();

  // A port counting packets: a note, and no line for it.
  const int packets = s.GetEngine().MapChipToPort(0, 4);
  t->PortList()->item(packets)->setCheckState(Qt::Checked);
  s.clock.Advance(2'000'000);
  ASSERT_TRUE(t->SampleNow());
  s.Settle();
  const QString label = QString::fromStdString(PortLabel(packets));
  EXPECT_TRUE(t->Notes()->text().contains(QString("Port %1: counter 1 counts Rx packets, not bytes.").arg(label)))
      << t->Notes()->text().toStdString();
  EXPECT_EQ(t->Chart()->series().size(), 2);

  // Every line its own colour, Rx and Tx of a port too.
  std::set<QRgb> colours;
  for (QAbstractSeries* series : t->Chart()->series())
    colours.insert(qobject_cast<QLineSeries*>(series)->pen().color().rgb());
  EXPECT_EQ(colours.size(), static_cast<size_t>(t->Chart()->series().size()));

  // Disabled while discovery runs: no sample.
  t->setEnabled(false);
  const size_t frames = s.segment.FramesFromStation();
  EXPECT_FALSE(t->SampleNow());
  s.Settle();
  EXPECT_EQ(s.segment.FramesFromStation(), frames);
  t->setEnabled(true);

  // Another switch: the history starts over on that switch's ports.
  w.SelectSwitch(1);
  s.Settle();
  EXPECT_EQ(t->PortList()->count(), s.GetEngine().PortCount(1));
  for (const auto& series : t->Recorder().Series()) EXPECT_LE(series.samples.size(), 1u);

  // A switch that stops answering stops the sampling, and the window says why.
  s.Emulated(1).SetMuted(true);
  s.clock.Advance(2'000'000);
  EXPECT_TRUE(t->SampleNow());
  s.Settle();
  EXPECT_FALSE(t->SamplingBox()->isChecked());
  EXPECT_FALSE(t->Timer()->isActive());
  EXPECT_TRUE(t->Notes()->text().startsWith(QString::fromStdString("No reply from " + s.Mac(1))));
  t->hide();
}

TEST(NetworkMapWindowTest, ClickingASwitchMakesItCurrent) {
  LiveShell s;
  MainWindow& w = s.Window();
  w.show();
  s.Discover();
  w.ShowGroup(1);
  NetworkMapWindow* map = w.ShowNetworkMap();
  ASSERT_NE(map, nullptr);
  s.Settle();
  QApplication::processEvents();  // lays the window out
  ASSERT_EQ(map->Map().nodes.size(), 6u);

  // The station is not a switch: nothing happens.
  QTest::mouseClick(map->View()->viewport(), Qt::LeftButton, {}, map->NodeCentreInView(0));
  s.Settle();
  EXPECT_EQ(s.GetEngine().CurrentSwitchIndex(), 0);
  EXPECT_EQ(w.CurrentGroup(), 1);

  const int node = map->Map().NodeOfSwitch(3);
  ASSERT_GT(node, 0);
  QTest::mouseClick(map->View()->viewport(), Qt::LeftButton, {}, map->NodeCentreInView(node));
  s.Settle();
  EXPECT_EQ(s.GetEngine().CurrentSwitchIndex(), 3);
  EXPECT_EQ(w.SwitchSelector()->currentIndex(), 3);
  EXPECT_EQ(w.CurrentGroup(), 0);  // as choosing it in the selector: the Status group again

  // A new discovery draws the map anew; switch 0 is current again.
  s.Discover();
  EXPECT_EQ(map->Map().nodes.size(), 6u);
  EXPECT_EQ(s.GetEngine().CurrentSwitchIndex(), 0);
  map->hide();
  w.hide();
}

}  // namespace
}  // namespace brisfell::testing
