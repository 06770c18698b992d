// First tab of the Configuration group: each port's configured settings, and the dialogs
// that change them.
#pragma once

#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include "pages/common/page.h"
#include "pages/widgets/dialog_runner.h"

namespace brisfell {

class PortConfigPage : public Page {
 public:
  explicit PortConfigPage(PageContext& context);

  QTreeWidget* List() const { return list_; }
  QPushButton* ConfigButton() const { return config_; }
  QPushButton* ConfigPortsButton() const { return configPorts_; }
  QPushButton* ConfigTrunkButton() const { return configTrunk_; }
  void Refresh() override;
  // Tests replace exec() of the dialogs.
  void SetDialogRunner(DialogRunner runner) { runDialog_ = std::move(runner); }

 protected:
  void BuildControls(QWidget* window) override;

 private:
  void ConfigPort(bool fromButton);
  template <typename D>
  void Open();

  QPointer<QWidget> window_;
  QPointer<QTreeWidget> list_;
  QPointer<QPushButton> config_;
  QPointer<QPushButton> configPorts_;
  QPointer<QPushButton> configTrunk_;
  DialogRunner runDialog_ = ExecDialog;
};

}  // namespace brisfell
