// The main window on the emulated segment, on virtual time: discovery from the adapter
// selector, what choosing a switch, a group or a tab rebuilds, pages with no adapter chosen,
// and the screenshots run.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QTabBar>
#include <QTest>

#include "app/composite_driver.h"
#include "app/screenshots.h"
#include "gui/app_support.h"
#include "pages/status/overview_page.h"
#include "sim/segment.h"

namespace brisfell::testing {
namespace {

// The emulated segment behind the same composite driver the application uses.
struct EmulatedShell {
  explicit EmulatedShell(const sim::Scenario& scenario = sim::DefaultScenario()) : segment(scenario, clock) {
    composite.AddMember(segment);
    rig = std::make_unique<ShellRig>(composite, clock);
  }
  MainWindow& Window() { return *rig->window; }
  Engine& GetEngine() { return rig->engine; }
  void Settle() { rig->Settle(); }
  OverviewPage& Overview() { return static_cast<OverviewPage&>(*rig->Host(0).GetPage(0)); }

  sim::VirtualClock clock;
  sim::Segment segment;
  CompositeDriver composite;
  std::unique_ptr<ShellRig> rig;
};

void ClickTab(QTabWidget* tabs, int k) {
  QTabBar* bar = tabs->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(k).center());
}

QString FirstCell(QTreeWidget* list, int column) {
  return list->topLevelItemCount() ? list->topLevelItem(0)->text(column) : QString();
}

TEST(EmulatedShellTest, ChoosingTheAdapterDiscoversAndListsTheSwitches) {
  EmulatedShell s;
  MainWindow& w = s.Window();
  ASSERT_EQ(w.AdapterSelector()->count(), 1);
  EXPECT_EQ(w.AdapterSelector()->itemText(0).toStdString(), s.segment.AdapterDescriptionText());

  emit w.AdapterSelector()->activated(0);
  s.Settle();
  const int n = s.segment.SwitchCount();
  ASSERT_EQ(s.GetEngine().SwitchCount(), n);
  ASSERT_EQ(w.SwitchSelector()->count(), n);
  for (int i = 0; i < n; ++i) {
    const SwitchRecord* r = s.GetEngine().GetSwitchRecord(i);
    EXPECT_EQ(w.SwitchSelector()->itemText(i).toStdString(), FormatMac(r->mac) + " (" + r->modelName + ")");
    // A switch of another maker is named by its place in the table.
    if (r->profile == ProfileKind::Generic) {
      EXPECT_EQ(r->modelName, Format("Switch %d", i + 1));
    }
  }
  EXPECT_EQ(w.SwitchSelector()->currentIndex(), 0);
  EXPECT_EQ(s.GetEngine().CurrentSwitchIndex(), 0);
  EXPECT_EQ(w.StatusText(), QString("%1 switches found on %2.").arg(n).arg(w.AdapterSelector()->itemText(0)));
  EXPECT_TRUE(QFile::exists(QString::fromStdString(s.GetEngine().DatabasePath())));

  // The Status group was rebuilt: its Overview reads switch 0.
  EXPECT_EQ(w.CurrentGroup(), 0);
  EXPECT_EQ(FirstCell(s.Overview().DeviceList(), 1).toStdString(), FormatMac(s.GetEngine().GetSwitchRecord(0)->mac));

  EXPECT_TRUE(s.Overview().EditDatabaseButton()->isHidden());

  // Every choice of the adapter runs discovery again and starts over on switch 0.
  w.SelectSwitch(2);
  s.Settle();
  const size_t framesBefore = s.segment.FramesFromStation();
  emit w.AdapterSelector()->activated(0);
  s.Settle();
  EXPECT_GT(s.segment.FramesFromStation(), framesBefore);
  EXPECT_EQ(s.GetEngine().CurrentSwitchIndex(), 0);
  EXPECT_EQ(w.SwitchSelector()->currentIndex(), 0);
}

TEST(EmulatedShellTest, SingleSwitchIsReportedInTheSingular) {
  sim::Scenario one = sim::DefaultScenario();
  one.switches.resize(1);  // the core switch alone
  EmulatedShell s(one);
  s.Window().SelectAdapter(0);
  s.Settle();
  EXPECT_EQ(s.Window().StatusText(), QString("1 switch found on %1.").arg(s.Window().AdapterSelector()->itemText(0)));
}

TEST(EmulatedShellTest, ChoosingASwitchBringsBackStatusOnItsFirstTab) {
  EmulatedShell s;
  MainWindow& w = s.Window();
  w.SelectAdapter(0);
  s.Settle();
  ASSERT_GE(w.SwitchSelector()->count(), 4);
  ClickTab(w.GroupTabs(), 1);
  ASSERT_EQ(w.CurrentGroup(), 1);
  PageHost& configuration = s.rig->Host(1);
  ClickTab(configuration.Tabs(), 4);
  ASSERT_EQ(configuration.CurrentPageIndex(), 4);
  s.Settle();

  emit w.SwitchSelector()->activated(3);
  s.Settle();
  EXPECT_EQ(s.GetEngine().CurrentSwitchIndex(), 3);
  EXPECT_EQ(w.CurrentGroup(), 0);
  EXPECT_EQ(w.GroupTabs()->currentIndex(), 0);
  EXPECT_EQ(configuration.Window(), nullptr);
  EXPECT_EQ(configuration.GetPage(4)->Window(), nullptr);
  PageHost& status = s.rig->Host(0);
  EXPECT_EQ(status.CurrentPageIndex(), 0);
  EXPECT_EQ(status.Tabs()->currentIndex(), 0);
  // The Overview was created afresh and shows switch 3.
  EXPECT_EQ(FirstCell(s.Overview().DeviceList(), 1).toStdString(), FormatMac(s.GetEngine().GetSwitchRecord(3)->mac));
}

TEST(EmulatedShellTest, OnlyAChangeOfTabRebuildsThePage) {
  EmulatedShell s;
  MainWindow& w = s.Window();
  w.show();
  w.SelectAdapter(0);
  s.Settle();
  PageHost& status = s.rig->Host(0);
  Page* overview = status.GetPage(0);
  Page* portStatus = status.GetPage(1);
  const int overviewWindows = overview->WindowsCreated();
  const int statusWindows = status.WindowsCreated();

  ClickTab(status.Tabs(), 0);  // already selected
  ClickTab(w.GroupTabs(), 0);  // already selected
  EXPECT_EQ(overview->WindowsCreated(), overviewWindows);
  EXPECT_EQ(status.WindowsCreated(), statusWindows);

  ClickTab(status.Tabs(), 1);
  EXPECT_EQ(status.CurrentPageIndex(), 1);
  EXPECT_EQ(overview->Window(), nullptr);  // the page left is destroyed
  ASSERT_NE(portStatus->Window(), nullptr);
  const int portStatusWindows = portStatus->WindowsCreated();
  ClickTab(status.Tabs(), 0);
  ClickTab(status.Tabs(), 1);
  EXPECT_EQ(portStatus->WindowsCreated(), portStatusWindows + 1);  // coming back rebuilds it

  // Leaving the group and coming back starts on the first tab again.
  ClickTab(w.GroupTabs(), 3);
  EXPECT_EQ(status.Window(), nullptr);
  EXPECT_EQ(portStatus->Window(), nullptr);
  ClickTab(w.GroupTabs(), 0);
  EXPECT_EQ(status.WindowsCreated(), statusWindows + 1);
  EXPECT_EQ(status.CurrentPageIndex(), 0);
  EXPECT_NE(overview->Window(), nullptr);
  s.Settle();
}

TEST(EmulatedShellTest, WithNoAdapterEveryPageComesUpEmptyAndNothingIsSent) {
  EmulatedShell s;
  MainWindow& w = s.Window();
  for (int g = 0; g < PageSet::kGroupCount; ++g) {
    w.ShowGroup(g);
    PageHost& host = s.rig->Host(g);
    for (int t = 0; t < host.TabCount(); ++t) {
      host.ShowPage(t);
      s.Settle();
      Page* page = host.GetPage(t);
      ASSERT_NE(page->Window(), nullptr) << host.TabCaption(t).toStdString();
      EXPECT_EQ(RowsIn(page->Window()), 0) << host.TabCaption(t).toStdString();
    }
  }
  EXPECT_EQ(s.segment.FramesFromStation(), 0u);
  EXPECT_TRUE(s.segment.Recording().empty());
  EXPECT_TRUE(s.rig->prompt.shown.empty());
}

TEST(EmulatedShellTest, ScreenshotsCoverEverySwitchGroupAndTab) {
  sim::Scenario two = sim::DefaultScenario();
  two.switches.resize(2);  // the core and the switch on its port 5
  EmulatedShell s(two);
  QTemporaryDir out;
  QStringList written;
  QString error;
  ASSERT_TRUE(TakeScreenshots(s.Window(), 0, out.filePath("shots"), written, error)) << error.toStdString();
  int views = 0;
  for (int g = 0; g < PageSet::kGroupCount; ++g) views += s.rig->Host(g).TabCount();
  EXPECT_EQ(views, 14);
  // Every view of both switches with the VLAN add and edit dialogs and the tag dialog, a page
  // while it reads, the network map, the traffic window, the MIB Counter page with its rates,
  // the switch keys and the security audit, and the about box last.
  ASSERT_EQ(written.size(), 2 * (views + 3) + 7);
  EXPECT_EQ(written.last(), QDir(out.filePath("shots")).filePath("about.png"));
  const QDir dir(out.filePath("shots"));
  EXPECT_TRUE(dir.exists("network-map.png"));
  EXPECT_TRUE(dir.exists("traffic.png"));
  EXPECT_TRUE(dir.exists("switch-keys.png"));
  EXPECT_TRUE(dir.exists("security-audit.png"));
  EXPECT_TRUE(dir.exists("sw0-status-2-mib-counter-auto-refresh.png"));
  EXPECT_TRUE(dir.exists("sw0-status-0-overview.png"));
  EXPECT_TRUE(dir.exists("sw0-status-1-port-status.png"));
  EXPECT_TRUE(dir.exists("sw0-status-1-port-status-busy.png"));
  EXPECT_TRUE(dir.exists("sw1-configuration-6-igmp-snooping.png"));
  EXPECT_TRUE(dir.exists("sw1-system-2-configurations.png"));
  EXPECT_TRUE(dir.exists("sw0-configuration-3-dialog-add-new-vlan.png"));
  EXPECT_TRUE(dir.exists("sw0-configuration-5-dialog-port-1-tag-untag-configuration.png"));
  const QImage picture(dir.filePath("sw1-security-0-device-security.png"));
  EXPECT_EQ(picture.size(), s.Window().size());
}

TEST(EmulatedShellTest, ScreenshotsFailWhenNoSwitchAnswers) {
  sim::Scenario quiet = sim::DefaultScenario();
  for (auto& sw : quiet.switches) sw.muted = true;
  EmulatedShell s(quiet);
  QTemporaryDir out;
  QStringList written;
  QString error;
  EXPECT_FALSE(TakeScreenshots(s.Window(), 0, out.path(), written, error));
  EXPECT_TRUE(written.isEmpty());
  EXPECT_TRUE(error.contains("No switch answered")) << error.toStdString();
}

}  // namespace
}  // namespace brisfell::testing
