// The port and status pages and their dialogs as widgets, on the emulated segment.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTreeWidget>

#include "page_widget_fixture.h"
#include "pages/ports/port_config_dialog.h"
#include "pages/ports/port_config_page.h"
#include "pages/ports/ports_config_dialog.h"
#include "pages/ports/trunk_dialog.h"
#include "pages/status/mib_counter_config_dialog.h"
#include "pages/status/mib_counter_page.h"
#include "pages/status/port_status_page.h"
#include "support/sim_fixture.h"

namespace brisfell::testing {
namespace {

struct PortsWidgets : PageWidgetTest<> {
  static QStringList Headers(QTreeWidget* list) {
    QStringList h;
    for (int c = 0; c < list->columnCount(); ++c) h << list->headerItem()->text(c);
    return h;
  }
  static void Select(QTreeWidget* list, int row) { list->setCurrentItem(list->topLevelItem(row)); }
  // Every cell fits its column (the last one stretches).
  static void ExpectCellsFit(QTreeWidget* list) {
    QFontMetrics fm(list->font());
    for (int c = 0; c + 1 < list->columnCount(); ++c)
      for (int r = 0; r < list->topLevelItemCount(); ++r)
        EXPECT_GE(list->columnWidth(c), fm.horizontalAdvance(list->topLevelItem(r)->text(c)))
            << "column " << c << " row " << r;
  }
};

TEST_F(PortsWidgets, PortStatusPageFillsAndEmptiesOnAFailedRefresh) {
  auto& sw = Use(26);
  PortStatusPage page(ctx, *jobs);
  Show(page);
  QTreeWidget* list = page.List();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(Headers(list), QStringList({"Port", "Linked", "Port Type", "Speed Duplex", "Flow Control",
                                        "Tx Bandwidth", "Rx Bandwidth", "Trunk Setting"}));
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
  ASSERT_EQ(list->topLevelItemCount(), 26);
  EXPECT_EQ(list->topLevelItem(25)->text(0), "G2");
  ExpectCellsFit(list);

  sw.SetMuted(true);
  page.RefreshButton()->click();
  Settle();
  EXPECT_EQ(list->topLevelItemCount(), 0);
  EXPECT_TRUE(page.NoticeText().startsWith("Refresh failed: no reply from ")) << page.NoticeText().toStdString();
  sw.SetMuted(false);
  page.RefreshButton()->click();
  Settle();
  EXPECT_EQ(list->topLevelItemCount(), 26);
  EXPECT_EQ(page.NoticeText(), "");
  EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(PortsWidgets, MibPageButtonsNeedASelection) {
  auto& sw = Use(16);
  MibCounterPage page(ctx, *jobs);
  int dialogs = 0;
  page.SetDialogRunner([&](QDialog&) { return ++dialogs, false; });
  Show(page);
  ASSERT_EQ(page.List()->topLevelItemCount(), 16);
  sw.ClearLog();
  page.Button("Port Clear")->click();
  Settle();
  page.Button("Config")->click();
  Settle();
  EXPECT_EQ(prompt.MessageTexts(),
            std::vector<std::string>({"Please select Port to clear!", "Please select Port to config!"}));
  for (const auto& s : prompt.shown) {
    EXPECT_EQ(s.title, "Error");
    EXPECT_EQ(s.icon, PromptIcon::Error);
  }
  EXPECT_EQ(dialogs, 0);
  EXPECT_TRUE(sw.WriteLog().empty());

  // "All PACKET" writes and refreshes.
  page.Button("All PACKET")->click();
  Settle();
  EXPECT_EQ(sw.WritesTo(0x0700).size(), 1u);
  ASSERT_EQ(page.List()->topLevelItemCount(), 16);
  EXPECT_EQ(page.List()->topLevelItem(0)->text(2), "Rx packets");
  EXPECT_EQ(page.List()->topLevelItem(0)->text(6), "Drop packets");
}

TEST_F(PortsWidgets, MibConfigDialogThroughThePage) {
  auto& sw = Use(24);
  MibCounterPage page(ctx, *jobs);
  QString title;
  page.SetDialogRunner(Answer<MibCounterConfigDialog>([&](MibCounterConfigDialog& dialog) {
    title = dialog.windowTitle();
    EXPECT_EQ(dialog.CounterList(0)->count(), 4);
    EXPECT_EQ(dialog.CounterList(2)->itemText(0), "Drop Byte Count");
    EXPECT_EQ(dialog.CounterList(1)->itemText(3), "Collision Packet Count");
    dialog.CounterList(0)->setCurrentIndex(2);
    return true;
  }));
  Show(page);
  Select(page.List(), 3);  // chip 2
  page.Button("Config")->click();
  Settle();
  EXPECT_EQ(title, "Port 4 MIB Counter Config");
  EXPECT_EQ(MibCode(sw.Register(0x0701), 2, 0), 2);
  EXPECT_EQ(page.List()->topLevelItem(3)->text(2), "CRC error packets");  // refreshed after OK
}

TEST_F(PortsWidgets, PortConfigDialogOpensWithTheSwitchsSettings) {
  auto& sw = Use(24);
  sw.SetRegister(0x020C, 0x0035);  // chip 4 (row 5): tx 3, rx 5
  PortConfigPage page(ctx, *jobs);
  QStringList seen;
  page.SetDialogRunner(Answer<PortConfigDialog>([&](PortConfigDialog& dialog) {
    seen << dialog.windowTitle() << dialog.RxList()->currentText() << dialog.TxList()->currentText()
         << dialog.SpeedList()->currentText() << dialog.PauseList()->currentText()
         << (dialog.EnableButton()->isChecked() ? "Enable" : "?");
    dialog.TxList()->setCurrentIndex(7);
    return true;
  }));
  Show(page);
  ASSERT_EQ(page.List()->topLevelItemCount(), 24);
  Select(page.List(), 5);
  page.ConfigButton()->click();
  // The dialog opens once its read is back, not before.
  EXPECT_TRUE(seen.isEmpty());
  EXPECT_TRUE(page.Busy());
  Settle();
  EXPECT_EQ(seen, QStringList({"Config Port 6", "2Mbps", "512Kbps", "Auto", "Asym to LinkPartner", "Enable"}));
  EXPECT_EQ(sw.WritesTo(0x020C), std::vector<uint32_t>({0x0075}));
  EXPECT_EQ(sw.SoftResets(), 0);
  EXPECT_EQ(page.List()->topLevelItem(5)->text(2), "8M");  // the page read the switch again
}

TEST_F(PortsWidgets, PortConfigDialogWithoutAnswerHasNoSelectionAndCancelWritesNothing) {
  auto& sw = Use(24);
  PortConfigPage page(ctx, *jobs);
  Show(page);
  Select(page.List(), 0);
  sw.SetMuted(true);
  int opened = 0;
  page.SetDialogRunner(Answer<PortConfigDialog>(
      [](PortConfigDialog& dialog) {
        EXPECT_EQ(dialog.SpeedList()->currentIndex(), -1);
        EXPECT_EQ(dialog.RxList()->currentIndex(), -1);
        EXPECT_EQ(dialog.PauseList()->currentIndex(), -1);
        EXPECT_FALSE(dialog.EnableButton()->isChecked());
        EXPECT_FALSE(dialog.DisableButton()->isChecked());
        EXPECT_EQ(dialog.Choices().enable, -1);
        return false;
      },
      &opened));
  page.ConfigButton()->click();
  Settle();
  EXPECT_EQ(opened, 1);
  sw.SetMuted(false);
  page.SetDialogRunner(Answer<PortConfigDialog>([](PortConfigDialog& dialog) {
    dialog.DisableButton()->setChecked(true);
    return false;
  }));
  page.ConfigButton()->click();
  Settle();
  EXPECT_TRUE(sw.WriteLog().empty());
}

TEST_F(PortsWidgets, PortConfigPageDoubleClickAndMessages) {
  Use(24);
  PortConfigPage page(ctx, *jobs);
  int dialogs = 0;
  page.SetDialogRunner([&](QDialog&) { return ++dialogs, false; });
  Show(page);
  emit page.List()->itemDoubleClicked(nullptr, 0);  // no selection mark: nothing at all
  Settle();
  EXPECT_TRUE(prompt.shown.empty());
  page.ConfigButton()->click();
  Settle();
  EXPECT_EQ(prompt.MessageTexts(), std::vector<std::string>({"Please select Port to config!"}));
  EXPECT_EQ(dialogs, 0);
  page.ConfigPortsButton()->click();
  page.ConfigTrunkButton()->click();
  Settle();
  EXPECT_EQ(dialogs, 2);
}

TEST_F(PortsWidgets, PortsConfigDialogHidesMissingPortsAndWritesTheBlock) {
  auto& sw = Use(16);
  PortConfigPage page(ctx, *jobs);
  Show(page);
  sw.ClearLog();
  page.SetDialogRunner(Answer<PortsConfigDialog>([&](PortsConfigDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Ports Configuration");
    EXPECT_TRUE(sw.ReadLog().empty());  // nothing is read before OK
    for (int p = 0; p < 26; ++p) EXPECT_EQ(dialog.PortBox(p)->isVisibleTo(&dialog), p < 16) << p;
    EXPECT_EQ(dialog.PortBox(24)->text(), "G1");
    EXPECT_EQ(dialog.PortBox(16)->text(), "port17");
    EXPECT_EQ(dialog.SpeedList()->currentText(), "Auto");
    EXPECT_EQ(dialog.RxList()->currentText(), "Disable");
    EXPECT_EQ(dialog.PauseList()->currentText(), "Asym to LinkPartner");
    EXPECT_TRUE(dialog.EnableButton()->isChecked());

    dialog.TxList()->setCurrentIndex(3);
    dialog.TxGroup()->setChecked(true);
    dialog.AllButton()->click();
    EXPECT_EQ(dialog.TxList()->currentIndex(), 3);  // the choice survives "All"
    for (int p = 0; p < 16; ++p) EXPECT_TRUE(dialog.PortBox(p)->isChecked());
    EXPECT_FALSE(dialog.PortBox(16)->isChecked());
    dialog.NoneButton()->click();
    dialog.PortBox(0)->setChecked(true);  // chip 15
    return true;
  }));
  page.ConfigPortsButton()->click();
  Settle();
  EXPECT_EQ(sw.WriteLog().size(), 29u);
  EXPECT_EQ(sw.Register(0x0211) >> 12 & 0x7, 3u);
}

TEST_F(PortsWidgets, TrunkDialogShowsTheModelsGroups) {
  auto& sw = Use(16);
  sw.SetRegister(0x0307, 0x0004);
  PortConfigPage page(ctx, *jobs);
  Show(page);
  page.SetDialogRunner(Answer<TrunkDialog>([](TrunkDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Trunking Configuration");
    EXPECT_EQ(dialog.GroupBox(1)->text(), "Trunk 1 (port 7, 8, 15, 16)");
    EXPECT_TRUE(dialog.GroupBox(2)->isChecked());
    EXPECT_TRUE(dialog.GroupBox(4)->isVisibleTo(&dialog));
    EXPECT_FALSE(dialog.GroupBox(5)->isVisibleTo(&dialog));
    dialog.GroupBox(2)->setChecked(false);
    dialog.GroupBox(1)->setChecked(true);
    return true;
  }));
  page.ConfigTrunkButton()->click();
  Settle();
  EXPECT_EQ(sw.WritesTo(0x0307), std::vector<uint32_t>({0x0002}));
}

}  // namespace
}  // namespace brisfell::testing
