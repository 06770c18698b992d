// Everything the application runs on, built in start-up order: the clock, the packet drivers
// (the real adapters and, on request, the emulated segment), the engine, the prompts, the
// engine's own thread, every page host and page, and last the main window.
#pragma once

#include <QString>
#include <memory>

#include "app/composite_driver.h"
#include "app/launch_options.h"
#include "app/main_window.h"
#include "app/page_set.h"
#include "engine/clock.h"
#include "engine/engine.h"
#include "pages/widgets/engine_jobs.h"

namespace brisfell {

namespace sim {
class Segment;
}

class AppSession {
 public:
  // Null with a message when the scenario file cannot be loaded.
  static std::unique_ptr<AppSession> Create(const LaunchOptions& options, QString& error);
  ~AppSession();
  AppSession(const AppSession&) = delete;
  AppSession& operator=(const AppSession&) = delete;

  MainWindow& Window() { return *window_; }
  Engine& GetEngine() { return *engine_; }
  EngineJobs& Jobs() { return *jobs_; }
  // The emulated segment's index in the adapter list; -1 without it.
  int EmulatedAdapterIndex() const;

 private:
  AppSession() = default;

  // The real clock; the screenshots run goes on the emulator's virtual time instead, so that
  // its pictures of live views can show minutes of traffic without waiting for them.
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<sim::Segment> segment_;
  std::unique_ptr<PacketDriver> realDriver_;
  CompositeDriver driver_;
  std::unique_ptr<Engine> engine_;
  std::unique_ptr<Prompt> prompt_;
  std::unique_ptr<EngineJobs> jobs_;
  std::unique_ptr<PageContext> context_;
  std::unique_ptr<PageSet> pages_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace brisfell
