#include "app/app_session.h"

#include <QFile>
#include <QPointer>
#include <cstdio>
#include <stdexcept>

#include "app/qt_prompt.h"
#include "sim/segment.h"

// The machine's own adapters, through libpcap.
#include "engine/pcap/pcap_driver.h"

namespace brisfell {
namespace {

// Used when no one is at the screen (the screenshots run): messages go to the standard error,
// questions are answered No and file dialogs cancelled, so nothing ever waits for a click.
class UnattendedPrompt : public Prompt {
 public:
  void Message(const std::string& title, const std::string& text, PromptIcon) override {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  }
  bool AskYesNo(const std::string& title, const std::string& text, PromptIcon) override {
    std::fprintf(stderr, "%s: %s (answered No)\n", title.c_str(), text.c_str());
    return false;
  }
  std::optional<std::string> SaveFileName(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> OpenFileName(const FileDialogRequest&) override { return std::nullopt; }
};

}  // namespace

std::unique_ptr<AppSession> AppSession::Create(const LaunchOptions& options, QString& error) {
  std::unique_ptr<AppSession> s(new AppSession);
  if (options.screenshotsDir.isEmpty()) {
    s->clock_ = std::make_unique<SystemClock>();
  } else {
    s->clock_ = std::make_unique<sim::VirtualClock>();
  }

  // The machine's real adapters. (Comment this line out to list the emulated segment alone.)
  s->realDriver_ = std::make_unique<PcapDriver>();

  if (options.simulate) {
    try {
      sim::Scenario scenario = options.scenarioFile.isEmpty()
                                   ? sim::DefaultScenario()
                                   : sim::LoadScenarioFile(QFile::encodeName(options.scenarioFile).toStdString());
      if (!options.faults.isEmpty()) sim::ApplyFaultsText(scenario, options.faults.toStdString());
      s->segment_ = std::make_unique<sim::Segment>(scenario, *s->clock_);
    } catch (const std::exception& e) {
      error = options.scenarioFile.isEmpty()
                  ? QString("Cannot set up the emulated segment: %1").arg(QString::fromStdString(e.what()))
                  : QString("Cannot load the scenario %1: %2").arg(options.scenarioFile, QString::fromStdString(e.what()));
      return nullptr;
    }
  }
  // The emulated segment comes first so the ten adapter slots can never crowd it out.
  if (s->segment_) s->driver_.AddMember(*s->segment_);
  if (s->realDriver_) s->driver_.AddMember(*s->realDriver_);

  s->engine_ = std::make_unique<Engine>(s->driver_, *s->clock_);
  QtPrompt* onScreen = nullptr;
  if (options.screenshotsDir.isEmpty()) {
    auto prompt = std::make_unique<QtPrompt>();
    onScreen = prompt.get();
    s->prompt_ = std::move(prompt);
  } else {
    s->prompt_ = std::make_unique<UnattendedPrompt>();
  }
  // From here on the engine belongs to its own thread.
  s->jobs_ = std::make_unique<EngineJobs>(*s->engine_);
  s->context_ = std::make_unique<PageContext>(PageContext{*s->engine_, *s->prompt_});
  s->pages_ = std::make_unique<PageSet>(*s->context_, *s->jobs_);
  s->window_ = std::make_unique<MainWindow>(*s->engine_, *s->jobs_, *s->prompt_, *s->pages_);
  if (onScreen) onScreen->SetParent(s->window_.get());
  s->window_->SetScenarioFile(QFile::encodeName(options.scenarioFile).toStdString());
  s->context_->showStatus = [w = QPointer<MainWindow>(s->window_.get())](const std::string& text) {
    if (w) w->ShowPageStatus(QString::fromStdString(text));
  };
  return s;
}

AppSession::~AppSession() {
  // The window goes first: its hosts and pages are still alive while it is torn down. The
  // engine thread ends before the engine and the prompts it may still be using.
  window_.reset();
  pages_.reset();
  jobs_.reset();
}

int AppSession::EmulatedAdapterIndex() const {
  if (!segment_) return -1;
  const EngineView& view = jobs_->View();
  for (int i = 0; i < view.adapterCount; ++i)
    if (view.AdapterName(i) == sim::Segment::kAdapterName) return i;
  return -1;
}

}  // namespace brisfell
