// The Tag Control tab: every port's output tag mode, its VLAN index and that entry's VLAN ID;
// "Config" opens the one-port dialog that changes the mode.
#pragma once

#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include "pages/common/page.h"

namespace brisfell {

class TagControlPage : public Page {
 public:
  TagControlPage(PageContext& context, EngineJobs& jobs);

  QTreeWidget* List() const { return list_; }
  QPushButton* ConfigButton() const { return config_; }
  void Refresh() override;

 protected:
  void BuildControls(QWidget* window) override;
  QWidget* ResultsArea() const override { return list_; }

 private:
  void Config(bool fromButton);

  QPointer<QWidget> window_;
  QPointer<QTreeWidget> list_;
  QPointer<QPushButton> config_;
};

}  // namespace brisfell
