// Ports Configuration: chosen settings applied to many ports at once. Reads nothing before it
// opens; the page applies the choices after OK.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QRadioButton>
#include <array>

#include "pages/ports/port_dialogs_logic.h"
#include "pages/widgets/controls_widget.h"

namespace brisfell {

class PortsConfigDialog : public QDialog {
 public:
  // Boxes for the switch's `portCount` ports.
  explicit PortsConfigDialog(int portCount, QWidget* parent = nullptr);

  QCheckBox* PortBox(int position) const { return ports_->Box(position); }
  QPushButton* AllButton() const { return ports_->AllButton(); }
  QPushButton* NoneButton() const { return ports_->NoneButton(); }
  QCheckBox* EnableGroup() const { return applyEnable_; }
  QCheckBox* SpeedGroup() const { return applySpeed_; }
  QCheckBox* RxGroup() const { return applyRx_; }
  QCheckBox* TxGroup() const { return applyTx_; }
  QCheckBox* PauseGroup() const { return applyPause_; }
  QRadioButton* EnableButton() const { return enable_; }
  QRadioButton* DisableButton() const { return disable_; }
  QComboBox* SpeedList() const { return speed_; }
  QComboBox* RxList() const { return rx_; }
  QComboBox* TxList() const { return tx_; }
  QComboBox* PauseList() const { return pause_; }
  PortsChoice Choices() const;

 private:
  PortBoxes* ports_ = nullptr;
  QCheckBox* applyEnable_ = nullptr;
  QCheckBox* applySpeed_ = nullptr;
  QCheckBox* applyRx_ = nullptr;
  QCheckBox* applyTx_ = nullptr;
  QCheckBox* applyPause_ = nullptr;
  QButtonGroup* radio_ = nullptr;
  QRadioButton* enable_ = nullptr;
  QRadioButton* disable_ = nullptr;
  QComboBox* speed_ = nullptr;
  QComboBox* rx_ = nullptr;
  QComboBox* tx_ = nullptr;
  QComboBox* pause_ = nullptr;
};

}  // namespace brisfell
