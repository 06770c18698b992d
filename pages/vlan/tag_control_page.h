// The Tag Control tab: every port's output tag mode, its VLAN index and that entry's VLAN ID;
// "Config" opens the one-port dialog that changes the mode.
#pragma once

#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include "pages/common/page.h"
#include "pages/widgets/dialog_runner.h"

namespace brisfell {

class TagControlPage : public Page {
 public:
  explicit TagControlPage(PageContext& context);

  QTreeWidget* List() const { return list_; }
  QPushButton* ConfigButton() const { return config_; }
  void Refresh() override;
  // Tests replace exec() of the dialog.
  void SetDialogRunner(DialogRunner runner) { runDialog_ = std::move(runner); }

 protected:
  void BuildControls(QWidget* window) override;

 private:
  void Config(bool fromButton);

  QPointer<QWidget> window_;
  QPointer<QTreeWidget> list_;
  QPointer<QPushButton> config_;
  DialogRunner runDialog_ = ExecDialog;
};

}  // namespace brisfell
