#include "pages/status/overview_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "pages/common/report_list.h"
#include "pages/status/overview_logic.h"

namespace brisfell {

OverviewPage::OverviewPage(PageContext& context, EngineJobs& jobs) : Page(context, jobs, "Overview") {}

void OverviewPage::BuildControls(QWidget* window) {
  const OverviewTables columns = OverviewColumns();
  auto* layout = new QVBoxLayout(window);

  layout->addWidget(new QLabel("Discovered device information:", window));
  devices_ = MakeReportList(window, columns.devices, {80, 120, 80, 80});
  devices_->setObjectName("deviceList");
  layout->addWidget(devices_, 80);

  layout->addSpacing(6);
  layout->addWidget(new QLabel("Network topology link vector:", window));
  topology_ = MakeReportList(window, columns.topology, {120, 100, 120, 100});
  topology_->setObjectName("topologyList");
  layout->addWidget(topology_, 73);

  // Kept for the layout the page was designed with; it never shows and does nothing.
  editDatabase_ = new QPushButton("Edit Switch Database", window);
  editDatabase_->setObjectName("editSwitchDatabase");
  editDatabase_->setVisible(false);
  editDatabase_->setEnabled(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(editDatabase_);
  buttons->addStretch();
  layout->addLayout(buttons);
}

void OverviewPage::Refresh() {
  if (!devices_ || Busy()) return;
  ClearReportList(devices_);
  ClearReportList(topology_);
  if (!Ready()) return;
  // From the switch table: nothing is sent, but the table is the engine thread's.
  Run(
      Reading(), [](PageContext& c) { return BuildOverview(c.engine); },
      [this](const OverviewTables& tables) {
        FillReportList(devices_, tables.devices);
        FillReportList(topology_, tables.topology);
      });
}

}  // namespace brisfell
