#include "pages/vlan/vlan_config_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "pages/common/report_list.h"
#include "pages/vlan/vlan_edit_dialog.h"
#include "pages/widgets/controls_widget.h"

namespace brisfell {

VlanConfigPage::VlanConfigPage(PageContext& context, EngineJobs& jobs) : Page(context, jobs, "Vlan Configuration") {}

void VlanConfigPage::BuildControls(QWidget* window) {
  window_ = window;
  auto* layout = new QVBoxLayout(window);
  // Each column as wide as its header; the cells widen it when they need more.
  list_ = MakeReportList(window, VlanListColumns());
  list_->setObjectName("vlanList");
  QObject::connect(list_, &QTreeWidget::itemDoubleClicked, window, [this] { Edit(false); });
  layout->addWidget(list_, 1);

  auto* states = new QHBoxLayout;
  function_ = new StatusLabel("vlanFunction", window);
  tag_ = new StatusLabel("tagVlan", window);
  states->addWidget(new QLabel("Vlan Function:", window));
  states->addWidget(function_);
  states->addSpacing(24);
  states->addWidget(new QLabel("TAG Vlan:", window));
  states->addWidget(tag_);
  states->addSpacing(24);
  auto* note = new QLabel("(Note: To enable/disable VLAN, use Vlan Control page)", window);
  note->setObjectName("note");
  states->addWidget(note);
  states->addStretch();
  layout->addLayout(states);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto add = [&](const char* text, const char* name, auto action) {
    QPushButton* b = MakeButton(text, name, window);
    QObject::connect(b, &QPushButton::clicked, window, action);
    buttons->addWidget(b);
  };
  add("Refresh", "refresh", [this] { Refresh(); });
  add("Add Vlan", "addVlan", [this] { Add(); });
  add("Edit Vlan", "editVlan", [this] { Edit(true); });
  add("Delete Vlan", "deleteVlan", [this] {
    Change([cell = SelectedFirstCell()](PageContext& c) { return DeleteSelectedVlan(c, cell); });
  });
  add("Delete All", "deleteAll", [this] { Change([](PageContext& c) { return DeleteAllVlans(c); }); });
  add("Home Vlan", "homeVlan", [this] { Change([](PageContext& c) { return ResetToHomeVlan(c); }); });
  layout->addLayout(buttons);
}

QPushButton* VlanConfigPage::Button(const QString& text) const {
  if (!window_) return nullptr;
  for (auto* b : window_->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

void VlanConfigPage::Refresh() {
  if (!list_ || Busy()) return;
  ClearReportList(list_);
  if (!Ready()) return;
  Run(
      Reading(), [](PageContext& c) { return RefreshVlanList(c); },
      [this](const VlanList& list) {
        // After a failed read the list stays empty and the labels keep what they showed.
        if (!list.read) {
          ShowFailure("Refresh");
          return;
        }
        FillReportList(list_, list.table);
        function_->SetOn(list.vlanFunction);
        tag_->SetOn(list.tagVlan);
      });
}

std::optional<std::string> VlanConfigPage::SelectedFirstCell() const {
  const int row = SelectionMark(list_);
  if (row < 0) return std::nullopt;
  return list_->topLevelItem(row)->text(0).toStdString();
}

void VlanConfigPage::Add() {
  OpenEditDialog([](PageContext& c) { return BeginAddVlan(c); });
}

void VlanConfigPage::Edit(bool fromButton) {
  OpenEditDialog([cell = SelectedFirstCell(), fromButton](PageContext& c) {
    return BeginEditVlan(c, cell, fromButton).has_value();
  });
}

void VlanConfigPage::OpenEditDialog(std::function<bool(PageContext&)> begin) {
  OpenDialogAfterRead(
      [begin = std::move(begin)](PageContext& c) -> std::optional<VlanEditForm> {
        if (!begin(c)) return std::nullopt;
        return InitVlanEditForm(c);
      },
      [this](const VlanEditForm& form) { return new VlanEditDialog(form, window_); },
      [](const VlanEditDialog& dialog) {
        return [form = dialog.Choices()](PageContext& c) { return ApplyVlanEdit(c, form); };
      });
}

void VlanConfigPage::Change(std::function<VlanOutcome(PageContext&)> change) {
  if (Busy()) return;
  Run(Writing(), std::move(change), [this](VlanOutcome outcome) { After(outcome); });
}

void VlanConfigPage::After(VlanOutcome outcome) {
  switch (outcome) {
    case VlanOutcome::kWritten:
    case VlanOutcome::kWriteFailed:
      Refresh();
      return;
    case VlanOutcome::kReadFailed:
      ShowFailure("Reading the VLAN registers", "nothing was written");
      return;
    case VlanOutcome::kNothing:
    case VlanOutcome::kNoSelection:
    case VlanOutcome::kRefused:
    case VlanOutcome::kDeclined:
      return;
  }
}

}  // namespace brisfell
