// The only top-level window: the adapter and switch selectors above the four groups of pages.
// Choosing an adapter discovers its switches; choosing a switch, a group or a tab rebuilds
// what is shown, so every page reads the current switch afresh.
#pragma once

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <string>
#include <QPointer>
#include <QProgressBar>
#include <QTabWidget>
#include <QTimer>
#include <vector>

#include "app/page_set.h"
#include "engine/engine.h"
#include "pages/common/prompt.h"

namespace brisfell {

class NetworkMapWindow;
class TrafficWindow;

inline constexpr const char* kMainWindowCaption = "Ardune Brisfell Remote Management Tool";
inline constexpr const char* kAboutMenuText = "&About Ardune Brisfell...";

// The status bar's text, wrapped: it grows to as many lines as the text needs at its width.
class StatusBarLabel : public QLabel {
 public:
  using QLabel::QLabel;
  void Fit();

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

class MainWindow : public QMainWindow {
 public:
  // Lists the adapters and shows the Status group; no adapter is chosen yet.
  MainWindow(Engine& engine, Prompt& prompt, PageSet& pages, QWidget* parent = nullptr);
  ~MainWindow() override;

  // What the selectors and tabs do when the operator uses them. Discovery runs on a worker
  // thread while the window keeps painting; the call returns when it is done and shown.
  void SelectAdapter(int index);
  void SelectSwitch(int index);
  // Destroys the shown group's window and creates group k's, on its first tab.
  void ShowGroup(int group);
  void ShowAbout();

  int CurrentGroup() const { return currentGroup_; }
  Engine& GetEngine() const { return engine_; }
  Prompt& GetPrompt() const { return prompt_; }
  // The scenario file of the emulated segment ("" for the built-in one), for commands that
  // reach the same segment from the command line.
  void SetScenarioFile(const std::string& file) { scenarioFile_ = file; }
  const std::string& ScenarioFile() const { return scenarioFile_; }
  PageHost* CurrentHost() const;
  QComboBox* AdapterSelector() const { return adapters_; }
  QComboBox* SwitchSelector() const { return switches_; }
  QTabWidget* GroupTabs() const { return groups_; }
  QString StatusText() const;
  QLabel* StatusLabelWidget() const { return status_; }
  // What a page says about its last action (a read that failed, a setting not written).
  void ShowPageStatus(const QString& text) { SetStatus(text); }
  QAction* AboutAction() const { return about_; }
  QAction* QuitAction() const { return quit_; }
  QAction* RefreshAction() const { return refresh_; }
  QAction* TrafficAction() const { return trafficAction_; }
  QAction* NetworkMapAction() const { return mapAction_; }
  QProgressBar* DiscoveryProgress() const { return progress_; }
  // Discovery is running: the engine belongs to its worker thread until it ends.
  bool Discovering() const { return discovering_; }

  // View > Refresh: presses the current page's "Refresh" button; false when it has none.
  bool RefreshCurrentPage();
  // View > Traffic and View > Network map: create the window on first use, show and raise it.
  TrafficWindow* ShowTraffic();
  NetworkMapWindow* ShowNetworkMap();
  TrafficWindow* Traffic() const;
  NetworkMapWindow* NetworkMap() const;

 private:
  void BuildControls();
  void FillAdapterSelector();
  void ReportDiscovery(int adapter, int result);
  void SetStatus(const QString& text);
  // Runs DiscoverSwitches off this thread; the engine's messages are shown once it is done.
  int RunDiscovery(int adapter);
  void SetControlsForDiscovery(bool discovering);
  void UpdateProgress();
  // Every register read passes here: a switch that stops answering is named in the status bar.
  void NoteRead(int switchIndex, bool ok);
  // After a discovery or a change of switch: the live windows follow the current switch.
  void UpdateLiveWindows();

  Engine& engine_;
  Prompt& prompt_;
  PageSet& pages_;
  QComboBox* adapters_ = nullptr;
  QComboBox* switches_ = nullptr;
  QTabWidget* groups_ = nullptr;
  std::vector<QWidget*> groupSlots_;
  StatusBarLabel* status_ = nullptr;
  std::string scenarioFile_;
  QAction* about_ = nullptr;
  QAction* quit_ = nullptr;
  QAction* refresh_ = nullptr;
  QAction* trafficAction_ = nullptr;
  QAction* mapAction_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QTimer* progressTimer_ = nullptr;
  QElapsedTimer discoveryClock_;
  int listeningMs_ = 0;
  bool discovering_ = false;
  QString summary_;       // what the last discovery found, shown while the switches answer
  bool noReply_ = false;  // the status bar names a switch that did not answer
  PageContext liveContext_;
  QPointer<TrafficWindow> traffic_;
  QPointer<NetworkMapWindow> map_;
  int currentGroup_ = -1;
};

// How long discovery listens with a switch database of this many bytes: 100 ms for each
// remembered switch (8 bytes a record, at most 256 records) and the broadcast second.
int DiscoveryListeningMs(qint64 databaseBytes);

// "%02X:%02X:%02X:%02X:%02X:%02X (%s)": switch i as the switch selector lists it.
QString SwitchSelectorText(const Engine& engine, int index);

}  // namespace brisfell
