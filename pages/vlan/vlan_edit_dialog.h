// The dialog in which the operator adds a VLAN or changes one: member ports, port-based or
// tag-based, and the VLAN ID of a tag-based one, as the page read them before it opened.
// After OK the page merges the change into the switch's table and reads the switch again.
#pragma once

#include <QDialog>
#include <QLineEdit>

#include "pages/vlan/vlan_edit.h"
#include "pages/widgets/controls_widget.h"

namespace brisfell {

class VlanEditDialog : public QDialog {
 public:
  // Shows the form as the page opened it (a new VLAN when its entry is -1).
  explicit VlanEditDialog(const VlanEditForm& form, QWidget* parent = nullptr);

  PortBoxes* Ports() const { return ports_; }
  RadioPairBox* Type() const { return type_; }
  QLineEdit* VlanId() const { return vlanId_; }
  // The form as the controls hold it.
  VlanEditForm Choices() const;

 private:
  void TypeChosen(int type);

  VlanEditForm form_;
  PortBoxes* ports_ = nullptr;
  RadioPairBox* type_ = nullptr;
  QLineEdit* vlanId_ = nullptr;
};

}  // namespace brisfell
