// Base of every page. The page object lives for the whole process; its window is created
// when its tab is shown and destroyed when another tab (or group, or switch) is chosen.
// Creating the window builds the controls and then initialises the page, which by default
// refreshes it: that is how every page reads the current switch whenever it comes on screen.
// A page never reads the switch itself: it sends its logic to the engine thread as a job and
// shows the result when it comes back. Meanwhile a panel over the page's results says what
// it is doing, with Cancel; a job started for one window never reaches a later one.
#pragma once

#include <QLabel>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>
#include <type_traits>

#include "pages/common/page_context.h"
#include "pages/widgets/dialog_runner.h"
#include "pages/widgets/engine_jobs.h"
#include "pages/widgets/job_slot.h"

namespace brisfell {

class Page {
 public:
  Page(PageContext& context, EngineJobs& jobs, QString caption);
  virtual ~Page();
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;

  const QString& Caption() const { return caption_; }

  // Creates the window as a child of `parent`, builds the controls and initialises the page.
  QWidget* CreateWindow(QWidget* parent);
  void DestroyWindow();
  QWidget* Window() const { return window_; }
  // How many windows this page has had (tests check that nothing is rebuilt needlessly).
  int WindowsCreated() const { return windowsCreated_; }

  // A job of this page waits or runs.
  bool Busy() const { return slot_ && slot_->Busy(); }
  // What the panel's Cancel does.
  void Cancel();
  BusyPanel* BusyIndicator() const { return slot_ ? slot_->Panel() : nullptr; }
  // What the page says in its own area about its last action: a read that failed, a cancel.
  QString NoticeText() const;
  // Tests replace exec() of the dialogs the page opens.
  void SetDialogRunner(DialogRunner runner) { runDialog_ = std::move(runner); }

 protected:
  // Fills the freshly created, empty window with the page's controls.
  virtual void BuildControls(QWidget* window) = 0;
  // Runs once the controls exist; pages read the switch here.
  virtual void Initialise() { Refresh(); }
  virtual void Refresh() {}
  // Where the page's results appear (covered while a job runs); the whole page when null.
  virtual QWidget* ResultsArea() const { return nullptr; }

  // Runs `work` (called with a PageContext& for the engine thread, and a JobControl& when it
  // takes one) on the engine thread; `done` gets its result here if this window still exists
  // and the job was not cancelled. `doing` is what the busy panel says.
  template <class Work, class Done>
  void Run(const QString& doing, Work work, Done done, JobSlot::Options options = {});

  // Run for logic that fills a state (a table, a form): `logic(context, state)` works on a copy
  // of `state` on the engine thread; `done(result, state)` gets its result and the copy back.
  template <class State, class Logic, class Done>
  void RunWith(const QString& doing, State state, Logic logic, Done done, JobSlot::Options options = {});

  // A dialog the page opens once a read is done: `open` (engine thread) reads what it shows
  // and gives a std::optional state (none: no dialog); `make` (here) builds the dialog from it
  // as a child of the page; after OK, `apply` (here) turns the dialog's choices into the work
  // that writes them (engine thread), and the page refreshes when that is done.
  template <class Open, class Make, class Apply>
  void OpenDialogAfterRead(Open open, Make make, Apply apply);
  // The same for the dialog of the list row at the selection `mark` (-1: none):
  // `requested(context, mark, fromButton)` lets it open (saying so when nothing is selected
  // and a button asked), `open(context)` reads what it shows.
  template <class State, class Make, class Apply>
  void OpenRowDialog(int mark, bool fromButton, bool (*requested)(PageContext&, int, bool),
                     State (*open)(PageContext&), Make make, Apply apply) {
    OpenDialogAfterRead(
        [mark, fromButton, requested, open](PageContext& context) -> std::optional<State> {
          if (!requested(context, mark, fromButton)) return std::nullopt;
          return open(context);
        },
        std::move(make), std::move(apply));
  }
  // The same for a dialog that reads nothing before it opens.
  template <class Make, class Apply>
  void ShowDialog(Make make, Apply apply);

  // The window's copy of the engine's state: both an adapter and a switch are current;
  // otherwise pages show nothing and send nothing.
  bool Ready() const { return jobs_.View().Ready(); }
  int PortCount() const { return jobs_.View().PortCount(); }
  const SwitchRecord* Record() const { return jobs_.View().Current(); }
  // `action` failed: the page's own area says so, and the status bar. `detail` says what
  // could not be done; the job's first unanswered read is added.
  void ShowFailure(const QString& action, const std::string& detail = {});
  void ClearNotice();
  // Reading texts for the busy panel.
  static QString Reading() { return "Reading the switch..."; }
  static QString Writing() { return "Writing to the switch..."; }

  PageContext& context_;
  EngineJobs& jobs_;

 private:
  void ShowNotice(const QString& text);

  QString caption_;
  QPointer<QWidget> window_;
  QPointer<QLabel> notice_;
  QPointer<JobSlot> slot_;
  int windowsCreated_ = 0;
  DialogRunner runDialog_ = ExecDialog;
};

template <class Work, class Done>
void Page::Run(const QString& doing, Work work, Done done, JobSlot::Options options) {
  if (!slot_) return;
  if (!options.automatic) ClearNotice();
  slot_->Run(
      doing,
      [context = jobs_.EngineContext(context_), work = std::move(work)](JobControl& control) mutable {
        if constexpr (std::is_invocable_v<Work&, PageContext&, JobControl&>) {
          return work(context, control);
        } else {
          return work(context);
        }
      },
      std::move(done), std::move(options));
}

template <class State, class Logic, class Done>
void Page::RunWith(const QString& doing, State state, Logic logic, Done done, JobSlot::Options options) {
  Run(
      doing,
      [state = std::move(state), logic = std::move(logic)](PageContext& context) mutable {
        auto result = logic(context, state);
        return std::make_pair(std::move(result), std::move(state));
      },
      [done = std::move(done)](auto filled) mutable { done(std::move(filled.first), std::move(filled.second)); },
      std::move(options));
}

template <class Make, class Apply>
void Page::ShowDialog(Make make, Apply apply) {
  // Owned by the page's window, which may go while the dialog is open.
  auto* made = make();
  const QPointer<QDialog> dialog = made;
  const bool ok = runDialog_(*made);
  if (!dialog) return;
  if (ok) Run(Writing(), apply(*made), [this](auto&&) { Refresh(); });
  delete made;
}

template <class Open, class Make, class Apply>
void Page::OpenDialogAfterRead(Open open, Make make, Apply apply) {
  Run(Reading(), std::move(open), [this, make = std::move(make), apply = std::move(apply)](auto state) mutable {
    if (state) ShowDialog([&] { return make(*state); }, std::move(apply));
  });
}

}  // namespace brisfell
