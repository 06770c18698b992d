// First tab of the Configuration group: each port's configured settings, and the dialogs
// that change them.
#pragma once

#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include "pages/common/page.h"

namespace brisfell {

class PortConfigPage : public Page {
 public:
  PortConfigPage(PageContext& context, EngineJobs& jobs);

  QTreeWidget* List() const { return list_; }
  QPushButton* ConfigButton() const { return config_; }
  QPushButton* ConfigPortsButton() const { return configPorts_; }
  QPushButton* ConfigTrunkButton() const { return configTrunk_; }
  void Refresh() override;

 protected:
  void BuildControls(QWidget* window) override;
  QWidget* ResultsArea() const override { return list_; }

 private:
  void ConfigPort(bool fromButton);
  void ConfigPorts();
  void ConfigTrunk();

  QPointer<QWidget> window_;
  QPointer<QTreeWidget> list_;
  QPointer<QPushButton> config_;
  QPointer<QPushButton> configPorts_;
  QPointer<QPushButton> configTrunk_;
};

}  // namespace brisfell
