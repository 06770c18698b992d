#include "pages/status/mib_counter_config_dialog.h"

#include <QFormLayout>
#include <QVBoxLayout>

#include "pages/widgets/controls_widget.h"

namespace brisfell {

MibCounterConfigDialog::MibCounterConfigDialog(const MibConfigState& state, QWidget* parent)
    : QDialog(parent), state_(state) {
  setModal(true);
  setWindowTitle(QString::fromStdString(state_.title));

  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  for (int c = 0; c < 3; ++c) {
    auto* list = new QComboBox(this);
    list->setObjectName(QString("mibCounter%1").arg(c + 1));
    for (int code = 0; code < 4; ++code) list->addItem(MibDialogText(c, code));
    list->setCurrentIndex(state_.codes[c]);
    list->setMinimumContentsLength(22);
    lists_[c] = list;
    form->addRow(QString("MIB Counter %1:").arg(c + 1), list);
  }
  layout->addLayout(form);
  AddOkCancel(this, layout);
}

std::array<int, 3> MibCounterConfigDialog::Codes() const {
  return {lists_[0]->currentIndex(), lists_[1]->currentIndex(), lists_[2]->currentIndex()};
}

}  // namespace brisfell
