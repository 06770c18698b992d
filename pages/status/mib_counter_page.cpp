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

namespace {

// What a refresh read: with auto refresh on, the raw reading for the rates; else the list.
struct MibRead {
  bool ok = false;
  bool withRates = false;
  MibReading reading;
  Table table;
};

}  // namespace

MibCounterPage::MibCounterPage(PageContext& context, EngineJobs& jobs) : Page(context, jobs, "MIB Counter") {}

void MibCounterPage::BuildControls(QWidget* window) {
  window_ = window;
  lastOk_ = false;
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
    Run(
        Writing(), [mark = SelectionMark(list_)](PageContext& c) { return MibPortClear(c, mark); },
        [this](bool cleared) {
          if (cleared) Refresh();
        });
  });
  add("All Clear", "allClear", 1, 0, [this] { Act(MibAllClear); });
  add("All BYTE", "allByte", 1, 1, [this] { Act(MibAllBytes); });
  add("All PACKET", "allPacket", 1, 2, [this] { Act(MibAllPackets); });
  layout->addLayout(buttons);

  previous_.reset();
  autoRefresh_ = new AutoRefreshWidget([this] { return Read(true); }, window);
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

void MibCounterPage::Refresh() { Read(false); }

bool MibCounterPage::Read(bool automatic) {
  if (!list_ || Busy()) return false;
  const bool withRates = autoRefresh_ && autoRefresh_->Running();
  if (!Ready()) {
    ClearReportList(list_);
    SetColumns(withRates ? MibCounterColumnsWithRates() : MibCounterColumns());
    lastOk_ = false;
    return false;
  }
  if (!automatic) ClearReportList(list_);
  Run(
      Reading(),
      [withRates](PageContext& c) {
        MibRead read;
        read.withRates = withRates;
        read.ok = withRates ? ReadMibCounters(c, read.reading) : RefreshMibCounters(c, read.table);
        return read;
      },
      [this, automatic](MibRead read) {
        const ListPlace place(list_);
        ClearReportList(list_);
        lastOk_ = read.ok;
        Table table = std::move(read.table);
        if (read.withRates) {
          const SwitchRecord* record = Record();
          table = read.ok && record ? DecodeMibCountersWithRates(*record, read.reading, previous_ ? &*previous_ : nullptr)
                                    : MibCounterColumnsWithRates();
          if (read.ok) {
            previous_ = std::move(read.reading);
          } else {
            previous_.reset();
          }
        } else if (!read.ok) {
          table = MibCounterColumns();
        }
        SetColumns(table);
        if (!read.ok) {
          ShowFailure("Refresh");
          if (automatic && autoRefresh_) autoRefresh_->Stop();
          return;
        }
        FillReportList(list_, table);
        if (automatic) place.Restore();
        ClearNotice();
      },
      JobSlot::Automatic(automatic));
  return true;
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
  Run(
      Writing(), [action](PageContext& c) { return action(c); },
      [this](bool written) {
        if (written) Refresh();
      });
}

void MibCounterPage::Config(bool fromButton) {
  OpenRowDialog(SelectionMark(list_), fromButton, MibConfigRequested, OpenMibConfig,
      [this](const MibConfigState& state) { return new MibCounterConfigDialog(state, window_); },
      [](const MibCounterConfigDialog& dialog) {
        return [state = dialog.State(), codes = dialog.Codes()](PageContext& c) { return ApplyMibConfig(c, state, codes); };
      });
}

}  // namespace brisfell
