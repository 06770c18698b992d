#include "pages/vlan/vlan_edit_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace brisfell {

VlanEditDialog::VlanEditDialog(const VlanEditForm& form, QWidget* parent) : QDialog(parent), form_(form) {
  setModal(true);
  setWindowTitle(QString::fromStdString(form_.caption));

  auto* layout = new QVBoxLayout(this);
  ports_ = new PortBoxes("Select ports to config:", form_.portCount, PortBoxes::kWithAllNone, this);
  uint32_t ticked = 0;
  for (int f = 0; f < kMaxChipPorts; ++f)
    if (form_.checked[f]) ticked |= 1u << f;
  ports_->SetTicked(ticked);
  layout->addWidget(ports_);

  auto* typeRow = new QHBoxLayout;
  type_ = new RadioPairBox("Vlan Type:", "Port-Based", "Tag-Based", "vlanType", this);
  type_->SetValue(form_.type);
  typeRow->addWidget(type_, 1);
  typeRow->addSpacing(16);
  typeRow->addWidget(new QLabel("Vlan ID:", this));
  vlanId_ = new QLineEdit(QString::fromStdString(form_.vlanIdText), this);
  vlanId_->setObjectName("vlanId");
  vlanId_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), vlanId_));
  vlanId_->setMaximumWidth(80);
  vlanId_->setEnabled(form_.vlanIdEnabled);
  typeRow->addWidget(vlanId_);
  layout->addLayout(typeRow);
  connect(type_->First(), &QRadioButton::clicked, this, [this] { TypeChosen(kVlanPortBased); });
  connect(type_->Second(), &QRadioButton::clicked, this, [this] { TypeChosen(kVlanTagBased); });

  AddOkCancel(this, layout);
}

void VlanEditDialog::TypeChosen(int type) {
  ChooseVlanType(form_, type);
  vlanId_->setEnabled(form_.vlanIdEnabled);
}

VlanEditForm VlanEditDialog::Choices() const {
  VlanEditForm form = form_;
  const uint32_t ticked = ports_->Ticked();
  for (int f = 0; f < kMaxChipPorts; ++f) form.checked[f] = (ticked >> f) & 1;
  form.type = type_->Value();
  form.vlanIdText = vlanId_->text().toStdString();
  return form;
}

}  // namespace brisfell
