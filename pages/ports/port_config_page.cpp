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

PortConfigPage::PortConfigPage(PageContext& context, EngineJobs& jobs) : Page(context, jobs, "Port Configuration") {}

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
  QObject::connect(configPorts_, &QPushButton::clicked, window, [this] { ConfigPorts(); });
  QObject::connect(configTrunk_, &QPushButton::clicked, window, [this] { ConfigTrunk(); });
}

void PortConfigPage::Refresh() {
  if (!list_ || Busy()) return;
  ClearReportList(list_);
  if (!Ready()) return;
  RunWith(Reading(), Table{}, [](PageContext& c, Table& table) { return RefreshPortConfig(c, table); },
          [this](bool ok, const Table& table) {
            if (ok) {
              FillReportList(list_, table);
            } else {
              ShowFailure("Refresh");
            }
          });
}

void PortConfigPage::ConfigPort(bool fromButton) {
  OpenRowDialog(SelectionMark(list_), fromButton, PortConfigRequested, OpenPortDialog,
      [this](const PortDialogState& state) { return new PortConfigDialog(state, window_); },
      [](const PortConfigDialog& dialog) {
        return [state = dialog.State(), chosen = dialog.Choices()](PageContext& c) {
          return ApplyPortDialog(c, state, chosen);
        };
      });
}

void PortConfigPage::ConfigPorts() {
  // Reads nothing until OK.
  if (!Ready()) return;
  ShowDialog([this] { return new PortsConfigDialog(PortCount(), window_); },
             [](const PortsConfigDialog& dialog) {
               return [choice = dialog.Choices()](PageContext& c) { return ApplyPortsDialog(c, choice); };
             });
}

void PortConfigPage::ConfigTrunk() {
  if (!Ready()) return;
  OpenDialogAfterRead([](PageContext& c) { return std::optional<TrunkDialogState>(OpenTrunkDialog(c)); },
                      [this](const TrunkDialogState& state) { return new TrunkDialog(state, window_); },
                      [](const TrunkDialog& dialog) {
                        return [state = dialog.State(), ticked = dialog.Ticked()](PageContext& c) {
                          return ApplyTrunkDialog(c, state, ticked);
                        };
                      });
}

}  // namespace brisfell
