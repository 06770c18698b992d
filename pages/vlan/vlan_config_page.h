// The Vlan Configuration tab: the operator VLANs of the switch, whether the VLAN function and
// tag awareness are on, and the table operations. Adding and editing open the edit dialog.
#pragma once

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <optional>
#include <string>

#include "pages/common/page.h"
#include "pages/vlan/vlan_config.h"
#include "pages/widgets/dialog_runner.h"
#include "pages/widgets/status_label_widget.h"

namespace brisfell {

class VlanConfigPage : public Page {
 public:
  explicit VlanConfigPage(PageContext& context);

  QTreeWidget* List() const { return list_; }
  StatusLabel* FunctionLabel() const { return function_; }
  StatusLabel* TagLabel() const { return tag_; }
  QPushButton* Button(const QString& text) const;
  void Refresh() override;
  // Tests replace exec() of the edit dialog.
  void SetDialogRunner(DialogRunner runner) { runDialog_ = std::move(runner); }

 protected:
  void BuildControls(QWidget* window) override;

 private:
  // The first cell of the row at the selection mark; nullopt when no row is selected.
  std::optional<std::string> SelectedFirstCell() const;
  void Add();
  void Edit(bool fromButton);
  void OpenEditDialog();
  // Refreshes after an operation that may have written.
  void After(VlanOutcome outcome);

  QPointer<QWidget> window_;
  QPointer<QTreeWidget> list_;
  QPointer<StatusLabel> function_;
  QPointer<StatusLabel> tag_;
  DialogRunner runDialog_ = ExecDialog;
};

}  // namespace brisfell
