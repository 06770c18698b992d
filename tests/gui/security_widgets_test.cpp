// The Device Security page as a widget on each model, the lock-out question in the page and in
// the port dialog, and the Tools menu's key dialog and audit window in the main window.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>

#include <QMenuBar>

#include "app/composite_driver.h"
#include "app/security_audit_window.h"
#include "app/switch_keys_dialog.h"
#include "app/tools_menu.h"
#include "gui/app_support.h"
#include "pages/ports/port_config_dialog.h"
#include "pages/ports/port_config_page.h"
#include "pages/security/device_security_page.h"
#include "sim/segment.h"
#include "page_widget_fixture.h"
#include "support/sim_fixture.h"

namespace brisfell::testing {
namespace {

struct SecurityWidgets : PageWidgetTest<> {};

TEST_F(SecurityWidgets, EachModelShowsItsVariantOfTheControls) {
  struct Case {
    uint32_t vendor;
    bool settable;
    bool button;
    const char* caption;
  };
  for (const Case& c : {Case{0x6B2D7002, false, false, kAccessErrorCaption},
                        Case{0x6B2D7003, false, true, kDisableAccessCaption},
                        Case{0x6B2D7004, true, true, kSetKeyCaption}, Case{0x4C4A2601, false, false, kAccessErrorCaption}}) {
    SCOPED_TRACE(Format("0x%08X", c.vendor));
    UseVendor(c.vendor);
    DeviceSecurityPage page(ctx, *jobs);
    Show(page);
    EXPECT_EQ(page.KeyEdit()->text(), "0x5A3C");
    EXPECT_EQ(page.KeyEdit()->isReadOnly(), !c.settable);
    if (c.settable) {
      EXPECT_EQ(page.KeyEdit()->maxLength(), 6);
    }
    EXPECT_EQ(page.AccessButton()->isVisibleTo(page.Window()), c.button);
    EXPECT_EQ(page.AccessButton()->isEnabled(), c.button);
    EXPECT_EQ(page.AccessButton()->text().toStdString(), c.caption);
    PortBoxes* boxes = page.Ports();
    ASSERT_NE(boxes, nullptr);
    EXPECT_EQ(boxes->title(), "Management Authorized Port Control");
    for (int p = 0; p < 26; ++p) {
      EXPECT_EQ(boxes->Box(p)->isVisibleTo(page.Window()), p < jobs->View().PortCount()) << p;
      EXPECT_EQ(boxes->Box(p)->isChecked(), p < jobs->View().PortCount()) << p;
    }
    EXPECT_EQ(boxes->Box(24)->text(), "G1");
    EXPECT_TRUE(status.empty());
    page.DestroyWindow();
  }
}

TEST_F(SecurityWidgets, UpdateWritesTheBoxesAndAsksBeforeTheStationsOwnPort) {
  auto& sw = UseVendor(0x6B2D7002);  // the station is on chip port 1, shown as port 1
  DeviceSecurityPage page(ctx, *jobs);
  Show(page);
  page.Ports()->Box(0)->setChecked(false);
  page.UpdateButton()->click();
  Settle();
  ASSERT_EQ(prompt.QuestionTexts().size(), 1u);
  EXPECT_EQ(prompt.QuestionTexts()[0].rfind("You are connected through port 1 of this switch.", 0), 0u);
  EXPECT_TRUE(sw.WriteLog().empty()) << "No is the default";
  ASSERT_FALSE(status.empty());
  EXPECT_NE(status.back().find("Not written"), std::string::npos);

  page.Ports()->Box(0)->setChecked(true);
  page.Ports()->Box(5)->setChecked(false);  // chip port 4
  page.UpdateButton()->click();
  Settle();
  EXPECT_EQ(prompt.QuestionTexts().size(), 1u);
  EXPECT_EQ(sw.Register(kRegUnauthorisedLow), 1u << 4);
  EXPECT_EQ(sw.Register(kRegUnauthorisedHigh), 0u);

  page.Ports()->NoneButton()->click();
  prompt.answers = {true};
  page.UpdateButton()->click();
  Settle();
  EXPECT_EQ(sw.Register(kRegUnauthorisedLow), 0xFFFFu);
  // The switch now ignores this console, as it was warned: already the high half's write.
  EXPECT_EQ(sw.Register(kRegUnauthorisedHigh), 0u);
  status.clear();
  page.RefreshButton()->click();
  Settle();
  ASSERT_FALSE(status.empty());
  EXPECT_EQ(status.back().rfind("Refresh failed: ", 0), 0u) << status.back();
  EXPECT_EQ(page.NoticeText().toStdString(), status.back());
}

TEST_F(SecurityWidgets, TheAccessButtonSetsTheTypedKeyOrTogglesRemoteAccess) {
  auto& b = UseVendor(0x6B2D7004);
  {
    DeviceSecurityPage page(ctx, *jobs);
    Show(page);
    page.KeyEdit()->setText("0x12");
    page.AccessButton()->click();
    Settle();
    EXPECT_EQ(prompt.MessageTexts(), std::vector<std::string>({kKeyInvalidMessage}));
    page.KeyEdit()->setText("0xC0DE");
    page.AccessButton()->click();
    Settle();
    EXPECT_EQ(b.Key(), 0xC0DE);
    // The window's copy of the switch table carries the new key too.
    EXPECT_EQ(jobs->View().Current()->AuthKey(), 0xC0DE);
    page.RefreshButton()->click();
    Settle();
    EXPECT_EQ(page.KeyEdit()->text(), "0xC0DE");
  }
  auto& a = UseVendor(0x6B2D7003);
  DeviceSecurityPage page(ctx, *jobs);
  Show(page);
  page.AccessButton()->click();  // answered No
  Settle();
  EXPECT_EQ(prompt.QuestionTexts().back(), kDisableAccessWarning);
  EXPECT_EQ(a.EepromByte(kEepromRemoteAccess), 0);
  prompt.answers = {true};
  page.AccessButton()->click();
  Settle();
  EXPECT_EQ(a.EepromByte(kEepromRemoteAccess), 3);
  EXPECT_EQ(page.AccessButton()->text().toStdString(), kEnableAccessCaption);
}

TEST_F(SecurityWidgets, ThePortDialogAsksBeforeDisablingTheStationsPort) {
  auto& sw = UseVendor(0x6B2D7003);  // the station comes in on chip port 15, shown as port 1
  PortConfigPage page(ctx, *jobs);
  Show(page);
  page.List()->setCurrentItem(page.List()->topLevelItem(0));
  page.SetDialogRunner(Answer<PortConfigDialog>([](PortConfigDialog& dialog) {
    dialog.DisableButton()->setChecked(true);
    return true;
  }));
  page.ConfigButton()->click();
  Settle();
  ASSERT_EQ(prompt.QuestionTexts().size(), 1u);
  EXPECT_EQ(prompt.QuestionTexts()[0].rfind("You are connected through port 1 of this switch.", 0), 0u);
  EXPECT_FALSE(sw.WasWritten(kRegPortDisable));
}

// The main window on the emulated segment, as the application builds it.
struct Shell : QtFirst {
  explicit Shell(const sim::Scenario& scenario) : segment(scenario, clock) {
    composite.AddMember(segment);
    rig = std::make_unique<ShellRig>(composite, clock);
  }
  MainWindow& Window() { return *rig->window; }
  void Settle() { rig->Settle(); }
  sim::VirtualClock clock;
  sim::Segment segment;
  CompositeDriver composite;
  std::unique_ptr<ShellRig> rig;
};

TEST(SecurityTools, TheToolsMenuSitsBeforeHelp) {
  Shell s(sim::DefaultScenario());
  QStringList menus;
  for (QAction* a : s.Window().menuBar()->actions()) menus << a->text();
  ASSERT_GE(menus.indexOf(QString(kToolsMenuTitle)), 0) << menus.join(",").toStdString();
  EXPECT_LT(menus.indexOf(QString(kToolsMenuTitle)), menus.indexOf(QString("&Help")));
  ASSERT_NE(SwitchKeysAction(s.Window()), nullptr);
  EXPECT_EQ(SwitchKeysAction(s.Window())->text(), kSwitchKeysMenuText);
  ASSERT_NE(SecurityAuditAction(s.Window()), nullptr);
}

TEST(SecurityTools, AddingTheKeyOfTheKeyedSwitchFindsItAndRemovingItLosesIt) {
  Shell s(sim::LoadScenarioFile(std::string(BRISFELL_SOURCE_DIR) + "/sim/scenarios/keyed-pair.json"));
  MainWindow& w = s.Window();
  w.SelectAdapter(0);
  s.Settle();
  ASSERT_EQ(w.SwitchSelector()->count(), 1);
  int rescans = 0;
  SwitchKeysDialog dialog(
      *s.rig->jobs, s.rig->prompt,
      [&] {
        ++rescans;
        w.SelectAdapter(s.rig->jobs->View().currentAdapter);
      },
      &w);
  s.Settle();
  ASSERT_EQ(dialog.List()->topLevelItemCount(), 1);
  EXPECT_EQ(dialog.List()->topLevelItem(0)->text(2), "yes");

  dialog.MacEdit()->setText("02:0B:F1:16:00:44");
  dialog.KeyEdit()->setText("0x12");
  dialog.AddButton()->click();
  EXPECT_EQ(s.rig->prompt.MessageTexts(), std::vector<std::string>({kKeyInvalidMessage}));
  EXPECT_EQ(rescans, 0);

  dialog.KeyEdit()->setText("0x1234");
  dialog.AddButton()->click();
  s.Settle();
  EXPECT_EQ(rescans, 1);
  EXPECT_EQ(w.SwitchSelector()->count(), 2);
  ASSERT_EQ(dialog.List()->topLevelItemCount(), 2);
  QTreeWidgetItem* keyed = nullptr;
  for (int i = 0; i < 2; ++i)
    if (dialog.List()->topLevelItem(i)->text(0) == "02:0B:F1:16:00:44") keyed = dialog.List()->topLevelItem(i);
  ASSERT_NE(keyed, nullptr);
  EXPECT_EQ(keyed->text(1), "0x1234");
  EXPECT_EQ(keyed->text(2), "yes");

  dialog.List()->setCurrentItem(keyed);
  dialog.RemoveButton()->click();  // answered No
  s.Settle();
  EXPECT_EQ(rescans, 1);
  s.rig->prompt.answers = {true};
  dialog.RemoveButton()->click();
  s.Settle();
  EXPECT_EQ(rescans, 2);
  EXPECT_EQ(w.SwitchSelector()->count(), 1);
  EXPECT_EQ(dialog.List()->topLevelItemCount(), 1);
}

TEST(SecurityTools, TheAuditWindowListsTheFindingsOfEveryDiscoveredSwitch) {
  Shell s(sim::DefaultScenario());
  MainWindow& w = s.Window();
  SecurityAuditAction(w)->trigger();
  auto* audit = w.findChild<SecurityAuditWindow*>();
  ASSERT_NE(audit, nullptr);
  EXPECT_EQ(audit->List()->topLevelItemCount(), 0) << "no adapter yet";
  EXPECT_FALSE(audit->Summary()->text().isEmpty());

  w.SelectAdapter(0);
  s.Settle();
  w.SelectSwitch(3);
  audit->RunButton()->click();
  // While it runs the window says so; the rest of the main window goes on.
  EXPECT_TRUE(audit->Busy());
  EXPECT_FALSE(audit->RunButton()->isEnabled());
  s.Settle();
  EXPECT_FALSE(audit->Busy());
  EXPECT_EQ(s.rig->engine.CurrentSwitchIndex(), 3);
  ASSERT_FALSE(audit->Findings().empty());
  EXPECT_EQ(audit->List()->topLevelItemCount(), static_cast<int>(audit->Findings().size()));
  // The list shows the command beside its MAC, whole; the line beneath it the whole command
  // line, as the command line takes it for this adapter (the emulated segment is --sim).
  const auto& first = audit->Findings().front();
  EXPECT_EQ(audit->List()->topLevelItem(0)->text(5).toStdString(), first.command);
  EXPECT_EQ(audit->FixLine()->text().toStdString(), "brisfell-cli --sim -s " + FormatMac(first.mac) + " " + first.command);
  audit->show();
  QApplication::processEvents();
  audit->RunButton()->click();  // laid out: the columns fit the shown list
  s.Settle();
  for (int row = 0; row < audit->List()->topLevelItemCount(); ++row) {
    const QString text = audit->List()->topLevelItem(row)->text(5);
    EXPECT_LE(audit->List()->fontMetrics().horizontalAdvance(text) + 12, audit->List()->columnWidth(5)) << text.toStdString();
  }
  EXPECT_EQ(audit->List()->horizontalScrollBar()->maximum(), 0) << "nothing to scroll to";
  audit->CopyButton()->click();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), audit->FixLine()->text());

