// One port's output tag mode: four choices in one group, the selected position being the
// mode. OK writes the port's two bits only when they change, and always ends with OK.
#pragma once

#include <QButtonGroup>
#include <QDialog>
#include <QRadioButton>
#include <array>

#include "pages/common/page_context.h"
#include "pages/vlan/tag_control_logic.h"

namespace brisfell {

class TagUntagDialog : public QDialog {
 public:
  // Reads the port of context.selectedListRow while it is being built.
  TagUntagDialog(PageContext& context, QWidget* parent = nullptr);

  QRadioButton* ModeButton(int mode) const { return buttons_[static_cast<size_t>(mode)]; }
  // The selected mode, -1 when none is.
  int Mode() const { return group_->checkedId(); }
  // What OK did (nothing to do until then).
  const Outcome& LastOutcome() const { return outcome_; }

  void accept() override;

 private:
  PageContext& context_;
  TagDialogState state_;
  QButtonGroup* group_ = nullptr;
  std::array<QRadioButton*, kTagModeCount> buttons_{};
  Outcome outcome_ = Outcome::NothingToDo();
};

}  // namespace brisfell
