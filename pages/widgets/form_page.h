// A page made from a form table: the table's controls, "Refresh" and "Update". Refresh runs when
// the page is created; Update writes what the table says and does not refresh. A page with
// controls of its own derives and adds them; the table does the rest.
#pragma once

#include <QPointer>
#include <QPushButton>

#include "pages/common/form.h"
#include "pages/common/page.h"
#include "pages/widgets/form_widget.h"

namespace brisfell {

class FormPage : public Page {
 public:
  FormPage(PageContext& context, EngineJobs& jobs, const FormTable& formTable);

  void Refresh() override;
  void Update();
  const FormState& State() const { return state_; }
  FormView* View() const { return view_; }
  QPushButton* RefreshButton() const { return refresh_; }
  QPushButton* UpdateButton() const { return update_; }
  // What the last refresh or update came to.
  const Outcome& LastOutcome() const { return last_; }

 protected:
  void BuildControls(QWidget* window) override;
  QWidget* ResultsArea() const override { return view_; }
  // Adds the page's own controls once the table's exist.
  virtual void BuildExtraControls(QWidget* /*window*/) {}
  // Shows what the page alone takes from the registers just read (state().lastRead).
  virtual void ShowExtra() {}
  // Says a failure in the page and the status bar; a page that does not know why says nothing.
  void Report(const Outcome& outcome, const char* action);

  const FormTable& table_;
  FormState state_;
  QPointer<FormView> view_;
  QPointer<QPushButton> refresh_;
  QPointer<QPushButton> update_;
  Outcome last_;
};

}  // namespace brisfell
