// How a view (a page, a Tools window, the main window's discovery) sends its engine work and
// shows it: while a job of the view waits or runs, a panel covers the place where its results
// will appear (what it is doing, a progress bar, Cancel) and the view's controls are disabled,
// so that a view never stacks jobs of its own; the rest of the window goes on working.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "pages/widgets/engine_jobs.h"

namespace brisfell {

// The panel over a view's results while its job waits or runs.
class BusyPanel : public QWidget {
 public:
  // A child of `parent` that covers `area` (a widget inside `parent`, or `parent` itself).
  BusyPanel(QWidget* parent, QWidget* area);

  void ShowState(const QString& doing, const QString& detail, int done, int total);
  void SetCancelling();
  QLabel* Title() const { return title_; }
  QLabel* Detail() const { return detail_; }
  QProgressBar* Bar() const { return bar_; }
  QPushButton* CancelButton() const { return cancel_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void FollowArea();

  QPointer<QWidget> area_;
  QLabel* title_ = nullptr;
  QLabel* detail_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

class JobSlot : public QObject {
 public:
  struct Options {
    // The timer's own work (auto refresh, sampling): the panel only comes up when it takes a
    // while, so that a quick switch does not make the view flicker every second.
    bool automatic = false;
    // `done` also gets the result of a job cancelled while it ran (discovery keeps what it found).
    bool deliverCancelled = false;
    // Told when this job ends, before its result, also when it never ran.
    std::function<void(const JobEnd&)> ended;
  };
  static Options Automatic(bool automatic) {
    Options options;
    options.automatic = automatic;
    return options;
  }

  // Jobs sent from here belong to `owner` (the view's window; when it goes they are cancelled
  // and their results dropped). While one waits or runs the panel covers `area` and
  // `controls` are disabled (none of them may hold the panel, which is the owner's child).
  JobSlot(EngineJobs& jobs, QWidget* owner, QWidget* area, std::vector<QWidget*> controls);
  ~JobSlot() override;

  // Sends `work` (called on the engine thread with a JobControl&); `done` gets its result here,
  // unless the job was cancelled. `doing` says what the panel shows: "Reading the switch...".
  template <class Work, class Done>
  void Run(const QString& doing, Work work, Done done, Options options);
  template <class Work, class Done>
  void Run(const QString& doing, Work work, Done done) {
    Run(doing, std::move(work), std::move(done), Options());
  }

  bool Busy() const { return !entries_.empty(); }
  // What Cancel on the panel does: every job of this view is dropped or stopped.
  void Cancel();
  BusyPanel* Panel() const { return panel_; }
  // How the last job of this view ended (inside `done`, the job being delivered).
  const JobEnd& LastEnd() const { return lastEnd_; }
  // Told whenever a job of this view ends, before its result, also when it never ran.
  void OnEnded(std::function<void(const JobEnd&)> ended) { ended_ = std::move(ended); }

  // How long an automatic job runs before the panel shows.
  static constexpr int kAutomaticPanelDelayMs = 400;

 private:
  struct Entry {
    QString doing;
    bool automatic = false;
    bool running = false;
    bool cancelled = false;
    int done = 0;
    int total = 0;
  };
  void Queued(EngineJobs::Id id, const QString& doing, bool automatic);
  void Started(EngineJobs::Id id);
  void Progress(EngineJobs::Id id, int done, int total);
  void Ended(EngineJobs::Id id, const JobEnd& end);
  void UpdateLook();

  EngineJobs& jobs_;
  QPointer<QWidget> owner_;
  std::vector<QPointer<QWidget>> controls_;
  BusyPanel* panel_ = nullptr;
  QTimer* delay_ = nullptr;
  std::map<EngineJobs::Id, Entry> entries_;
  JobEnd lastEnd_;
  std::function<void(const JobEnd&)> ended_;
};

template <class Work, class Done>
void JobSlot::Run(const QString& doing, Work work, Done done, Options options) {
  auto id = std::make_shared<EngineJobs::Id>(0);
  EngineJobs::Hooks hooks;
  hooks.started = [this, id] { Started(*id); };
  hooks.progress = [this, id](int d, int t) { Progress(*id, d, t); };
  hooks.ended = [this, id, ended = std::move(options.ended)](const JobEnd& end) {
    Ended(*id, end);
    if (ended) ended(end);
  };
  *id = jobs_.Run(
      owner_, std::move(work),
      [done = std::move(done), deliverCancelled = options.deliverCancelled](auto&& result, const JobEnd& end) mutable {
        if (!end.cancelled || deliverCancelled) done(std::move(result));
      },
      std::move(hooks));
  if (*id != 0) Queued(*id, doing, options.automatic);
}

}  // namespace brisfell
