#include "pages/ports/ports_config_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "pages/common/page.h"
#include "pages/ports/port_config_dialog.h"
#include "pages/ports/port_registers.h"

namespace brisfell {

PortsConfigDialog::PortsConfigDialog(PageContext& context, QWidget* parent) : QDialog(parent), context_(context) {
  setModal(true);
  setWindowTitle("Ports Configuration");
  portCount_ = std::clamp(context_.PortCount(), 0, kMaxChipPorts);
  const PortSettings start = PortsChoice{}.settings;

  auto* layout = new QVBoxLayout(this);
  auto* portGroup = new QGroupBox("Select ports to config:", this);
  auto* grid = new QGridLayout(portGroup);
  constexpr int kColumns = 7;
  for (int p = 0; p < kMaxChipPorts; ++p) {
    const QString label = p < 24 ? QString("port%1").arg(p + 1) : QString("G%1").arg(p - 23);
    auto* box = new QCheckBox(label, portGroup);
    box->setObjectName(label);
    box->setVisible(p < portCount_);
    ports_[p] = box;
    grid->addWidget(box, p / kColumns, p % kColumns);
  }
  all_ = new QPushButton("All", portGroup);
  none_ = new QPushButton("None", portGroup);
  auto* allNone = new QHBoxLayout;
  allNone->addStretch();
  allNone->addWidget(all_);
  allNone->addWidget(none_);
  grid->addLayout(allNone, kMaxChipPorts / kColumns + 1, 0, 1, kColumns);
  connect(all_, &QPushButton::clicked, this, [this] { TickPorts(true); });
  connect(none_, &QPushButton::clicked, this, [this] { TickPorts(false); });
  layout->addWidget(portGroup);

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

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText("OK");
  buttons->button(QDialogButtonBox::Cancel)->setText("Cancel");
  connect(buttons, &QDialogButtonBox::accepted, this, &PortsConfigDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &PortsConfigDialog::reject);
  layout->addWidget(buttons);
}

// Only the port boxes change: the choices made so far stay as the operator left them.
void PortsConfigDialog::TickPorts(bool ticked) {
  for (int p = 0; p < portCount_; ++p) ports_[p]->setChecked(ticked);
}

PortsChoice PortsConfigDialog::Choices() const {
  PortsChoice c;
  for (int p = 0; p < portCount_; ++p) c.ports[p] = ports_[p]->isChecked();
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

void PortsConfigDialog::accept() {
  {
    std::optional<BusyCursor> busy;
    if (context_.Ready()) busy.emplace();
    ApplyPortsDialog(context_, Choices());
  }
  QDialog::accept();
}

}  // namespace brisfell
