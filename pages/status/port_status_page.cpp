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
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(refresh_);
  layout->addLayout(buttons);
}

void PortStatusPage::Refresh() {
  if (!list_) return;
  ClearReportList(list_);
  std::optional<BusyCursor> busy;
  if (Ready()) busy.emplace();
  Table table;
  if (RefreshPortStatus(context_, table)) FillReportList(list_, table);
}

}  // namespace brisfell
