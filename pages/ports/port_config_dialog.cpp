#include "pages/ports/port_config_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/ports/port_registers.h"
#include "pages/widgets/controls_widget.h"

namespace brisfell {

PortConfigDialog::PortConfigDialog(const PortDialogState& state, QWidget* parent) : QDialog(parent), state_(state) {
  setModal(true);
  setWindowTitle(QString::fromStdString(state_.title));
  const PortSettings& s = state_.settings;

  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  auto* radios = new QHBoxLayout;
  enable_ = new QRadioButton("Enable", this);
  enable_->setObjectName("enable");
  disable_ = new QRadioButton("Disable", this);
  disable_->setObjectName("disable");
  radio_ = new QButtonGroup(this);
  radio_->addButton(enable_, 0);
  radio_->addButton(disable_, 1);
  // Neither button is checked until the port's state has been read.
  radio_->setExclusive(false);
  enable_->setChecked(s.enable == 0);
  disable_->setChecked(s.enable == 1);
  radio_->setExclusive(true);
  radios->addWidget(enable_);
  radios->addWidget(disable_);
  radios->addStretch();
  form->addRow("Port Enable:", radios);

  speed_ = MakeChoiceList(this, "advertisedSpeed", kAdvertisedSpeedTexts.data(), 6, s.speed);
  rx_ = MakeChoiceList(this, "rxBandwidth", kBandwidthDialogTexts.data(), 8, s.rx);
  tx_ = MakeChoiceList(this, "txBandwidth", kBandwidthDialogTexts.data(), 8, s.tx);
  pause_ = MakeChoiceList(this, "pauseFlowControl", kPauseTexts.data(), 4, s.pause);
  form->addRow("Advertised Speed:", speed_);
  form->addRow("Rx Bandwidth Control:", rx_);
  form->addRow("Tx Bandwidth Control:", tx_);
  form->addRow("Pause Flow Control:", pause_);
  layout->addLayout(form);

  AddOkCancel(this, layout);
}

PortSettings PortConfigDialog::Choices() const {
  PortSettings s;
  s.enable = radio_->checkedId();
  s.speed = speed_->currentIndex();
  s.rx = rx_->currentIndex();
  s.tx = tx_->currentIndex();
  s.pause = pause_->currentIndex();
  return s;
}

}  // namespace brisfell
