// Trunking Configuration: one box per trunk group of the switch's model, ticked as 0x0307 was
// read by the page before the dialog opened; the page writes the choice after OK.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <array>

#include "pages/ports/trunk_logic.h"

namespace brisfell {

class TrunkDialog : public QDialog {
 public:
  explicit TrunkDialog(const TrunkDialogState& state, QWidget* parent = nullptr);

  QCheckBox* GroupBox(int group) const { return boxes_[group - 1]; }  // group 1..8
  const TrunkDialogState& State() const { return state_; }
  std::array<bool, kMaxTrunkBoxes> Ticked() const;

 private:
  TrunkDialogState state_;
  std::array<QCheckBox*, kMaxTrunkBoxes> boxes_{};
};

}  // namespace brisfell
