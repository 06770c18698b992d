// Port Configuration: the settings of one port, read by the page before the dialog opens;
// after OK the page writes only the registers that change.
#pragma once

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QRadioButton>

#include "pages/ports/port_dialogs_logic.h"

namespace brisfell {

class PortConfigDialog : public QDialog {
 public:
  // Shows the port as it was read (no selection where the read failed).
  explicit PortConfigDialog(const PortDialogState& state, QWidget* parent = nullptr);

  QRadioButton* EnableButton() const { return enable_; }
  QRadioButton* DisableButton() const { return disable_; }
  QComboBox* SpeedList() const { return speed_; }
  QComboBox* RxList() const { return rx_; }
  QComboBox* TxList() const { return tx_; }
  QComboBox* PauseList() const { return pause_; }
  // The choices as the controls hold them (-1 where nothing is selected).
  PortSettings Choices() const;
  const PortDialogState& State() const { return state_; }

 private:
  PortDialogState state_;
  QButtonGroup* radio_ = nullptr;
  QRadioButton* enable_ = nullptr;
  QRadioButton* disable_ = nullptr;
  QComboBox* speed_ = nullptr;
  QComboBox* rx_ = nullptr;
  QComboBox* tx_ = nullptr;
  QComboBox* pause_ = nullptr;
};

}  // namespace brisfell
