#include "pages/status/mib_counter_config_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>

#include "pages/common/page.h"
#include "pages/widgets/controls_widget.h"

namespace brisfell {

MibCounterConfigDialog::MibCounterConfigDialog(PageContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
  setModal(true);
  {
    const BusyWhileReady busy(context_);
    state_ = OpenMibConfig(context_);
  }
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

void MibCounterConfigDialog::accept() {
  const std::array<int, 3> codes = {lists_[0]->currentIndex(), lists_[1]->currentIndex(), lists_[2]->currentIndex()};
  {
    const BusyWhileReady busy(context_);
    ApplyMibConfig(context_, state_, codes);
  }
  QDialog::accept();
}

}  // namespace brisfell