  // Apply: only for a fix that is one change needing no value, and then the finding is gone.
  auto rowOf = [&](const char* check) {
    for (size_t i = 0; i < audit->Findings().size(); ++i)
      if (audit->Findings()[i].check == check) return static_cast<int>(i);
    return -1;
  };
  const int key = rowOf(kAuditDefaultKey);
  ASSERT_GE(key, 0);
  audit->List()->setCurrentItem(audit->List()->topLevelItem(key));
  EXPECT_FALSE(audit->ApplyButton()->isEnabled()) << "the operator chooses the key";
  const int storm = rowOf(kAuditStormFilterOff);
  ASSERT_GE(storm, 0);
  audit->List()->setCurrentItem(audit->List()->topLevelItem(storm));
  ASSERT_TRUE(audit->ApplyButton()->isEnabled());
  const Mac fixed = audit->Findings()[static_cast<size_t>(storm)].mac;
  const size_t before = audit->Findings().size();
  audit->ApplyButton()->click();
  EXPECT_TRUE(audit->Busy()) << "the fix is a job on the engine thread";
  s.Settle();  // the fix, then the audit it starts again
  s.Settle();
  EXPECT_FALSE(audit->Busy());
  EXPECT_EQ(audit->Findings().size(), before - 1);
  for (const auto& f : audit->Findings()) EXPECT_FALSE(f.mac == fixed && f.check == kAuditStormFilterOff);
  EXPECT_EQ(s.rig->engine.CurrentSwitchIndex(), 3) << "the current switch is kept";
  audit->hide();
  EXPECT_TRUE(audit->Summary()->text().startsWith(QString::number(audit->Findings().size()) + " finding"));
  // The menu shows the same window again rather than a second one.
  SecurityAuditAction(w)->trigger();
  EXPECT_EQ(w.findChildren<SecurityAuditWindow*>().size(), 1);
}

}  // namespace
}  // namespace brisfell::testing
