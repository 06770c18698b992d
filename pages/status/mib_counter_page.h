// Third tab of the Status group: the three MIB counters of every port and what they count.
#pragma once

#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include "pages/common/page.h"
#include "pages/widgets/dialog_runner.h"

namespace brisfell {

class MibCounterPage : public Page {
 public:
  explicit MibCounterPage(PageContext& context);

  QTreeWidget* List() const { return list_; }
  QPushButton* Button(const QString& text) const;
  void Refresh() override;
  // Tests replace exec() of the counter dialog.
  void SetDialogRunner(DialogRunner runner) { runDialog_ = std::move(runner); }

 protected:
  void BuildControls(QWidget* window) override;

 private:
  void Config(bool fromButton);
  // Refreshes when the action asks for it.
  void Act(bool (*action)(PageContext&));

  QPointer<QTreeWidget> list_;
  QPointer<QWidget> window_;
  DialogRunner runDialog_ = ExecDialog;
};

}  // namespace brisfell
