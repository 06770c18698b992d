#include "pages/widgets/form_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <utility>

namespace brisfell {

FormPage::FormPage(PageContext& context, EngineJobs& jobs, const FormTable& formTable)
    : Page(context, jobs, formTable.caption), table_(formTable) {}

void FormPage::BuildControls(QWidget* window) {
  // Every page starts with no selection: nothing is known until a read succeeds.
  state_ = NewFormState(table_, PortCount());
  last_ = Outcome::NothingToDo();
  auto* layout = new QVBoxLayout(window);
  view_ = new FormView(table_, PortCount(), window);
  layout->addWidget(view_, 1);
  BuildExtraControls(window);
  const RefreshUpdateButtons buttons = AddRefreshUpdateRow(layout, window);
  refresh_ = buttons.refresh;
  update_ = buttons.update;
  QObject::connect(refresh_, &QPushButton::clicked, window, [this] { Refresh(); });
  QObject::connect(update_, &QPushButton::clicked, window, [this] { Update(); });
}

void FormPage::Refresh() {
  if (!view_ || !Ready() || Busy()) return;
  // Choices not yet written stay where a read fails, as on every form page.
  view_->Collect(state_);
  RunWith(
      Reading(), state_, [table = &table_](PageContext& c, FormState& state) { return FormRefresh(c, *table, state); },
      [this](const Outcome& outcome, FormState state) {
        last_ = outcome;
        state_ = std::move(state);
        view_->Show(state_);
        ShowExtra();
        Report(last_, "Refresh");
      });
}

void FormPage::Update() {
  if (!view_ || !Ready() || Busy()) return;
  view_->Collect(state_);
  Run(
      Writing(), [table = &table_, state = state_](PageContext& c) { return FormUpdate(c, *table, state); },
      [this](const Outcome& outcome) {
        last_ = outcome;
        Report(last_, "Update");
      });
}

void FormPage::Report(const Outcome& outcome, const char* action) {
  if (outcome.kind == OutcomeKind::ReadFailed) ShowFailure(action, outcome.message);
  if (outcome.kind == OutcomeKind::Refused) context_.Status(std::string(action) + ": " + outcome.message);
}

}  // namespace brisfell
