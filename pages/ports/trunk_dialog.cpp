#include "pages/ports/trunk_dialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/widgets/controls_widget.h"

namespace brisfell {

TrunkDialog::TrunkDialog(const TrunkDialogState& state, QWidget* parent) : QDialog(parent), state_(state) {
  setModal(true);
  setWindowTitle("Trunking Configuration");
  auto* layout = new QVBoxLayout(this);
  auto* group = new QGroupBox("Enable Trunk:", this);
  auto* column = new QVBoxLayout(group);
  for (int i = 0; i < kMaxTrunkBoxes; ++i) {
    auto* box = new QCheckBox(QString::fromStdString(state_.captions[i]), group);
    box->setObjectName(QString("trunk%1").arg(i + 1));
    box->setChecked(state_.ticked[i]);
    box->setVisible(i < state_.visibleBoxes);
    boxes_[i] = box;
    column->addWidget(box);
  }
  layout->addWidget(group);
  AddOkCancel(this, layout);
}

std::array<bool, kMaxTrunkBoxes> TrunkDialog::Ticked() const {
  std::array<bool, kMaxTrunkBoxes> ticked{};
  for (int i = 0; i < kMaxTrunkBoxes; ++i) ticked[i] = boxes_[i]->isChecked();
  return ticked;
}

}  // namespace brisfell
