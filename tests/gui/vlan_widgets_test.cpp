// The VLAN configuration and tag control pages and their dialogs as widgets, on the emulated
// segment.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QValidator>

#include "page_widget_fixture.h"
#include "pages/vlan/tag_control_page.h"
#include "pages/vlan/tag_untag_dialog.h"
#include "pages/vlan/vlan_config_page.h"
#include "pages/vlan/vlan_edit_dialog.h"
#include "support/sim_fixture.h"

namespace brisfell::testing {
namespace {

struct VlanWidgets : PageWidgetTest<> {
  sim::EmulatedSwitch& Chip() { return sim.Emulated(ctx.Switch()); }
  int ChipPort(int position) const { return sim.engine.MapPortToChip(ctx.Switch(), position); }
  void SetEntry(int k, uint32_t members, uint32_t vid) {
    Chip().SetRegister(VlanMembersLowRegister(k), members & 0xFFFF);
    Chip().SetRegister(VlanMembersHighRegister(k), members >> 16);
    Chip().SetRegister(VlanIdRegister(k), vid);
  }
  // No VLAN at all, whatever the switch started with.
  void ClearTable() {
    for (int k = 0; k < kOperatorEntries; ++k) SetEntry(k, 0, 0);
    SetEntry(kUnassignedEntry, AllPortsMask(ctx.PortCount()), 0);
  }
  static QStringList Column(QTreeWidget* list, int column) {
    QStringList out;
    for (int r = 0; r < list->topLevelItemCount(); ++r) out << list->topLevelItem(r)->text(column);
    return out;
  }
  static QStringList Headers(QTreeWidget* list) {
    QStringList h;
    for (int c = 0; c < list->columnCount(); ++c) h << list->headerItem()->text(c);
    return h;
  }
  static void Select(QTreeWidget* list, int row) { list->setCurrentItem(list->topLevelItem(row)); }
};

TEST_F(VlanWidgets, StatusLabelsFollowTheControlRegister) {
  auto& sw = Use(24);
  sw.SetRegister(kRegVlanControl, 0x0001);
  VlanConfigPage page(ctx);
  page.CreateWindow(&host);
  const QColor black(0, 0, 0), red(255, 0, 0);
  struct Case {
    uint32_t control;
    bool function, tag;
  };
  for (const Case& c : {Case{0x0001, true, false}, Case{0x0010, false, true}, Case{0x00EE, false, false},
                        Case{0x0011, true, true}}) {
    SCOPED_TRACE(c.control);
    sw.SetRegister(kRegVlanControl, c.control);
    page.Button("Refresh")->click();
    for (auto [label, on] : {std::pair{page.FunctionLabel(), c.function}, {page.TagLabel(), c.tag}}) {
      EXPECT_EQ(label->text(), on ? "Enable" : "Disable");
      EXPECT_EQ(label->TextColour(), on ? black : red);
      EXPECT_EQ(label->BackgroundColour(), label->palette().color(QPalette::Button));
      EXPECT_TRUE(label->autoFillBackground());
    }
  }
  // A failed refresh empties the list and leaves the labels as they were.
  sw.SetMuted(true);
  page.Button("Refresh")->click();
  EXPECT_EQ(page.List()->topLevelItemCount(), 0);
  EXPECT_EQ(page.FunctionLabel()->text(), "Enable");
  EXPECT_EQ(page.TagLabel()->text(), "Enable");
}

TEST_F(VlanWidgets, PageShowsTheListAndItsControls) {
  Use(26);
  ClearTable();
  SetEntry(0, (1u << ChipPort(0)) | (1u << ChipPort(1)) | (1u << ChipPort(24)), 0);
  SetEntry(3, 1u << ChipPort(5), 300);
  VlanConfigPage fresh(ctx);
  fresh.CreateWindow(&host);
  QTreeWidget* list = fresh.List();
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(Headers(list), QStringList({"Vlan No.", "Port/Tag based", "Vlan ID", "Port##{Vlan Member}"}));
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(list->topLevelItem(0)->text(3), "1, 2, G1");
  const int row = static_cast<int>(Column(list, 0).indexOf("Vlan 4"));
  ASSERT_GE(row, 0);
  EXPECT_EQ(list->topLevelItem(row)->text(1), "Tag-Based");
  EXPECT_EQ(list->topLevelItem(row)->text(2), "300");
  EXPECT_EQ(list->topLevelItem(0)->text(2), "");
  for (const char* text : {"Refresh", "Add Vlan", "Edit Vlan", "Delete Vlan", "Delete All", "Home Vlan"})
    EXPECT_NE(fresh.Button(text), nullptr) << text;
  EXPECT_NE(fresh.Window()->findChild<QLabel*>("note"), nullptr);
}

TEST_F(VlanWidgets, EditNeedsASelectedRowInRange) {
  auto& sw = Use(24);
  ClearTable();
  SetEntry(0, 0x0003, 0);
  VlanConfigPage page(ctx);
  int dialogs = 0;
  page.SetDialogRunner([&](QDialog&) { return ++dialogs, true; });
  page.CreateWindow(&host);
  ASSERT_GE(page.List()->topLevelItemCount(), 1);

  emit page.List()->itemDoubleClicked(nullptr, 0);  // no selection: nothing at all
  EXPECT_TRUE(prompt.shown.empty());
  page.Button("Edit Vlan")->click();
  page.Button("Delete Vlan")->click();
  EXPECT_EQ(prompt.MessageTexts(), std::vector<std::string>({"Please select Vlan to Edit!", "Please select a VLAN to Delete!"}));
  for (const auto& s : prompt.shown) EXPECT_EQ(s.title, "Error");
  EXPECT_EQ(dialogs, 0);

  // A row whose number lies outside 1-31 opens nothing and touches nothing.
  prompt.shown.clear();
  for (const char* text : {"Vlan 32", "Vlan 0", "Vlan -3"}) {
    Select(page.List(), 0);
    page.List()->topLevelItem(0)->setText(0, text);
    sw.ClearLog();
    page.Button("Edit Vlan")->click();
    emit page.List()->itemDoubleClicked(page.List()->topLevelItem(0), 0);
    page.Button("Delete Vlan")->click();
    EXPECT_EQ(dialogs, 0) << text;
    EXPECT_TRUE(sw.ReadLog().empty()) << text;
    EXPECT_TRUE(sw.WriteLog().empty()) << text;
  }
  EXPECT_TRUE(prompt.shown.empty());

  page.Button("Refresh")->click();
  Select(page.List(), 0);
  emit page.List()->itemDoubleClicked(page.List()->topLevelItem(0), 0);
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(ctx.selectedListRow, 0);
}

TEST_F(VlanWidgets, EditDialogOpensOnTheEntryAndOkRefreshesThePage) {
  Use(16);
  ClearTable();
  SetEntry(1, (1u << ChipPort(0)) | (1u << ChipPort(3)), 0);
  VlanConfigPage page(ctx);
  QString caption;
  uint32_t ticked = 0;
  page.SetDialogRunner([&](QDialog& d) {
    auto& dialog = dynamic_cast<VlanEditDialog&>(d);
    caption = dialog.windowTitle();
    ticked = dialog.Ports()->Ticked();
    for (int p = 0; p < 26; ++p) EXPECT_EQ(dialog.Ports()->Box(p)->isVisibleTo(&dialog), p < 16) << p;
    EXPECT_EQ(dialog.Type()->Value(), kVlanPortBased);
    EXPECT_FALSE(dialog.VlanId()->isEnabled());
    dialog.Ports()->Box(5)->setChecked(true);
    dialog.accept();
    return dialog.result() == QDialog::Accepted;
  });
  page.CreateWindow(&host);
  const int row = static_cast<int>(Column(page.List(), 0).indexOf("Vlan 2"));
  ASSERT_GE(row, 0);
  Select(page.List(), row);
  page.Button("Edit Vlan")->click();
  EXPECT_EQ(caption, "Edit Vlan 2");
  EXPECT_EQ(ticked, 0x9u);  // shown positions 0 and 3
  EXPECT_EQ(ctx.selectedListRow, 1);
  EXPECT_EQ(page.List()->topLevelItem(row)->text(3), "1, 4, 6");
}

TEST_F(VlanWidgets, VlanIdFieldFollowsTheType) {
  Use(26);
  ctx.selectedListRow = -1;
  VlanEditDialog added(ctx, &host);
  EXPECT_EQ(added.windowTitle(), "Add New Vlan");
  EXPECT_TRUE(added.Type()->First()->isChecked());
  EXPECT_FALSE(added.VlanId()->isEnabled());
  EXPECT_TRUE(added.VlanId()->text().isEmpty());
  EXPECT_EQ(added.Ports()->Ticked(), 0u);
  for (int round = 0; round < 2; ++round) {
    added.Type()->Second()->click();
    EXPECT_TRUE(added.VlanId()->isEnabled());
    added.Type()->First()->click();
    EXPECT_FALSE(added.VlanId()->isEnabled());
  }
  // Digits only.
  QString text = "12a";
  int pos = 0;
  EXPECT_EQ(added.VlanId()->validator()->validate(text, pos), QValidator::Invalid);
  text = "4094";
  EXPECT_EQ(added.VlanId()->validator()->validate(text, pos), QValidator::Acceptable);

  SetEntry(2, 1u << ChipPort(25), 4000);
  ctx.selectedListRow = 2;
  VlanEditDialog edited(ctx, &host);
  EXPECT_EQ(edited.windowTitle(), "Edit Vlan 3");
  EXPECT_TRUE(edited.Type()->Second()->isChecked());
  EXPECT_TRUE(edited.VlanId()->isEnabled());
  EXPECT_EQ(edited.VlanId()->text(), "4000");
  EXPECT_EQ(edited.Ports()->Ticked(), 1u << 25);
  edited.Type()->First()->click();
  EXPECT_FALSE(edited.VlanId()->isEnabled());
  edited.Ports()->NoneButton()->click();
  EXPECT_EQ(edited.Ports()->Ticked(), 0u);
  edited.Ports()->AllButton()->click();
  EXPECT_EQ(edited.Ports()->Ticked(), (1u << 26) - 1);
}

TEST_F(VlanWidgets, ARefusalShowsUnderErrorAndTheDialogStillEndsWithOk) {
  auto& sw = Use(24);
  ctx.selectedListRow = -1;
  VlanEditDialog dialog(ctx, &host);
  dialog.Type()->Second()->click();
  dialog.VlanId()->setText("4095");
  dialog.Ports()->Box(2)->setChecked(true);
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.LastOutcome(), VlanOutcome::kRefused);
  ASSERT_EQ(prompt.shown.size(), 1u);
  EXPECT_EQ(prompt.shown[0].title, "ERROR");
  EXPECT_EQ(prompt.shown[0].text, "Failed!\nInvalid VLAN ID (use 1-4094)!\n");
  EXPECT_TRUE(sw.WriteLog().empty());

