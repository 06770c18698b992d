// First tab of the Status group: the current switch's identity and its place in the chain.
#pragma once

#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include "pages/common/page.h"

namespace brisfell {

class OverviewPage : public Page {
 public:
  OverviewPage(PageContext& context, EngineJobs& jobs);

  QTreeWidget* DeviceList() const { return devices_; }
  QTreeWidget* TopologyList() const { return topology_; }
  QPushButton* EditDatabaseButton() const { return editDatabase_; }

 protected:
  void BuildControls(QWidget* window) override;
  void Refresh() override;

 private:
  QPointer<QTreeWidget> devices_;
  QPointer<QTreeWidget> topology_;
  QPointer<QPushButton> editDatabase_;
};

}  // namespace brisfell
