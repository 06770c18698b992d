#include "pages/system/fault_info_page.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <utility>

namespace brisfell {

FaultInfoPage::FaultInfoPage(PageContext& context, EngineJobs& jobs) : Page(context, jobs, "Fault Information") {}

void FaultInfoPage::BuildControls(QWidget* window) {
  info_ = FaultInfo{};
  const int n = PortCount();
  auto* layout = new QVBoxLayout(window);
  auto* top = new QHBoxLayout;
  auto* form = new QFormLayout;
  trunkFault_ = MakeReadOnlyLine(window, "trunkFault");
  faultGroups_ = MakeReadOnlyText(window, "faultTrunkGroups");
  faultGroups_->setMaximumHeight(84);
  loopFault_ = MakeReadOnlyLine(window, "networkLoopFault");
  form->addRow("Trunk Port Fault:", trunkFault_);
  form->addRow("Fault Trunk Port Group:", faultGroups_);
  form->addRow("Network Loop Fault:", loopFault_);
  top->addLayout(form, 3);

  gigaGroup_ = new QGroupBox(window);
  gigaGroup_->setObjectName("gigaPhy");
  auto* giga = new QFormLayout(gigaGroup_);
  giga1_ = MakeReadOnlyLine(gigaGroup_, "gigaPhy1");
  giga2_ = MakeReadOnlyLine(gigaGroup_, "gigaPhy2");
  giga->addRow("GigaPHY1:", giga1_);
  giga->addRow("GigaPHY2:", giga2_);
  top->addWidget(gigaGroup_, 2, Qt::AlignTop);
  layout->addLayout(top);

  loopPorts_ = new PortBoxes("Loop Port Detected", n, PortBoxes::kReadOnly, window);
  layout->addWidget(loopPorts_);
  layout->addStretch();

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  refresh_ = MakeButton("Refresh", "refresh", window);
  buttons->addWidget(refresh_);
  layout->addLayout(buttons);
  QObject::connect(refresh_, &QPushButton::clicked, window, [this] { Refresh(); });
  // The gigabit PHYs exist only on switches with 26 ports.
  gigaGroup_->setVisible(ShowsGigaPhy(n));
}

void FaultInfoPage::Refresh() {
  if (!refresh_ || !Ready() || Busy()) return;
  RunWith(Reading(), info_, RefreshFaultInfo, [this](const Outcome& outcome, FaultInfo info) {
    info_ = std::move(info);
    Show();
    if (outcome.kind == OutcomeKind::ReadFailed) ShowFailure("Refresh", outcome.message);
  });
}

void FaultInfoPage::Show() {
  trunkFault_->setText(QString::fromStdString(info_.trunkFault));
  // The lines end in CR LF; the edit box wants plain line breaks.
  faultGroups_->setPlainText(QString::fromStdString(info_.faultGroups).replace("\r\n", "\n"));
  loopFault_->setText(QString::fromStdString(info_.loopFault));
  loopPorts_->SetTicked(info_.loopPorts);
  giga1_->setText(QString::fromStdString(info_.gigaPhy1));
  giga2_->setText(QString::fromStdString(info_.gigaPhy2));
}

}  // namespace brisfell
