// The application shell on a scripted driver: the adapter list it shows, what it says in its
// status bar, the database message, the command line, file filters and picture names.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

#include "app/about_dialog.h"
#include "app/app_session.h"
#include "app/composite_driver.h"
#include "app/launch_options.h"
#include "app/qt_prompt.h"
#include "app/screenshots.h"
#include "engine/fake_driver.h"
#include "gui/app_support.h"

namespace brisfell::testing {
namespace {

TEST(QtFileFilterTest, TranslatesThePipeSeparatedFilter) {
  EXPECT_EQ(QtFileFilter("QSW Files (*.qsw)|*.qsw|All Files (*.*)|*.*||"),
            "QSW Files (*.qsw);;All Files (*)");
  // Several patterns in one entry, and a description without its own brackets.
  EXPECT_EQ(QtFileFilter("Captures|*.pcap;*.cap||"), "Captures (*.pcap *.cap)");
  EXPECT_EQ(QtFileFilter(""), "");
}

TEST(ScreenshotNamesTest, CaptionsBecomeFileNameParts) {
  EXPECT_EQ(FileNamePart("Port Status"), "port-status");
  EXPECT_EQ(FileNamePart("QoS Configuration"), "qos-configuration");
  EXPECT_EQ(FileNamePart("  MIB / Counter "), "mib-counter");
}

TEST(LaunchOptionsTest, SimulateScenarioAndScreenshots) {
  LaunchOptions o;
  QString error;
  ASSERT_TRUE(ParseLaunchOptions({"brisfell"}, o, error)) << error.toStdString();
  EXPECT_FALSE(o.simulate);

  o = {};
  ASSERT_TRUE(ParseLaunchOptions({"brisfell", "--simulate"}, o, error));
  EXPECT_TRUE(o.simulate);
  EXPECT_TRUE(o.scenarioFile.isEmpty());

  o = {};
  ASSERT_TRUE(ParseLaunchOptions({"brisfell", "--simulate", "lab.json", "--screenshots", "/tmp/shots"}, o, error));
  EXPECT_EQ(o.scenarioFile, "lab.json");
  EXPECT_EQ(o.screenshotsDir, "/tmp/shots");

  // Without --simulate there is nothing to photograph and no scenario to load.
  o = {};
  EXPECT_FALSE(ParseLaunchOptions({"brisfell", "--screenshots", "/tmp/shots"}, o, error));
  EXPECT_FALSE(ParseLaunchOptions({"brisfell", "lab.json"}, o, error));
  EXPECT_FALSE(ParseLaunchOptions({"brisfell", "--simulate", "a.json", "b.json"}, o, error));
  EXPECT_FALSE(ParseLaunchOptions({"brisfell", "--bogus"}, o, error));
  EXPECT_FALSE(error.isEmpty());

  // The emulated segment's faults, as brisfell-sim takes them.
  o = {};
  ASSERT_TRUE(ParseLaunchOptions({"brisfell", "--simulate", "--faults", "replyDelayMs=900"}, o, error));
  EXPECT_EQ(o.faults, "replyDelayMs=900");
  EXPECT_FALSE(ParseLaunchOptions({"brisfell", "--faults", "drop=0.1"}, o, error));
}

struct TwoDrivers {
  ManualClock clock;
  FakeDriver first{clock};
  FakeDriver second{clock};
  CompositeDriver composite;
  TwoDrivers() {
    first.names = {"eth0", "shared"};
    first.descriptions = {"Ethernet 0", "Shared name (first)"};
    second.names = {"shared", "sim0"};
    second.descriptions = {"Shared name (second)", "Emulated segment"};
    composite.AddMember(first);
    composite.AddMember(second);
  }
};

TEST(CompositeDriverTest, MergesListsAndRoutesOpensToTheOwner) {
  TwoDrivers d;
  Engine engine(d.composite, d.clock);
  ASSERT_EQ(engine.EnumerateAdapters(), 3);
  EXPECT_EQ(engine.AdapterDescription(0), "Ethernet 0");
  EXPECT_EQ(engine.AdapterDescription(1), "Shared name (first)");  // the first member owns a name
  EXPECT_EQ(engine.AdapterDescription(2), "Emulated segment");

  // Discovery on the last adapter opens it on the second member only, and closes it there.
  EXPECT_EQ(engine.DiscoverSwitches(2, false), 0);
  EXPECT_EQ(d.first.opens, 0);
  EXPECT_EQ(d.second.opens, 1);
  EXPECT_EQ(d.second.openHandles, 0);
  EXPECT_FALSE(d.second.sent.empty());
  EXPECT_TRUE(d.first.sent.empty());

  engine.DiscoverSwitches(1, false);
  EXPECT_EQ(d.first.opens, 1);
  EXPECT_EQ(d.second.opens, 1);
}

TEST(CompositeDriverTest, OneMemberFailingToListHidesOnlyItsOwnAdapters) {
  TwoDrivers d;
  d.first.listFails = true;
  Engine engine(d.composite, d.clock);
  ASSERT_EQ(engine.EnumerateAdapters(), 2);
  EXPECT_EQ(engine.AdapterDescription(0), "Shared name (second)");

  d.second.listFails = true;
  EXPECT_EQ(engine.EnumerateAdapters(), -1);

  CompositeDriver empty;
  Engine none(empty, d.clock);
  EXPECT_EQ(none.EnumerateAdapters(), 0);
}

TEST(MainWindowTest, StartsWithTheAdaptersListedAndNoneChosen) {
  ManualClock clock;
  FakeDriver fake(clock);
  fake.names = {"eth0", "eth1"};
  fake.descriptions = {"Intel Ethernet", "USB Ethernet"};
  CompositeDriver composite;
  composite.AddMember(fake);
  ShellRig rig(composite, clock);
  MainWindow& w = *rig.window;

  EXPECT_EQ(w.windowTitle(), "Ardune Brisfell Remote Management Tool");
  EXPECT_FALSE(w.windowIcon().isNull());
  ASSERT_EQ(w.AdapterSelector()->count(), 2);
  EXPECT_EQ(w.AdapterSelector()->itemText(1), "USB Ethernet");
  EXPECT_EQ(w.AdapterSelector()->currentIndex(), -1);
  EXPECT_EQ(w.SwitchSelector()->count(), 0);
  EXPECT_EQ(fake.opens, 0);  // nothing is discovered before the operator picks an adapter
  EXPECT_EQ(rig.engine.CurrentAdapterIndex(), -1);

  ASSERT_EQ(w.GroupTabs()->count(), 4);
  EXPECT_EQ(w.GroupTabs()->tabText(0), "Status");
  EXPECT_EQ(w.GroupTabs()->tabText(1), "Configuration");
  EXPECT_EQ(w.GroupTabs()->tabText(2), "Security");
  EXPECT_EQ(w.GroupTabs()->tabText(3), "System");
  EXPECT_EQ(w.CurrentGroup(), 0);
  EXPECT_EQ(w.StatusText(), "Choose an adapter to discover its switches.");
  EXPECT_EQ(w.AboutAction()->text(), "&About Ardune Brisfell...");
}

TEST(MainWindowTest, StatusBarSaysWhyTheAdapterCouldNotBeOpened) {
  ManualClock clock;
  FakeDriver fake(clock);
  fake.descriptions = {"Lab port"};
  fake.netType = 9;  // not Ethernet
  CompositeDriver composite;
  composite.AddMember(fake);
  ShellRig rig(composite, clock);
  MainWindow& w = *rig.window;
  rig.window->ShowGroup(1);

  w.SelectAdapter(0);
  rig.Settle();
  EXPECT_EQ(w.StatusText(), "Lab port could not be opened: the adapter is not an Ethernet adapter.");
  EXPECT_EQ(w.SwitchSelector()->count(), 0);
  EXPECT_EQ(rig.engine.CurrentSwitchIndex(), -1);
  EXPECT_EQ(w.CurrentGroup(), 0);  // the Status group comes back, empty
  EXPECT_EQ(RowsIn(w.CurrentHost()->Window()), 0);

  // A driver that answers nobody: the adapter opened, no switch.
  fake.netType = 0;
  w.SelectAdapter(0);
  rig.Settle();
  EXPECT_EQ(w.StatusText(), "No switch answered on Lab port.");
}

// A long status (the permission message ends in the command that mends it) is shown whole:
// wrapped onto as many lines as it needs, and selectable for copying.
TEST(MainWindowTest, StatusBarShowsALongMessageWhole) {
  ManualClock clock;
  FakeDriver fake(clock);
  CompositeDriver composite;
  composite.AddMember(fake);
  ShellRig rig(composite, clock);
  MainWindow& w = *rig.window;
  w.show();
  const QString text =
      "USB Ethernet could not be opened: enx00e04c680001: permission denied: run as root or grant the capability: "
      "sudo setcap cap_net_raw+ep /usr/lib/brisfell/bin/brisfell.";
  w.ShowPageStatus(text);
  QApplication::processEvents();
  QLabel* label = w.StatusLabelWidget();
  EXPECT_EQ(label->text(), text);
  ASSERT_GT(label->fontMetrics().horizontalAdvance(text), label->width()) << "the text is longer than one line";
  EXPECT_TRUE(label->wordWrap());
  EXPECT_GE(label->height(), label->heightForWidth(label->width()));
  EXPECT_TRUE(label->textInteractionFlags() & Qt::TextSelectableByMouse);
  w.hide();
}

TEST(MainWindowTest, StatusBarSaysWhenNoAdapterExists) {
  ManualClock clock;
  CompositeDriver nothing;
  ShellRig rig(nothing, clock);
  EXPECT_EQ(rig.window->AdapterSelector()->count(), 0);
  EXPECT_EQ(rig.window->StatusText(), "No network adapter found.");
}

TEST(MainWindowTest, DatabaseFailureReachesThePromptAsAnErrorBox) {
  ManualClock clock;
  FakeDriver fake(clock);
  CompositeDriver composite;
  composite.AddMember(fake);
  ShellRig rig(composite, clock);
  rig.engine.SetDatabasePath(rig.folder.filePath("missing-folder/qswrec.dat").toStdString());

  rig.window->SelectAdapter(0);
  rig.Settle();
  ASSERT_FALSE(rig.prompt.shown.empty());
  const auto& box = rig.prompt.shown.front();
  EXPECT_EQ(box.kind, ScriptedPrompt::Shown::Kind::Message);
  // The page's text, then the path and the system's reason.
  EXPECT_EQ(box.text, std::string(kOpenRecordFileFailed) + "\n" +
                          rig.folder.filePath("missing-folder/qswrec.dat").toStdString() + ": No such file or directory");
  EXPECT_EQ(box.icon, PromptIcon::Error);
  EXPECT_EQ(box.title, kApplicationTitle);
  // Discovery still ran: load and save both failed, each said so once.
  EXPECT_EQ(rig.prompt.MessageTexts().size(), 2u);
  EXPECT_EQ(fake.opens, 1);
}

TEST(AppSessionTest, SimulateAddsTheEmulatedSegmentAheadOfTheRealAdapters) {
  EnsureQtApp();
  LaunchOptions options;
  options.simulate = true;
  QString error;
  auto session = AppSession::Create(options, error);
  ASSERT_NE(session, nullptr) << error.toStdString();
  session->Jobs().WaitIdle();
  ASSERT_EQ(session->EmulatedAdapterIndex(), 0);
  EXPECT_TRUE(session->Window().AdapterSelector()->itemText(0).startsWith("Brisfell emulated segment"));
  EXPECT_EQ(session->GetEngine().CurrentAdapterIndex(), -1);  // listed, not yet chosen

  // Without the option only real adapters are listed (as many as this machine has).
  auto plain = AppSession::Create({}, error);
  ASSERT_NE(plain, nullptr);
  plain->Jobs().WaitIdle();
  EXPECT_EQ(plain->EmulatedAdapterIndex(), -1);
  const Engine& withSim = session->GetEngine();
  const Engine& without = plain->GetEngine();
  ASSERT_GE(without.AdapterCount(), withSim.AdapterCount() - 1);
  for (int i = 0; i + 1 < withSim.AdapterCount(); ++i)
    EXPECT_EQ(without.AdapterName(i), withSim.AdapterName(i + 1));

  options.scenarioFile = "/nonexistent/scenario.json";
  EXPECT_EQ(AppSession::Create(options, error), nullptr);
  EXPECT_TRUE(error.contains("/nonexistent/scenario.json")) << error.toStdString();

  // Faults the segment does not know are refused by name.
  options.scenarioFile.clear();
  options.faults = "nonsense=1";
  EXPECT_EQ(AppSession::Create(options, error), nullptr);
  EXPECT_TRUE(error.contains("nonsense")) << error.toStdString();
}

TEST(AboutDialogTest, ShowsNameVersionPictureAndOk) {
  EnsureQtApp();
  AboutDialog about;
  EXPECT_EQ(about.windowTitle(), "About");
  QStringList texts;
  bool picture = false;
  for (auto* label : about.findChildren<QLabel*>()) {
    texts << label->text();
    picture = picture || !label->pixmap().isNull();
  }
  EXPECT_TRUE(texts.contains("Ardune Brisfell"));
  EXPECT_TRUE(texts.contains("Remote Management Tool"));
  EXPECT_TRUE(texts.contains("Ver 3.30"));
  EXPECT_TRUE(picture);
  auto buttons = about.findChildren<QPushButton*>();
  ASSERT_EQ(buttons.size(), 1);
  EXPECT_EQ(buttons.front()->text(), "OK");
  buttons.front()->click();
  EXPECT_EQ(about.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace brisfell::testing
