#include "pages/status/mib_counter_page.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
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

  previous_.reset();
  autoRefresh_ = new AutoRefreshWidget(
      context_.engine,
      [this] {
        automatic_ = true;
        Refresh();
        automatic_ = false;
        return lastOk_;
      },
      window);
  // Rates need two readings taken while auto refresh runs; the columns change with it.
  autoRefresh_->SetToggled([this](bool on) {
    previous_.reset();
    // Turned off by a refresh that found no answer: no second time-out, only the columns.
    if (on || lastOk_) {
      Refresh();
    } else {
      SetColumns(MibCounterColumns());
    }
  });
  auto* live = new QHBoxLayout;
  live->addWidget(autoRefresh_);
  live->addStretch();
  layout->addLayout(live);
}

QPushButton* MibCounterPage::Button(const QString& text) const {
  if (!window_) return nullptr;
  for (auto* b : window_->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

void MibCounterPage::Refresh() {
  if (!list_) return;
  const ListPlace place(list_);
  ClearReportList(list_);
  std::optional<BusyCursor> busy;
  if (Ready() && !automatic_) busy.emplace();
  Table table;
  if (autoRefresh_ && autoRefresh_->Running()) {
    MibReading reading;
    lastOk_ = ReadMibCounters(context_, reading);
    table = lastOk_ ? DecodeMibCountersWithRates(*context_.Record(), reading, previous_ ? &*previous_ : nullptr)
                    : MibCounterColumnsWithRates();
    if (lastOk_) {
      previous_ = std::move(reading);
    } else {
      previous_.reset();
    }
  } else {
    lastOk_ = RefreshMibCounters(context_, table);
  }
  SetColumns(table);
  if (lastOk_) FillReportList(list_, table);
  if (automatic_) place.Restore();
}

void MibCounterPage::SetColumns(const Table& table) {
  const QStringList headers = ToQStringList(table.columns);
  if (list_->columnCount() == headers.size()) {
    bool same = true;
    for (int c = 0; c < headers.size() && same; ++c) same = list_->headerItem()->text(c) == headers[c];
    if (same) return;
  }
  list_->setColumnCount(headers.size());
  list_->setHeaderLabels(headers);
  // Every column at least as wide as its header.
  QFontMetrics fm(list_->header()->font());
  for (int c = 0; c < headers.size(); ++c)
    list_->setColumnWidth(c, std::max(fm.horizontalAdvance(headers[c]) + 24, c == 0 ? 44 : 84));
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
