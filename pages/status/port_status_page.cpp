#include "pages/status/port_status_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <optional>

#include "pages/common/report_list.h"
#include "pages/status/port_status_logic.h"

namespace brisfell {

PortStatusPage::PortStatusPage(PageContext& context) : Page(context, "Port Status") {}

void PortStatusPage::BuildControls(QWidget* window) {
  auto* layout = new QVBoxLayout(window);
  list_ = MakeReportList(window, PortStatusColumns(), {44, 56, 100, 96, 90, 90, 90, 90});
  list_->setObjectName("portStatusList");
  layout->addWidget(list_, 1);

  refresh_ = new QPushButton("Refresh", window);
  refresh_->setObjectName("refresh");
  QObject::connect(refresh_, &QPushButton::clicked, window, [this] { Refresh(); });
  autoRefresh_ = new AutoRefreshWidget(
      context_.engine,
      [this] {
        automatic_ = true;
        Refresh();
        automatic_ = false;
        return lastOk_;
      },
      window);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(autoRefresh_);
  buttons->addStretch();
  buttons->addWidget(refresh_);
  layout->addLayout(buttons);
}

void PortStatusPage::Refresh() {
  if (!list_) return;
  const ListPlace place(list_);
  ClearReportList(list_);
  // The timer's refreshes take a few milliseconds; a wait cursor would only flicker.
  std::optional<BusyCursor> busy;
  if (Ready() && !automatic_) busy.emplace();
  Table table;
  lastOk_ = RefreshPortStatus(context_, table);
  if (lastOk_) FillReportList(list_, table);
  if (automatic_) place.Restore();
}

}  // namespace brisfell
