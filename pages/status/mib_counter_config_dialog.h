// Port MIB Counter Configuration: what the three counters of one port count. The page reads
// the port before it opens the dialog and writes the choice after OK.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <array>

#include "pages/status/mib_counter_logic.h"

namespace brisfell {

class MibCounterConfigDialog : public QDialog {
 public:
  // Shows the port's counters as they were read (no selection where the read failed).
  explicit MibCounterConfigDialog(const MibConfigState& state, QWidget* parent = nullptr);

  QComboBox* CounterList(int counter) const { return lists_[counter]; }
  const MibConfigState& State() const { return state_; }
  // The codes as the lists hold them.
  std::array<int, 3> Codes() const;

 private:
  MibConfigState state_;
  std::array<QComboBox*, 3> lists_{};
};

}  // namespace brisfell
