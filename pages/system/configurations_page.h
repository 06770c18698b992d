// Last tab of the System group: the switch's settings saved to and loaded from configuration
// files, the factory default, and the settings saved into the switch's EEPROM.
#pragma once

#include <QGroupBox>
#include <QPointer>
#include <QPushButton>

#include "pages/common/page.h"
#include "pages/system/configurations_logic.h"

namespace brisfell {

class ConfigurationsPage : public Page {
 public:
  ConfigurationsPage(PageContext& context, EngineJobs& jobs);

  QGroupBox* FileGroup() const { return fileGroup_; }
  QGroupBox* SwitchGroup() const { return switchGroup_; }
  QPushButton* LoadButton() const { return load_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* FactoryDefaultButton() const { return factoryDefault_; }
  QPushButton* SaveToHardwareButton() const { return saveToHardware_; }

 protected:
  void BuildControls(QWidget* window) override;
  // Takes the port count; the page reads nothing until a button is pressed.
  void Initialise() override;

 private:
  // Runs one button's action on the engine thread, the buttons disabled meanwhile.
  template <class Result>
  void Start(const char* title, Result (*action)(PageContext&, const ProgressFn&));

  QPointer<QWidget> window_;
  QPointer<QGroupBox> fileGroup_;
  QPointer<QGroupBox> switchGroup_;
  QPointer<QPushButton> load_;
  QPointer<QPushButton> save_;
  QPointer<QPushButton> factoryDefault_;
  QPointer<QPushButton> saveToHardware_;
  int portCount_ = 0;
};

}  // namespace brisfell
