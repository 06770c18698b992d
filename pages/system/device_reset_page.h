// The Device Reset page: "Soft Reset", and "Hardware Reset" where the switch offers it.
#pragma once

#include <QPointer>
#include <QPushButton>

#include "pages/common/outcome.h"
#include "pages/common/page.h"

namespace brisfell {

class DeviceResetPage : public Page {
 public:
  DeviceResetPage(PageContext& context, EngineJobs& jobs);
  QPushButton* SoftResetButton() const { return soft_; }
  QPushButton* HardwareResetButton() const { return hard_; }

 protected:
  void BuildControls(QWidget* window) override;
  void Initialise() override;

 private:
  void Reset(Outcome (*reset)(PageContext&));

  QPointer<QPushButton> soft_;
  QPointer<QPushButton> hard_;
};

}  // namespace brisfell
