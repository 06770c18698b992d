#include "pages/widgets/engine_jobs.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace brisfell {

// ---------------------------------------------------------------- the view

const SwitchRecord* EngineView::Record(int index) const {
  if (index < 0 || index >= SwitchCount()) return nullptr;
  return &switches[static_cast<size_t>(index)];
}

std::string EngineView::AdapterDescription(int index) const {
  if (index < 0 || index >= static_cast<int>(adapterDescriptions.size())) return {};
  return adapterDescriptions[static_cast<size_t>(index)];
}

std::string EngineView::AdapterName(int index) const {
  if (index < 0 || index >= static_cast<int>(adapterNames.size())) return {};
  return adapterNames[static_cast<size_t>(index)];
}

bool EngineView::Ready() const {
  return !discovering && currentAdapter != -1 && currentSwitch != -1 && Record(currentSwitch) != nullptr;
}

int EngineView::PortCount() const {
  const SwitchRecord* record = Current();
  return record ? record->portCount : 0;
}

// ---------------------------------------------------------------- shared state

struct EngineJobs::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  int pending = 0;  // queued calls to the window's thread not yet run or dropped
  bool closing = false;
  int holdAfter = 0;        // 0: no hold asked for
  int readsSinceAsked = 0;
  bool held = false;
};

struct EngineJobs::Job {
  Id id = 0;
  QPointer<QObject> owner;           // read on the window's thread only
  const QObject* ownerKey = nullptr;  // for comparisons; never dereferenced
  bool owned = false;
  QMetaObject::Connection watch;
  std::function<void(JobControl&)> work;
  std::function<void(const JobEnd&)> deliver;
  Hooks hooks;
  std::atomic<bool> cancelled{false};

  // Engine thread only.
  int reads = 0;
  std::string failure;
  bool explicitProgress = false;
  int spanMs = 0;
  int64_t spanStartMs = 0;
  int lastDone = -1;
  int lastTotal = -1;
  bool unsent = false;  // the last progress was held back by the throttle
  std::chrono::steady_clock::time_point lastPost{};
};

struct JobControl::State {
  EngineJobs& jobs;
  EngineJobs::Job& job;
};

bool JobControl::Cancelled() const { return state_.job.cancelled.load(); }

void JobControl::Progress(int done, int total) {
  state_.job.explicitProgress = true;
  state_.jobs.NoteProgress(done, total, done >= total);
}

void JobControl::ProgressOverTime(int spanMs) {
  state_.job.spanMs = spanMs;
  state_.job.spanStartMs = engine.GetClock().NowMs();
  state_.jobs.NoteProgress(0, spanMs, true);
}

// Questions from the engine thread are asked on the window's thread; the engine thread waits.
class EngineJobs::ThreadPrompt : public Prompt {
 public:
  ThreadPrompt(EngineJobs& jobs, Prompt& inner) : jobs_(jobs), inner_(inner) {}
  void Message(const std::string& title, const std::string& text, PromptIcon icon) override {
    jobs_.OnWindowThread([&] { inner_.Message(title, text, icon); });
  }
  bool AskYesNo(const std::string& title, const std::string& text, PromptIcon icon) override {
    bool yes = false;
    jobs_.OnWindowThread([&] { yes = inner_.AskYesNo(title, text, icon); });
    return yes;
  }
  std::optional<std::string> SaveFileName(const FileDialogRequest& request) override {
    std::optional<std::string> name;
    jobs_.OnWindowThread([&] { name = inner_.SaveFileName(request); });
    return name;
  }
  std::optional<std::string> OpenFileName(const FileDialogRequest& request) override {
    std::optional<std::string> name;
    jobs_.OnWindowThread([&] { name = inner_.OpenFileName(request); });
    return name;
  }

 private:
  EngineJobs& jobs_;
  Prompt& inner_;
};

// ---------------------------------------------------------------- the window's side

EngineJobs::EngineJobs(Engine& engine, QObject* parent)
    : QObject(parent), engine_(engine), shared_(std::make_shared<Shared>()) {
  setObjectName("engineJobs");
  thread_ = std::thread([this] { Loop(); });
}

EngineJobs::~EngineJobs() {
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->closing = true;
    shared_->held = false;
    queue_.clear();
    if (running_) running_->cancelled = true;
  }
  shared_->changed.notify_all();
  if (thread_.joinable()) thread_.join();
  // What was never delivered is dropped now, while this object is still whole.
  QCoreApplication::removePostedEvents(this);
  engine_.BindToCurrentThread();
}

EngineJobs::Id EngineJobs::Submit(QObject* owner, std::function<void(JobControl&)> work,
                                  std::function<void(const JobEnd&)> deliver, Hooks hooks) {
  auto job = std::make_shared<Job>();
  job->id = nextId_++;
  job->owner = owner;
  job->ownerKey = owner;
  job->owned = owner != nullptr;
  job->work = std::move(work);
  job->deliver = std::move(deliver);
  job->hooks = std::move(hooks);
  // A job whose owner goes away is of no use to anyone: it is cancelled with it.
  if (owner)
    job->watch = connect(owner, &QObject::destroyed, this, [this, key = job->ownerKey] { CancelOwnedBy(key); });
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    if (shared_->closing) return 0;
    queue_.push_back(job);
  }
  shared_->changed.notify_all();
  return job->id;
}

