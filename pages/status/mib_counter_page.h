// Third tab of the Status group: the three MIB counters of every port and what they count.
#pragma once

#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include <optional>

#include "pages/common/page.h"
#include "pages/status/auto_refresh_widget.h"
#include "pages/status/mib_rate_logic.h"

namespace brisfell {

class MibCounterPage : public Page {
 public:
  MibCounterPage(PageContext& context, EngineJobs& jobs);

  QTreeWidget* List() const { return list_; }
  QPushButton* Button(const QString& text) const;
  void Refresh() override;
  AutoRefreshWidget* AutoRefresh() const { return autoRefresh_; }
  bool LastRefreshOk() const { return lastOk_; }

 protected:
  void BuildControls(QWidget* window) override;
  QWidget* ResultsArea() const override { return list_; }

 private:
  // Starts a refresh; false when the previous one still runs.
  bool Read(bool automatic);
  void Config(bool fromButton);
  // Runs a button's write; refreshes when it asks for it.
  void Act(bool (*action)(PageContext&));
  // The list's headers: with or without the rate columns.
  void SetColumns(const Table& table);

  QPointer<QTreeWidget> list_;
  QPointer<QWidget> window_;
  QPointer<AutoRefreshWidget> autoRefresh_;
  // While auto refresh runs: the previous reading, for the rates.
  std::optional<MibReading> previous_;
  bool lastOk_ = false;
};

}  // namespace brisfell
