#include "pages/ports/ports_config_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "pages/ports/port_config_dialog.h"
#include "pages/ports/port_registers.h"

namespace brisfell {

PortsConfigDialog::PortsConfigDialog(int portCount, QWidget* parent) : QDialog(parent) {
  setModal(true);
  setWindowTitle("Ports Configuration");
  const PortSettings start = PortsChoice{}.settings;

  auto* layout = new QVBoxLayout(this);
  // Only the port boxes change with All and None: the choices made so far stay as they are.
  ports_ = new PortBoxes("Select ports to config:", portCount, PortBoxes::kWithAllNone, this);
  layout->addWidget(ports_);

  auto* settings = new QGridLayout;
  auto addGroup = [&](const char* text, const char* name, int row) {
    auto* box = new QCheckBox(text, this);
    box->setObjectName(name);
    settings->addWidget(box, row, 0);
    return box;
  };
  applyEnable_ = addGroup("Port Enable:", "applyEnable", 0);
  enable_ = new QRadioButton("Enable", this);
  enable_->setObjectName("enable");
  disable_ = new QRadioButton("Disable", this);
  disable_->setObjectName("disable");
  radio_ = new QButtonGroup(this);
  radio_->addButton(enable_, 0);
  radio_->addButton(disable_, 1);
  (start.enable == 1 ? disable_ : enable_)->setChecked(true);
  auto* radios = new QHBoxLayout;
  radios->addWidget(enable_);
  radios->addWidget(disable_);
  radios->addStretch();
  settings->addLayout(radios, 0, 1);

  applySpeed_ = addGroup("Advertised Speed:", "applySpeed", 1);
  speed_ = MakeChoiceList(this, "advertisedSpeed", kAdvertisedSpeedTexts.data(), 6, start.speed);
  settings->addWidget(speed_, 1, 1);
  applyRx_ = addGroup("Rx Bandwidth Control:", "applyRx", 2);
  rx_ = MakeChoiceList(this, "rxBandwidth", kBandwidthDialogTexts.data(), 8, start.rx);
  settings->addWidget(rx_, 2, 1);
  applyTx_ = addGroup("Tx Bandwidth Control:", "applyTx", 3);
  tx_ = MakeChoiceList(this, "txBandwidth", kBandwidthDialogTexts.data(), 8, start.tx);
  settings->addWidget(tx_, 3, 1);
  applyPause_ = addGroup("Pause Flow Control:", "applyPause", 4);
  pause_ = MakeChoiceList(this, "pauseFlowControl", kPauseTexts.data(), 4, start.pause);
  settings->addWidget(pause_, 4, 1);
  settings->setColumnStretch(1, 1);
  layout->addLayout(settings);

  AddOkCancel(this, layout);
}

PortsChoice PortsConfigDialog::Choices() const {
  PortsChoice c;
  const uint32_t ticked = ports_->Ticked();
  for (int p = 0; p < kMaxChipPorts; ++p) c.ports[p] = (ticked >> p) & 1;
  c.applyEnable = applyEnable_->isChecked();
  c.applySpeed = applySpeed_->isChecked();
  c.applyRx = applyRx_->isChecked();
  c.applyTx = applyTx_->isChecked();
  c.applyPause = applyPause_->isChecked();
  c.settings.enable = radio_->checkedId();
  c.settings.speed = speed_->currentIndex();
  c.settings.rx = rx_->currentIndex();
  c.settings.tx = tx_->currentIndex();
  c.settings.pause = pause_->currentIndex();
  return c;
}

}  // namespace brisfell
