#include "pages/ports/port_config_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <optional>

#include "pages/common/report_list.h"
#include "pages/ports/port_config_dialog.h"
#include "pages/ports/port_config_logic.h"
#include "pages/ports/ports_config_dialog.h"
#include "pages/ports/trunk_dialog.h"

namespace brisfell {

PortConfigPage::PortConfigPage(PageContext& context) : Page(context, "Port Configuration") {}

void PortConfigPage::BuildControls(QWidget* window) {
  window_ = window;
  auto* layout = new QVBoxLayout(window);
  list_ = MakeReportList(window, PortConfigColumns(), {44, 64, 90, 90, 96, 140, 90});
  list_->setObjectName("portConfigList");
  QObject::connect(list_, &QTreeWidget::itemDoubleClicked, window, [this] { ConfigPort(false); });
  layout->addWidget(list_, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto add = [&](const char* text, const char* name) {
    auto* b = new QPushButton(text, window);
    b->setObjectName(name);
    buttons->addWidget(b);
    return b;
  };
  config_ = add("Config", "config");
  configPorts_ = add("Config Ports", "configPorts");
  configTrunk_ = add("Config Trunk", "configTrunk");
  layout->addLayout(buttons);
  QObject::connect(config_, &QPushButton::clicked, window, [this] { ConfigPort(true); });
  QObject::connect(configPorts_, &QPushButton::clicked, window, [this] { Open<PortsConfigDialog>(); });
  QObject::connect(configTrunk_, &QPushButton::clicked, window, [this] { Open<TrunkDialog>(); });
}

void PortConfigPage::Refresh() {
  if (!list_) return;
  ClearReportList(list_);
  std::optional<BusyCursor> busy;
  if (Ready()) busy.emplace();
  Table table;
  if (RefreshPortConfig(context_, table)) FillReportList(list_, table);
}

void PortConfigPage::ConfigPort(bool fromButton) {
  if (!PortConfigRequested(context_, SelectionMark(list_), fromButton)) return;
  PortConfigDialog dialog(context_, window_);
  if (runDialog_(dialog)) Refresh();
}

template <typename D>
void PortConfigPage::Open() {
  if (!SwitchSelected(context_)) return;
  D dialog(context_, window_);
  if (runDialog_(dialog)) Refresh();
}

}  // namespace brisfell
