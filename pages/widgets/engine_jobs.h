// The engine's own thread. The window never calls the engine: it sends jobs (a closure run on
// the engine thread, one at a time, in the order they were sent) and gets each result back on
// its own thread, in the object that asked for it, as a queued call. A job can be cancelled:
// one that waits is dropped, one that runs stops between frames (its reads fail as unanswered).
// What the window shows of the engine's state (adapters, switches) is a copy taken after every
// job, so that nothing on the window's side ever reads the engine while a job changes it.
#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "engine/engine.h"
#include "pages/common/page_context.h"
#include "pages/common/prompt.h"

namespace brisfell {

// The engine's state as the window may read it: the adapters, the switch table and which
// switch the operator chose.
struct EngineView {
  int adapterCount = 0;  // -1 when the driver cannot list adapters
  std::vector<std::string> adapterDescriptions;
  std::vector<std::string> adapterNames;
  std::string driverError;  // why the adapters could not be listed
  int currentAdapter = -1;
  std::vector<SwitchRecord> switches;
  std::string databasePath;
  // Set by the window, not by the engine's copies: the switch the operator chose (the engine
  // follows through a job), and whether a discovery is rebuilding the table.
  int currentSwitch = -1;
  bool discovering = false;

  int SwitchCount() const { return static_cast<int>(switches.size()); }
  const SwitchRecord* Record(int index) const;
  std::string AdapterDescription(int index) const;
  std::string AdapterName(int index) const;
  // An adapter and a switch are current and no discovery runs: pages may read.
  bool Ready() const;
  const SwitchRecord* Current() const { return Ready() ? Record(currentSwitch) : nullptr; }
  int PortCount() const;
};

// How a job ended, as its result comes back.
struct JobEnd {
  bool ran = false;        // false: cancelled before it started, there is no result
  bool cancelled = false;  // the operator (or a newer job) cancelled it
  // The first read that was not answered, in words ("" when every read was answered).
  std::string failure;
};

// What a job's work sees on the engine thread.
class JobControl {
 public:
  Engine& engine;

  bool Cancelled() const;
  // Steps done of `total` (0: not known); shown by the view that sent the job.
  void Progress(int done, int total);
  // Progress measured on the engine's clock from now until `spanMs` have passed (discovery's
  // listening time); after that the progress is unknown.
  void ProgressOverTime(int spanMs);

 private:
  friend class EngineJobs;
  struct State;
  JobControl(Engine& e, State& s) : engine(e), state_(s) {}
  State& state_;
};

class EngineJobs : public QObject {
 public:
  using Id = uint64_t;

  // What the view that sent a job hears while it waits and runs (on the window's thread).
  struct Hooks {
    std::function<void()> started;                  // it left the queue and runs
    std::function<void(int done, int total)> progress;  // total 0: reads so far, total unknown
    std::function<void(const JobEnd&)> ended;       // before the result, also when it never ran
  };

  // Starts the engine thread, which takes the engine for its own.
  explicit EngineJobs(Engine& engine, QObject* parent = nullptr);
  // Cancels what waits or runs, ends the thread and gives the engine back to this thread.
  ~EngineJobs() override;
  EngineJobs(const EngineJobs&) = delete;
  EngineJobs& operator=(const EngineJobs&) = delete;

  // Sends `work` (called with a JobControl&) to the engine thread. `done` gets its result on
  // this thread with how it ended, unless `owner` (when given) has been destroyed by then or
  // the job never ran. A void work gives done a bool that is always true.
  template <class Work, class Done>
  Id Run(QObject* owner, Work work, Done done, Hooks hooks = {});
  // A job that waits is dropped; one that runs is asked to stop between frames.
  void Cancel(Id id);
  void CancelOwnedBy(const QObject* owner);
  // Whether nothing waits or runs.
  bool Idle() const;

  const EngineView& View() const { return view_; }
  void SetCurrentSwitch(int index) { view_.currentSwitch = index; }
  void SetDiscovering(bool on) { view_.discovering = on; }

  // A copy of `context` for logic that runs on the engine thread: its questions and messages
  // are shown on this thread (the engine thread waits for the answer), its status lines are
  // sent here.
  PageContext EngineContext(const PageContext& context);

  // Told on this thread of reads that the current switch did not answer, and of the first
  // answered read after them (a cancelled job's reads are not told).
  void SetReadListener(std::function<void(int switchIndex, const Mac& mac, bool ok)> listener) {
    readListener_ = std::move(listener);
  }
  // The engine's own message (the switch database's), shown on this thread.
  void SetMessageListener(std::function<void(const std::string&)> listener) { messageListener_ = std::move(listener); }

  // Runs `fn` on this thread and waits for it, from any thread; from this thread it just runs.
  void OnWindowThread(const std::function<void()>& fn);
  bool OnEngineThread() const { return std::this_thread::get_id() == thread_.get_id(); }
  std::thread::id EngineThreadId() const { return thread_.get_id(); }

  // For tests and the screenshots, never for the window's own work (which never waits):
  // delivers results until nothing waits, runs or is still to be delivered.
  void WaitIdle();
  // The engine thread stops after the next `reads` reads (whichever jobs make them), until
  // Release.
  void HoldAfterReads(int reads);
  // Delivers results until the engine thread has stopped at the hold; false (and the hold
  // dropped) when everything was done without that many reads.
  bool WaitHeld();
  void Release();

 private:
  friend class JobControl;
  struct Job;
  struct Shared;
  class ThreadPrompt;

  Id Submit(QObject* owner, std::function<void(JobControl&)> work, std::function<void(const JobEnd&)> deliver,
            Hooks hooks);
  void Loop();
  void RunJob(const std::shared_ptr<Job>& job);
  bool CancelCheck();
  void NoteRead(int switchIndex, bool ok);
  void NoteProgress(int done, int total, bool force);
  void FlushProgress();
  // Queues `fn` to run on this thread; counted until it has run or been dropped.
  void Post(std::function<void()> fn);
  EngineView Snapshot() const;
  void ApplySnapshot(const EngineView& copy);

  Engine& engine_;
  std::shared_ptr<Shared> shared_;
  std::deque<std::shared_ptr<Job>> queue_;  // guarded by shared_->mutex
  std::shared_ptr<Job> running_;            // guarded by shared_->mutex
  Id nextId_ = 1;
  EngineView view_;
  std::map<const Prompt*, std::unique_ptr<ThreadPrompt>> prompts_;
  std::function<void(int, const Mac&, bool)> readListener_;
  std::function<void(const std::string&)> messageListener_;
  // Engine thread only.
  std::shared_ptr<Job> current_;
  bool lastReadOk_ = true;
  std::thread thread_;
};

// ---------------------------------------------------------------- implementation of Run

namespace jobs_detail {
template <class Work>
auto Call(Work& work, JobControl& control) {
  if constexpr (std::is_void_v<std::invoke_result_t<Work&, JobControl&>>) {
    work(control);
    return true;
  } else {
    return work(control);
  }
}
}  // namespace jobs_detail

template <class Work, class Done>
EngineJobs::Id EngineJobs::Run(QObject* owner, Work work, Done done, Hooks hooks) {
  using R = decltype(jobs_detail::Call(work, std::declval<JobControl&>()));
  auto result = std::make_shared<std::optional<R>>();
  return Submit(
      owner, [result, work = std::move(work)](JobControl& control) mutable { result->emplace(jobs_detail::Call(work, control)); },
      [result, done = std::move(done)](const JobEnd& end) mutable {
        if (end.ran && result->has_value()) done(std::move(**result), end);
      },
      std::move(hooks));
}

}  // namespace brisfell