void EngineJobs::Cancel(Id id) {
  std::shared_ptr<Job> dropped;
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    if (running_ && running_->id == id) running_->cancelled = true;
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
      if ((*it)->id != id) continue;
      dropped = *it;
      queue_.erase(it);
      break;
    }
  }
  if (!dropped) return;
  dropped->cancelled = true;
  // Told later, not from inside the caller's own handler.
  Post([this, dropped] {
    disconnect(dropped->watch);
    if (dropped->owned && !dropped->owner) return;
    JobEnd end;
    end.cancelled = true;
    if (dropped->hooks.ended) dropped->hooks.ended(end);
  });
}

void EngineJobs::CancelOwnedBy(const QObject* owner) {
  std::vector<Id> ids;
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    if (running_ && running_->ownerKey == owner) ids.push_back(running_->id);
    for (const auto& job : queue_)
      if (job->ownerKey == owner) ids.push_back(job->id);
  }
  for (Id id : ids) Cancel(id);
}

bool EngineJobs::Idle() const {
  const std::lock_guard<std::mutex> lock(shared_->mutex);
  return queue_.empty() && !running_;
}

PageContext EngineJobs::EngineContext(const PageContext& context) {
  std::unique_ptr<ThreadPrompt>& prompt = prompts_[&context.prompt];
  if (!prompt) prompt = std::make_unique<ThreadPrompt>(*this, context.prompt);
  PageContext copy(context.engine, *prompt);
  copy.selectedListRow = context.selectedListRow;
  if (context.showStatus)
    copy.showStatus = [this, show = context.showStatus](const std::string& text) { Post([show, text] { show(text); }); };
  return copy;
}

void EngineJobs::OnWindowThread(const std::function<void()>& fn) {
  if (!OnEngineThread()) {
    fn();
    return;
  }
  struct Request {
    bool started = false;
    bool done = false;
    bool dropped = false;
  };
  FlushProgress();
  auto request = std::make_shared<Request>();
  const std::function<void()>* call = &fn;  // the engine thread waits below, so `fn` outlives the call
  Post([request, call, shared = shared_] {
    {
      const std::lock_guard<std::mutex> lock(shared->mutex);
      if (request->dropped) return;
      request->started = true;
    }
    (*call)();
    {
      const std::lock_guard<std::mutex> lock(shared->mutex);
      request->done = true;
    }
    shared->changed.notify_all();
  });
  std::unique_lock<std::mutex> lock(shared_->mutex);
  shared_->changed.wait(lock, [&] { return request->done || (shared_->closing && !request->started); });
  if (!request->done) request->dropped = true;
}

void EngineJobs::Post(std::function<void()> fn) {
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    ++shared_->pending;
  }
  // Counted down when the call has run or been dropped, whichever thread drops it.
  std::shared_ptr<void> counted(nullptr, [shared = shared_](void*) {
    {
      const std::lock_guard<std::mutex> lock(shared->mutex);
      --shared->pending;
    }
    shared->changed.notify_all();
  });
  QMetaObject::invokeMethod(
      this, [fn = std::move(fn), counted] { fn(); }, Qt::QueuedConnection);
  // A window thread waiting in WaitIdle has a call to run.
  shared_->changed.notify_all();
}

void EngineJobs::WaitIdle() {
  for (;;) {
    QCoreApplication::sendPostedEvents(this);
    std::unique_lock<std::mutex> lock(shared_->mutex);
    if (shared_->held) {
      std::fputs("brisfell: waiting for the engine thread while it is held\n", stderr);
      std::abort();
    }
    if (queue_.empty() && !running_ && shared_->pending == 0) return;
    shared_->changed.wait(lock, [&] { return shared_->pending > 0 || shared_->held || (queue_.empty() && !running_); });
  }
}

void EngineJobs::HoldAfterReads(int reads) {
  const std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->holdAfter = reads;
  shared_->readsSinceAsked = 0;
}

bool EngineJobs::WaitHeld() {
  for (;;) {
    QCoreApplication::sendPostedEvents(this);
    std::unique_lock<std::mutex> lock(shared_->mutex);
    if (shared_->held) return true;
    if (queue_.empty() && !running_ && shared_->pending == 0) {
      shared_->holdAfter = 0;
      return false;
    }
    shared_->changed.wait(lock, [&] { return shared_->held || shared_->pending > 0 || (queue_.empty() && !running_); });
  }
}

void EngineJobs::Release() {
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->held = false;
  }
  shared_->changed.notify_all();
}

void EngineJobs::ApplySnapshot(const EngineView& copy) {
  const int current = view_.currentSwitch;
  const bool discovering = view_.discovering;
  view_ = copy;
  view_.currentSwitch = current;
  view_.discovering = discovering;
}

// ---------------------------------------------------------------- the engine thread

