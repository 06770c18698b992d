// Last tab of the System group: the switch's settings saved to and loaded from configuration
// files, the factory default, and the settings saved into the switch's EEPROM.
#pragma once

#include <QGroupBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <functional>

#include "pages/common/page.h"
#include "pages/system/configurations_logic.h"

namespace brisfell {

class ConfigurationsPage : public Page {
 public:
  explicit ConfigurationsPage(PageContext& context);

  QGroupBox* FileGroup() const { return fileGroup_; }
  QGroupBox* SwitchGroup() const { return switchGroup_; }
  QPushButton* LoadButton() const { return load_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* FactoryDefaultButton() const { return factoryDefault_; }
  QPushButton* SaveToHardwareButton() const { return saveToHardware_; }
  // The progress dialog of the action running now (null when none runs or it has not started).
  QProgressDialog* Progress() const { return progress_; }

 protected:
  void BuildControls(QWidget* window) override;
  // Takes the port count; the page reads nothing until a button is pressed.
  void Initialise() override;

 private:
  // Runs one action with every button disabled. With `showProgress`, the action's first step
  // opens a progress dialog (after any question or file dialog it asks first).
  void Run(const QString& title, bool showProgress, const std::function<void(const ProgressFn&)>& action);
  void EnableButtons(bool enable);

  QPointer<QWidget> window_;
  QPointer<QGroupBox> fileGroup_;
  QPointer<QGroupBox> switchGroup_;
  QPointer<QPushButton> load_;
  QPointer<QPushButton> save_;
  QPointer<QPushButton> factoryDefault_;
  QPointer<QPushButton> saveToHardware_;
  QPointer<QProgressDialog> progress_;
  int portCount_ = 0;
  bool running_ = false;
};

}  // namespace brisfell
