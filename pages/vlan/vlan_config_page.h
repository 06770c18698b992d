// The Vlan Configuration tab: the operator VLANs of the switch, whether the VLAN function and
// tag awareness are on, and the table operations. Adding and editing open the edit dialog.
#pragma once

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>
#include <optional>
#include <string>

#include "pages/common/page.h"
#include "pages/vlan/vlan_config.h"
#include "pages/widgets/status_label_widget.h"

namespace brisfell {

class VlanConfigPage : public Page {
 public:
  VlanConfigPage(PageContext& context, EngineJobs& jobs);

  QTreeWidget* List() const { return list_; }
  StatusLabel* FunctionLabel() const { return function_; }
  StatusLabel* TagLabel() const { return tag_; }
  QPushButton* Button(const QString& text) const;
  void Refresh() override;

 protected:
  void BuildControls(QWidget* window) override;
  QWidget* ResultsArea() const override { return list_; }

 private:
  // The first cell of the row at the selection mark; nullopt when no row is selected.
  std::optional<std::string> SelectedFirstCell() const;
  void Add();
  void Edit(bool fromButton);
  // Opens the edit dialog when `begin` (engine thread) lets it.
  void OpenEditDialog(std::function<bool(PageContext&)> begin);
  // Runs a table operation, then refreshes if it may have written.
  void Change(std::function<VlanOutcome(PageContext&)> change);
  void After(VlanOutcome outcome);

  QPointer<QWidget> window_;
  QPointer<QTreeWidget> list_;
  QPointer<StatusLabel> function_;
  QPointer<StatusLabel> tag_;
};

}  // namespace brisfell
