// The only top-level window: the adapter and switch selectors above the four groups of pages.
// Choosing an adapter discovers its switches; choosing a switch, a group or a tab rebuilds
// what is shown, so every page reads the current switch afresh.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QTabWidget>
#include <vector>

#include "app/page_set.h"
#include "engine/engine.h"
#include "pages/common/prompt.h"

namespace brisfell {

inline constexpr const char* kMainWindowCaption = "Ardune Brisfell Remote Management Tool";
inline constexpr const char* kAboutMenuText = "&About Ardune Brisfell...";

class MainWindow : public QMainWindow {
 public:
  // Lists the adapters and shows the Status group; no adapter is chosen yet.
  MainWindow(Engine& engine, Prompt& prompt, PageSet& pages, QWidget* parent = nullptr);
  ~MainWindow() override;

  // What the selectors and tabs do when the operator uses them.
  void SelectAdapter(int index);
  void SelectSwitch(int index);
  // Destroys the shown group's window and creates group k's, on its first tab.
  void ShowGroup(int group);
  void ShowAbout();

  int CurrentGroup() const { return currentGroup_; }
  PageHost* CurrentHost() const;
  QComboBox* AdapterSelector() const { return adapters_; }
  QComboBox* SwitchSelector() const { return switches_; }
  QTabWidget* GroupTabs() const { return groups_; }
  QString StatusText() const;
  // What a page says about its last action (a read that failed, a setting not written).
  void ShowPageStatus(const QString& text) { SetStatus(text); }
  QAction* AboutAction() const { return about_; }

 private:
  void BuildControls();
  void FillAdapterSelector();
  void ReportDiscovery(int adapter, int result);
  void SetStatus(const QString& text);

  Engine& engine_;
  Prompt& prompt_;
  PageSet& pages_;
  QComboBox* adapters_ = nullptr;
  QComboBox* switches_ = nullptr;
  QTabWidget* groups_ = nullptr;
  std::vector<QWidget*> groupSlots_;
  QLabel* status_ = nullptr;
  QAction* about_ = nullptr;
  int currentGroup_ = -1;
};

// "%02X:%02X:%02X:%02X:%02X:%02X (%s)": switch i as the switch selector lists it.
QString SwitchSelectorText(const Engine& engine, int index);

}  // namespace brisfell