  // Cancel writes nothing.
  VlanEditDialog cancelled(ctx, &host);
  cancelled.Ports()->Box(2)->setChecked(true);
  cancelled.reject();
  EXPECT_TRUE(sw.WriteLog().empty());
}

TEST_F(VlanWidgets, AddWithTheTableFullShowsTheMessageAndRefreshes) {
  auto& sw = Use(24);
  for (int k = 0; k < 31; ++k) SetEntry(k, 1u << (k % 24), static_cast<uint32_t>(100 + k));
  sw.SetRegister(kRegVlanControl, 0x0000);
  VlanConfigPage page(ctx);
  page.SetDialogRunner([&](QDialog& d) {
    auto& dialog = dynamic_cast<VlanEditDialog&>(d);
    EXPECT_EQ(dialog.windowTitle(), "Add New Vlan");
    dialog.Ports()->Box(0)->setChecked(true);
    // Changed behind the page's back: only a refresh shows it.
    sw.SetRegister(kRegVlanControl, 0x0001);
    sw.ClearLog();
    dialog.accept();
    return dialog.result() == QDialog::Accepted;
  });
  page.CreateWindow(&host);
  EXPECT_EQ(page.List()->topLevelItemCount(), 31);
  EXPECT_EQ(page.FunctionLabel()->text(), "Disable");
  page.Button("Add Vlan")->click();
  EXPECT_EQ(prompt.MessageTexts(), std::vector<std::string>({"Failed!\nMaximum number of VLANs reached!\n"}));
  EXPECT_EQ(prompt.shown[0].title, "ERROR");
  EXPECT_TRUE(sw.WriteLog().empty());
  EXPECT_EQ(page.FunctionLabel()->text(), "Enable");
  EXPECT_EQ(page.List()->topLevelItemCount(), 31);
}

TEST_F(VlanWidgets, DeleteAndDeleteAllActAtOnceHomeVlanAsks) {
  auto& sw = Use(16);
  VlanConfigPage page(ctx);
  page.CreateWindow(&host);

  prompt.answers = {false};
  page.Button("Home Vlan")->click();
  ASSERT_EQ(prompt.QuestionTexts().size(), 1u);
  EXPECT_NE(prompt.QuestionTexts()[0].find("(1,9)"), std::string::npos);
  EXPECT_TRUE(sw.WriteLog().empty());

  prompt.answers = {true};
  page.Button("Home Vlan")->click();
  EXPECT_EQ(page.List()->topLevelItemCount(), 14);
  EXPECT_EQ(page.FunctionLabel()->text(), "Enable");

  prompt.shown.clear();
  Select(page.List(), 2);
  page.Button("Delete Vlan")->click();
  EXPECT_TRUE(prompt.shown.empty());
  EXPECT_EQ(page.List()->topLevelItemCount(), 13);
  EXPECT_EQ(Column(page.List(), 0).indexOf("Vlan 3"), -1);

  page.Button("Delete All")->click();
  EXPECT_TRUE(prompt.shown.empty());
  EXPECT_EQ(page.List()->topLevelItemCount(), 0);
  EXPECT_EQ(sw.Register(VlanMembersLowRegister(kUnassignedEntry)), 0xFFFFu);
}

TEST_F(VlanWidgets, TagPageListsEveryPortAndConfigChangesOne) {
  auto& sw = Use(16);
  sw.SetRegister(0x0319, 0x0001);  // chip port 0 (port 8): insert tag, high priority only
  TagControlPage page(ctx);
  QString caption;
  int preselected = -2;
  QStringList choices;
  page.SetDialogRunner([&](QDialog& d) {
    auto& dialog = dynamic_cast<TagUntagDialog&>(d);
    caption = dialog.windowTitle();
    preselected = dialog.Mode();
    choices.clear();
    for (int m = 0; m < 4; ++m) choices << dialog.ModeButton(m)->text();
    dialog.ModeButton(3)->click();
    dialog.accept();
    return dialog.result() == QDialog::Accepted;
  });
  page.CreateWindow(&host);
  QTreeWidget* list = page.List();
  EXPECT_EQ(Headers(list), QStringList({"Port", "Tag Control", "VID Index", "VID"}));
  const int widths[] = {40, 250, 80, 80};
  for (int c = 0; c < 4; ++c) EXPECT_GE(list->columnWidth(c), widths[c]) << c;
  ASSERT_EQ(list->topLevelItemCount(), 16);
  EXPECT_EQ(list->topLevelItem(7)->text(1), "Insert tag (high priority only)");

  emit list->itemDoubleClicked(nullptr, 0);
  EXPECT_TRUE(prompt.shown.empty());
  page.ConfigButton()->click();
  EXPECT_EQ(prompt.MessageTexts(), std::vector<std::string>({"Please select Port to config!"}));
  EXPECT_TRUE(caption.isEmpty());

  Select(list, 7);
  page.ConfigButton()->click();
  EXPECT_EQ(caption, "Port 8 Tag/Untag Configuration");
  EXPECT_EQ(preselected, 1);
  EXPECT_EQ(choices, QStringList({"Remove Tag (Remove tag from tagged packet)",
                                  "Insert Tag (Insert tag into untagged high-priority packet only)",
                                  "Insert Tag (Insert tag into all untagged packet)",
                                  "Don't Touch (Not modify the packet)"}));
  EXPECT_EQ(sw.WritesTo(0x0319), std::vector<uint32_t>({0x0003}));
  EXPECT_EQ(list->topLevelItem(7)->text(1), "Don't touch");  // read again after OK
}

TEST_F(VlanWidgets, TagDialogWithoutAnswerSelectsNothingAndOkWritesNothing) {
  auto& sw = Use(24);
  sw.FailReads(0x0319, -1);
  ctx.selectedListRow = 0;
  TagUntagDialog dialog(ctx, &host);
  EXPECT_EQ(dialog.windowTitle(), "Port 1 Tag/Untag Configuration");
  EXPECT_EQ(dialog.Mode(), -1);
  for (int m = 0; m < 4; ++m) EXPECT_FALSE(dialog.ModeButton(m)->isChecked());
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(sw.WriteLog().empty());

  // Cancel writes nothing even after a choice.
  TagUntagDialog again(ctx, &host);
  again.ModeButton((again.Mode() + 1) % 4)->click();
  again.reject();
  EXPECT_TRUE(sw.WriteLog().empty());
}

}  // namespace
}  // namespace brisfell::testing
