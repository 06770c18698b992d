#include "pages/vlan/tag_untag_dialog.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "pages/widgets/controls_widget.h"

namespace brisfell {

TagUntagDialog::TagUntagDialog(const TagDialogState& state, QWidget* parent) : QDialog(parent), state_(state) {
  setModal(true);
  setWindowTitle(QString::fromStdString(state_.title));

  auto* layout = new QVBoxLayout(this);
  auto* box = new QGroupBox(kTagDialogGroup, this);
  auto* column = new QVBoxLayout(box);
  group_ = new QButtonGroup(this);
  for (int m = 0; m < kTagModeCount; ++m) {
    auto* button = new QRadioButton(kTagModeChoices[static_cast<size_t>(m)], box);
    button->setObjectName(QString("tagMode%1").arg(m));
    group_->addButton(button, m);
    column->addWidget(button);
    buttons_[static_cast<size_t>(m)] = button;
  }
  // No choice until the port's mode has been read.
  if (state_.mode >= 0 && state_.mode < kTagModeCount) buttons_[static_cast<size_t>(state_.mode)]->setChecked(true);
  layout->addWidget(box);
  AddOkCancel(this, layout);
}

}  // namespace brisfell
