#include "pages/status/mib_counter_page.h"

#include <QGridLayout>
#include <QVBoxLayout>
#include <optional>

#include "pages/common/report_list.h"
#include "pages/status/mib_counter_config_dialog.h"
#include "pages/status/mib_counter_logic.h"

namespace brisfell {

MibCounterPage::MibCounterPage(PageContext& context) : Page(context, "MIB Counter") {}

void MibCounterPage::BuildControls(QWidget* window) {
  window_ = window;
  auto* layout = new QVBoxLayout(window);
  list_ = MakeReportList(window, MibCounterColumns(), {44, 84, 110, 84, 110, 84, 110});
  list_->setObjectName("mibCounterList");
  QObject::connect(list_, &QTreeWidget::itemDoubleClicked, window, [this] { Config(false); });
  layout->addWidget(list_, 1);

  auto* buttons = new QGridLayout;
  auto add = [&](const char* text, const char* name, int row, int column, auto handler) {
    auto* b = new QPushButton(text, window);
    b->setObjectName(name);
    QObject::connect(b, &QPushButton::clicked, window, handler);
    buttons->addWidget(b, row, column);
  };
  add("Refresh", "refresh", 0, 0, [this] { Refresh(); });
  add("Config", "config", 0, 1, [this] { Config(true); });
  add("Port Clear", "portClear", 0, 2, [this] {
    const int mark = SelectionMark(list_);
    std::optional<BusyCursor> busy;
    if (mark != -1 && Ready()) busy.emplace();
    if (MibPortClear(context_, mark)) Refresh();
  });
  add("All Clear", "allClear", 1, 0, [this] { Act(MibAllClear); });
  add("All BYTE", "allByte", 1, 1, [this] { Act(MibAllBytes); });
  add("All PACKET", "allPacket", 1, 2, [this] { Act(MibAllPackets); });
  layout->addLayout(buttons);
}

QPushButton* MibCounterPage::Button(const QString& text) const {
  if (!window_) return nullptr;
  for (auto* b : window_->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

void MibCounterPage::Refresh() {
  if (!list_) return;
  ClearReportList(list_);
  std::optional<BusyCursor> busy;
  if (Ready()) busy.emplace();
  Table table;
  if (RefreshMibCounters(context_, table)) FillReportList(list_, table);
}

void MibCounterPage::Act(bool (*action)(PageContext&)) {
  std::optional<BusyCursor> busy;
  if (Ready()) busy.emplace();
  if (action(context_)) Refresh();
}

void MibCounterPage::Config(bool fromButton) {
  if (!MibConfigRequested(context_, SelectionMark(list_), fromButton)) return;
  MibCounterConfigDialog dialog(context_, window_);
  if (runDialog_(dialog)) Refresh();
}

}  // namespace brisfell
