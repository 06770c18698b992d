// Second tab of the Status group: one row per port with its live state. Read only.
#pragma once

#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include "pages/common/page.h"
#include "pages/status/auto_refresh_widget.h"

namespace brisfell {

class PortStatusPage : public Page {
 public:
  PortStatusPage(PageContext& context, EngineJobs& jobs);

  QTreeWidget* List() const { return list_; }
  QPushButton* RefreshButton() const { return refresh_; }
  AutoRefreshWidget* AutoRefresh() const { return autoRefresh_; }
  void Refresh() override;
  // Whether the last refresh read the switch.
  bool LastRefreshOk() const { return lastOk_; }

 protected:
  void BuildControls(QWidget* window) override;
  QWidget* ResultsArea() const override { return list_; }

 private:
  // Starts a refresh; false when the previous one still runs.
  bool Read(bool automatic);

  QPointer<QTreeWidget> list_;
  QPointer<QPushButton> refresh_;
  QPointer<AutoRefreshWidget> autoRefresh_;
  bool lastOk_ = false;
};

}  // namespace brisfell
