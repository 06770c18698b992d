// One port's output tag mode: four choices in one group, the selected position being the
// mode, as the page read it before the dialog opened. After OK the page writes the port's two
// bits only when they change.
#pragma once

#include <QButtonGroup>
#include <QDialog>
#include <QRadioButton>
#include <array>

#include "pages/vlan/tag_control_logic.h"

namespace brisfell {

class TagUntagDialog : public QDialog {
 public:
  explicit TagUntagDialog(const TagDialogState& state, QWidget* parent = nullptr);

  QRadioButton* ModeButton(int mode) const { return buttons_[static_cast<size_t>(mode)]; }
  // The selected mode, -1 when none is.
  int Mode() const { return group_->checkedId(); }
  const TagDialogState& State() const { return state_; }

 private:
  TagDialogState state_;
  QButtonGroup* group_ = nullptr;
  std::array<QRadioButton*, kTagModeCount> buttons_{};
};

}  // namespace brisfell
