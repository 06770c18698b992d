#include "pages/security/device_security_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QVBoxLayout>
#include <utility>

namespace brisfell {

DeviceSecurityPage::DeviceSecurityPage(PageContext& context, EngineJobs& jobs) : Page(context, jobs, "Device Security") {}

void DeviceSecurityPage::BuildControls(QWidget* window) {
  // What NewSecurityState gives, from the window's copy of the switch table.
  state_ = SecurityState{};
  state_.ports = NewFormState(DeviceSecurityForm(), PortCount());
  state_.variant = SecurityVariantOf(Record());
  last_ = Outcome::NothingToDo();
  auto* layout = new QVBoxLayout(window);
  view_ = new FormView(DeviceSecurityForm(), PortCount(), window);
  layout->addWidget(view_, 1);

  auto* keyBox = new QWidget(view_);
  auto* keyLayout = new QVBoxLayout(keyBox);
  keyLayout->setContentsMargins(4, 8, 12, 4);
  auto* keyRow = new QHBoxLayout;
  auto* label = new QLabel(kAuthKeyLabel, keyBox);
  key_ = new QLineEdit(keyBox);
  key_->setObjectName("authKey");
  // Read only (and grey, so it looks it) until a refresh finds a model whose key can be set.
  key_->setReadOnly(true);
  QPalette grey = key_->palette();
  grey.setColor(QPalette::Base, grey.color(QPalette::Window));
  key_->setPalette(grey);
  key_->setMaximumWidth(110);
  label->setBuddy(key_);
  keyRow->addWidget(label);
  keyRow->addWidget(key_);
  keyRow->addStretch();
  keyLayout->addLayout(keyRow);
  access_ = MakeButton(kAccessErrorCaption, "accessControl", keyBox);
  access_->setMinimumWidth(220);
  auto* accessRow = new QHBoxLayout;
  accessRow->addWidget(access_);
  accessRow->addStretch();
  keyLayout->addSpacing(8);
  keyLayout->addLayout(accessRow);
  view_->LeftColumn()->insertWidget(0, keyBox);

  const RefreshUpdateButtons buttons = AddRefreshUpdateRow(layout, window);
  refresh_ = buttons.refresh;
  update_ = buttons.update;
  QObject::connect(refresh_, &QPushButton::clicked, window, [this] { Refresh(); });
  QObject::connect(update_, &QPushButton::clicked, window, [this] { Update(); });
  QObject::connect(access_, &QPushButton::clicked, window, [this] { PressAccess(); });
}

void DeviceSecurityPage::Initialise() {
  // Boxes beyond the port count are hidden by the view; a model that can neither set its key
  // nor switch remote access has no use for the button.
  if (!state_.variant.ButtonShown()) {
    access_->hide();
    access_->setEnabled(false);
  }
  Refresh();
}

void DeviceSecurityPage::Collect() {
  if (!view_) return;
  view_->Collect(state_.ports);
  state_.keyText = key_->text().toStdString();
}

void DeviceSecurityPage::Show() {
  view_->Show(state_.ports);
  if (!state_.keyText.empty()) key_->setText(QString::fromStdString(state_.keyText));
  if (state_.variant.keySettable && key_->isReadOnly()) {
    key_->setReadOnly(false);
    key_->setMaxLength(kKeyTextLength);
    key_->setPalette(QPalette());
  }
  access_->setText(QString::fromStdString(state_.accessCaption));
}

void DeviceSecurityPage::Refresh() {
  if (!view_ || !Ready() || Busy()) return;
  // Choices not yet written stay where a read fails.
  Collect();
  RunWith(Reading(), state_, RefreshSecurity, [this](const Outcome& outcome, SecurityState state) {
    last_ = outcome;
    state_ = std::move(state);
    Show();
    Report(last_, "Refresh");
  });
}

void DeviceSecurityPage::Update() {
  if (!view_ || !Ready() || Busy()) return;
  Collect();
  Run(
      Writing(), [state = state_](PageContext& c) { return UpdateSecurity(c, state, LockoutPolicy::kAsk); },
      [this](const Outcome& outcome) {
        last_ = outcome;
        Report(last_, "Update");
      });
}

void DeviceSecurityPage::PressAccess() {
  if (!view_ || !Ready() || Busy()) return;
  Collect();
  RunWith(Writing(), state_, PressAccessButton, [this](const Outcome& outcome, const SecurityState& pressed) {
    last_ = outcome;
    state_.accessCaption = pressed.accessCaption;
    access_->setText(QString::fromStdString(state_.accessCaption));
    Report(last_, "Access");
  });
}

void DeviceSecurityPage::Report(const Outcome& outcome, const char* action) {
  // Refusals come with message boxes of their own.
  if (outcome.kind == OutcomeKind::ReadFailed) ShowFailure(action, outcome.message);
}

}  // namespace brisfell
