// What the application tests share: one QApplication for the whole run (offscreen), and a
// main window put together on whatever packet driver and clock a test gives it.
#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <memory>

#include "app/main_window.h"
#include "app/page_set.h"
#include "engine/engine.h"
#include "pages/common/prompt.h"
#include "pages/widgets/engine_jobs.h"

namespace brisfell::testing {

inline void EnsureQtApp() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "gui_tests";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // kept for the whole run, like a real application object
}

// Engine, scripted prompts, the engine thread, every host and page, and the main window, in
// start-up order, with the adapters listed. The switch database lives in a folder of its own.
struct ShellRig {
  ShellRig(PacketDriver& driver, Clock& clock) : engine(driver, clock) {
    EnsureQtApp();
    engine.SetDatabasePath(folder.filePath("qswrec.dat").toStdString());
    jobs = std::make_unique<EngineJobs>(engine);
    pages = std::make_unique<PageSet>(context, *jobs);
    window = std::make_unique<MainWindow>(engine, *jobs, prompt, *pages);
    // As the application has it: what a page says goes to the status bar.
    context.showStatus = [w = window.get()](const std::string& text) { w->ShowPageStatus(QString::fromStdString(text)); };
    Settle();
  }
  ~ShellRig() {
    window.reset();
    pages.reset();
    jobs.reset();
  }

  PageHost& Host(int group) { return pages->Host(group); }
  // Every job sent so far done and its result shown.
  void Settle() { jobs->WaitIdle(); }

  QTemporaryDir folder;
  Engine engine;
  ScriptedPrompt prompt;
  PageContext context{engine, prompt};
  std::unique_ptr<EngineJobs> jobs;
  std::unique_ptr<PageSet> pages;
  std::unique_ptr<MainWindow> window;
};

// Every report list inside a widget, with how many rows it holds in all.
inline int RowsIn(QWidget* widget) {
  int rows = 0;
  for (auto* list : widget->findChildren<QTreeWidget*>()) rows += list->topLevelItemCount();
  return rows;
}

}  // namespace brisfell::testing
