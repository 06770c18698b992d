// Port MIB Counter Configuration: what the three counters of one port count.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <array>

#include "pages/common/page_context.h"
#include "pages/status/mib_counter_logic.h"

namespace brisfell {

class MibCounterConfigDialog : public QDialog {
 public:
  // Reads the port of context.selectedListRow while it is being built.
  MibCounterConfigDialog(PageContext& context, QWidget* parent = nullptr);

  QComboBox* CounterList(int counter) const { return lists_[counter]; }
  // OK: writes the selection register when the choice changes it, then ends with OK.
  void accept() override;

 private:
  PageContext& context_;
  MibConfigState state_;
  std::array<QComboBox*, 3> lists_{};
};

}  // namespace brisfell
