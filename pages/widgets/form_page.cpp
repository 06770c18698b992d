#include "pages/widgets/form_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace brisfell {

FormPage::FormPage(PageContext& context, const FormTable& formTable) : Page(context, formTable.caption), table_(formTable) {}

void FormPage::BuildControls(QWidget* window) {
  // Every page starts with no selection: nothing is known until a read succeeds.
  state_ = NewFormState(table_, context_.PortCount());
  last_ = Outcome::NothingToDo();
  auto* layout = new QVBoxLayout(window);
  view_ = new FormView(table_, context_.PortCount(), window);
  layout->addWidget(view_, 1);
  BuildExtraControls(window);
  const RefreshUpdateButtons buttons = AddRefreshUpdateRow(layout, window);
  refresh_ = buttons.refresh;
  update_ = buttons.update;
  QObject::connect(refresh_, &QPushButton::clicked, window, [this] { Refresh(); });
  QObject::connect(update_, &QPushButton::clicked, window, [this] { Update(); });
}

void FormPage::Refresh() {
  if (!view_ || !Ready()) return;
  const BusyWhileReady busy(context_);
  // Choices not yet written stay where a read fails, as on every form page.
  view_->Collect(state_);
  last_ = FormRefresh(context_, table_, state_);
  view_->Show(state_);
  ShowExtra();
  Report(last_, "Refresh");
}

void FormPage::Update() {
  if (!view_ || !Ready()) return;
  const BusyWhileReady busy(context_);
  view_->Collect(state_);
  last_ = FormUpdate(context_, table_, state_);
  Report(last_, "Update");
}

void FormPage::Report(const Outcome& outcome, const char* action) {
  if (outcome.kind == OutcomeKind::ReadFailed || outcome.kind == OutcomeKind::Refused)
    context_.Status(std::string(action) + ": " + outcome.message);
}

}  // namespace brisfell
