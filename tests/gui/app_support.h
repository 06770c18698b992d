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

namespace brisfell::testing {

inline void EnsureQtApp() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "gui_tests";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // kept for the whole run, like a real application object
}

// Engine, scripted prompts, every host and page, and the main window, in start-up order.
// The switch database lives in a folder of its own.
struct ShellRig {
  ShellRig(PacketDriver& driver, Clock& clock) : engine(driver, clock) {
    EnsureQtApp();
    engine.SetDatabasePath(folder.filePath("qswrec.dat").toStdString());
    pages = std::make_unique<PageSet>(context);
    window = std::make_unique<MainWindow>(engine, prompt, *pages);
  }
  ~ShellRig() {
    window.reset();
    pages.reset();
  }

  PageHost& Host(int group) { return pages->Host(group); }

  QTemporaryDir folder;
  Engine engine;
  ScriptedPrompt prompt;
  PageContext context{engine, prompt};
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
