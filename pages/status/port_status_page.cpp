#include "pages/status/port_status_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "pages/common/report_list.h"
#include "pages/status/port_status_logic.h"

namespace brisfell {

PortStatusPage::PortStatusPage(PageContext& context, EngineJobs& jobs) : Page(context, jobs, "Port Status") {}

void PortStatusPage::BuildControls(QWidget* window) {
  lastOk_ = false;
  auto* layout = new QVBoxLayout(window);
  list_ = MakeReportList(window, PortStatusColumns(), {44, 56, 100, 96, 90, 90, 90, 90});
  list_->setObjectName("portStatusList");
  layout->addWidget(list_, 1);

  refresh_ = new QPushButton("Refresh", window);
  refresh_->setObjectName("refresh");
  QObject::connect(refresh_, &QPushButton::clicked, window, [this] { Refresh(); });
  autoRefresh_ = new AutoRefreshWidget([this] { return Read(true); }, window);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(autoRefresh_);
  buttons->addStretch();
  buttons->addWidget(refresh_);
  layout->addLayout(buttons);
}

void PortStatusPage::Refresh() { Read(false); }

bool PortStatusPage::Read(bool automatic) {
  if (!list_ || Busy()) return false;
  if (!Ready()) {
    ClearReportList(list_);
    lastOk_ = false;
    return false;
  }
  // The timer's refreshes keep the list until the new one is there.
  if (!automatic) ClearReportList(list_);
  RunWith(
      Reading(), Table{}, [](PageContext& c, Table& table) { return RefreshPortStatus(c, table); },
      [this, automatic](bool ok, const Table& table) {
        const ListPlace place(list_);
        ClearReportList(list_);
        lastOk_ = ok;
        if (lastOk_) {
          FillReportList(list_, table);
          if (automatic) place.Restore();
          ClearNotice();
        } else {
          ShowFailure("Refresh");
          // Not again every few seconds: each try waits for a whole time-out.
          if (automatic) autoRefresh_->Stop();
        }
      },
      JobSlot::Automatic(automatic));
  return true;
}

}  // namespace brisfell