void EngineJobs::Loop() {
  engine_.BindToCurrentThread();
  engine_.SetCancelCheck([this] { return CancelCheck(); });
  engine_.SetReadObserver([this](int switchIndex, bool ok) { NoteRead(switchIndex, ok); });
  engine_.SetErrorNotifier([this](const std::string& message) {
    Post([this, message] {
      if (messageListener_) messageListener_(message);
    });
  });
  for (;;) {
    std::shared_ptr<Job> job;
    {
      std::unique_lock<std::mutex> lock(shared_->mutex);
      shared_->changed.wait(lock, [&] { return shared_->closing || !queue_.empty(); });
      if (shared_->closing) break;
      job = queue_.front();
      queue_.pop_front();
      running_ = job;
    }
    RunJob(job);
    {
      const std::lock_guard<std::mutex> lock(shared_->mutex);
      running_.reset();
    }
    shared_->changed.notify_all();
  }
  engine_.SetCancelCheck(nullptr);
  engine_.SetReadObserver(nullptr);
  engine_.SetErrorNotifier(nullptr);
}

void EngineJobs::RunJob(const std::shared_ptr<Job>& job) {
  current_ = job;
  Post([job] {
    if ((!job->owned || job->owner) && job->hooks.started) job->hooks.started();
  });
  JobControl::State state{*this, *job};
  JobControl control(engine_, state);
  try {
    job->work(control);
  } catch (const std::exception& e) {
    job->failure = e.what();
  }
  FlushProgress();
  current_.reset();
  JobEnd end;
  end.ran = true;
  end.cancelled = job->cancelled.load();
  end.failure = job->failure;
  // The copy first, so that the result finds the window's view up to date.
  Post([this, copy = Snapshot()] { ApplySnapshot(copy); });
  Post([this, job, end] {
    disconnect(job->watch);
    if (job->owned && !job->owner) return;
    if (job->hooks.ended) job->hooks.ended(end);
    job->deliver(end);
  });
}

EngineView EngineJobs::Snapshot() const {
  EngineView v;
  v.adapterCount = engine_.AdapterCount();
  for (int i = 0; i < engine_.AdapterCount(); ++i) {
    v.adapterDescriptions.push_back(engine_.AdapterDescription(i));
    v.adapterNames.push_back(engine_.AdapterName(i));
  }
  v.currentAdapter = engine_.CurrentAdapterIndex();
  for (int i = 0; i < engine_.SwitchCount(); ++i) v.switches.push_back(*engine_.GetSwitchRecord(i));
  v.databasePath = engine_.DatabasePath();
  return v;
}

bool EngineJobs::CancelCheck() {
  Job* job = current_.get();
  if (!job) return false;
  if (job->spanMs > 0) {
    const int64_t elapsed = engine_.GetClock().NowMs() - job->spanStartMs;
    if (elapsed >= job->spanMs) {
      job->spanMs = 0;
      NoteProgress(0, 0, true);
    } else {
      NoteProgress(static_cast<int>(elapsed), job->spanMs, false);
    }
  }
  return job->cancelled.load();
}

void EngineJobs::NoteProgress(int done, int total, bool force) {
  Job* job = current_.get();
  if (!job || (done == job->lastDone && total == job->lastTotal && !job->unsent)) return;
  job->lastDone = done;
  job->lastTotal = total;
  // The window needs a few updates a second, not one a frame; what is held back goes out
  // before anything else the window is to see (a question, a hold, the result).
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - job->lastPost < std::chrono::milliseconds(40)) {
    job->unsent = true;
    return;
  }
  job->unsent = false;
  job->lastPost = now;
  Post([job = current_, done, total] {
    if ((!job->owned || job->owner) && job->hooks.progress) job->hooks.progress(done, total);
  });
}

void EngineJobs::FlushProgress() {
  if (current_ && current_->unsent) NoteProgress(current_->lastDone, current_->lastTotal, true);
}

void EngineJobs::NoteRead(int switchIndex, bool ok) {
  Job* job = current_.get();
  const bool cancelled = job && job->cancelled.load();
  Mac mac{};
  if (job) {
    ++job->reads;
    if (!ok && !cancelled && job->failure.empty() && engine_.GetSwitchMac(switchIndex, mac))
      job->failure = "no reply from " + FormatMac(mac);
    if (!job->explicitProgress && job->spanMs == 0) NoteProgress(job->reads, 0, false);
  }
  // The window hears of every unanswered read, and of the first answer after them.
  if (!cancelled && (!ok || !lastReadOk_)) {
    lastReadOk_ = ok;
    engine_.GetSwitchMac(switchIndex, mac);
    Post([this, switchIndex, mac, ok] {
      if (readListener_) readListener_(switchIndex, mac, ok);
    });
  }
  bool hold = false;
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    hold = shared_->holdAfter > 0 && ++shared_->readsSinceAsked >= shared_->holdAfter;
  }
  if (!hold) return;
  FlushProgress();
  std::unique_lock<std::mutex> lock(shared_->mutex);
  shared_->holdAfter = 0;
  shared_->held = true;
  shared_->changed.notify_all();
  shared_->changed.wait(lock, [&] { return !shared_->held || shared_->closing; });
}

}  // namespace brisfell
