// Trunking Configuration: one box per trunk group of the switch's model.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <array>

#include "pages/common/page_context.h"
#include "pages/ports/trunk_logic.h"

namespace brisfell {

class TrunkDialog : public QDialog {
 public:
  // Reads 0x0307 while it is being built.
  TrunkDialog(PageContext& context, QWidget* parent = nullptr);

  QCheckBox* GroupBox(int group) const { return boxes_[group - 1]; }  // group 1..8
  void accept() override;

 private:
  PageContext& context_;
  TrunkDialogState state_;
  std::array<QCheckBox*, kMaxTrunkBoxes> boxes_{};
};

}  // namespace brisfell
