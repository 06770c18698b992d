// The dialog in which the operator adds a VLAN or changes one: member ports, port-based or
// tag-based, and the VLAN ID of a tag-based one. OK merges the change into the switch's
// table and always ends with OK, so the page reads the switch again.
#pragma once

#include <QDialog>
#include <QLineEdit>

#include "pages/common/page_context.h"
#include "pages/vlan/vlan_edit.h"
#include "pages/widgets/controls_widget.h"

namespace brisfell {

class VlanEditDialog : public QDialog {
 public:
  // Opens on context.selectedListRow (-1: a new VLAN) and reads the entry while being built.
  VlanEditDialog(PageContext& context, QWidget* parent = nullptr);

  PortBoxes* Ports() const { return ports_; }
  RadioPairBox* Type() const { return type_; }
  QLineEdit* VlanId() const { return vlanId_; }
  // The form as the controls hold it.
  VlanEditForm Choices() const;
  // What OK did (kNothing until then).
  VlanOutcome LastOutcome() const { return outcome_; }

  void accept() override;

 private:
  void TypeChosen(int type);

  PageContext& context_;
  VlanEditForm form_;
  PortBoxes* ports_ = nullptr;
  RadioPairBox* type_ = nullptr;
  QLineEdit* vlanId_ = nullptr;
  VlanOutcome outcome_ = VlanOutcome::kNothing;
};

}  // namespace brisfell
