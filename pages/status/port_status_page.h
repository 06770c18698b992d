// Second tab of the Status group: one row per port with its live state. Read only.
#pragma once

#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include "pages/common/page.h"

namespace brisfell {

class PortStatusPage : public Page {
 public:
  explicit PortStatusPage(PageContext& context);

  QTreeWidget* List() const { return list_; }
  QPushButton* RefreshButton() const { return refresh_; }
  void Refresh() override;

 protected:
  void BuildControls(QWidget* window) override;

 private:
  QPointer<QTreeWidget> list_;
  QPointer<QPushButton> refresh_;
};

}  // namespace brisfell
