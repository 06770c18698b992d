#include "pages/system/device_reset_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "pages/system/device_reset_logic.h"
#include "pages/widgets/controls_widget.h"

namespace brisfell {

DeviceResetPage::DeviceResetPage(PageContext& context, EngineJobs& jobs) : Page(context, jobs, "Device Reset") {}

void DeviceResetPage::BuildControls(QWidget* window) {
  auto* layout = new QVBoxLayout(window);
  auto* row = new QHBoxLayout;
  soft_ = MakeButton("Soft Reset", "softReset", window);
  hard_ = MakeButton("Hardware Reset", "hardwareReset", window);
  for (QPushButton* b : {soft_.data(), hard_.data()}) b->setMinimumWidth(140);
  row->addStretch();
  row->addWidget(soft_);
  row->addSpacing(40);
  row->addWidget(hard_);
  row->addStretch();
  layout->addStretch();
  layout->addLayout(row);
  layout->addStretch();
  QObject::connect(soft_, &QPushButton::clicked, window, [this] { Reset(SoftReset); });
  QObject::connect(hard_, &QPushButton::clicked, window, [this] { Reset(HardwareReset); });
}

void DeviceResetPage::Initialise() {
  if (Record() && !HardwareResetOffered(Record())) hard_->hide();
}

void DeviceResetPage::Reset(Outcome (*reset)(PageContext&)) {
  if (Busy()) return;
  Run(
      Writing(), [reset](PageContext& c) { return reset(c); },
      [this](const Outcome& outcome) {
        if (outcome.kind == OutcomeKind::ReadFailed) ShowFailure("Reset", outcome.message);
      });
}

}  // namespace brisfell
