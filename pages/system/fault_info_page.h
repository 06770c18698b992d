// The Fault Information page: trunk and loop faults, the loop ports and the gigabit PHYs, as
// the switch reports them. It only reads.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

#include "pages/common/page.h"
#include "pages/system/fault_info_logic.h"
#include "pages/widgets/controls_widget.h"

namespace brisfell {

class FaultInfoPage : public Page {
 public:
  FaultInfoPage(PageContext& context, EngineJobs& jobs);
  void Refresh() override;

  QLineEdit* TrunkFault() const { return trunkFault_; }
  QPlainTextEdit* FaultGroups() const { return faultGroups_; }
  QLineEdit* LoopFault() const { return loopFault_; }
  PortBoxes* LoopPorts() const { return loopPorts_; }
  QGroupBox* GigaPhyGroup() const { return gigaGroup_; }
  QLineEdit* GigaPhy1() const { return giga1_; }
  QLineEdit* GigaPhy2() const { return giga2_; }
  QPushButton* RefreshButton() const { return refresh_; }

 protected:
  void BuildControls(QWidget* window) override;

 private:
  void Show();

  FaultInfo info_;
  QPointer<QLineEdit> trunkFault_;
  QPointer<QPlainTextEdit> faultGroups_;
  QPointer<QLineEdit> loopFault_;
  QPointer<PortBoxes> loopPorts_;
  QPointer<QGroupBox> gigaGroup_;
  QPointer<QLineEdit> giga1_;
  QPointer<QLineEdit> giga2_;
  QPointer<QPushButton> refresh_;
};

}  // namespace brisfell
