// The only top-level window: the adapter and switch selectors above the four groups of pages.
// Choosing an adapter discovers its switches; choosing a switch, a group or a tab rebuilds
// what is shown, so every page reads the current switch afresh. The window never waits for
// the wire: everything that needs the engine goes to the engine thread as a job (in the order
// asked, one after another), and each view shows that it is busy until its result is back.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <string>
#include <QPointer>
#include <QProgressBar>
#include <QTabWidget>
#include <vector>

#include "app/page_set.h"
#include "engine/engine.h"
#include "pages/common/prompt.h"
#include "pages/widgets/engine_jobs.h"
#include "pages/widgets/job_slot.h"

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
  // Lists the adapters (a job) and shows the Status group; no adapter is chosen yet.
  MainWindow(Engine& engine, EngineJobs& jobs, Prompt& prompt, PageSet& pages, QWidget* parent = nullptr);
  ~MainWindow() override;

  // What the selectors and tabs do when the operator uses them. Choosing an adapter starts
  // discovery and returns; the switches are listed when it is done. Choosing it again while
  // discovery runs starts over.
  void SelectAdapter(int index);
  void SelectSwitch(int index);
  // Destroys the shown group's window and creates group k's, on its first tab.
  void ShowGroup(int group);
  void ShowAbout();

  int CurrentGroup() const { return currentGroup_; }
  // For the clock of the screenshots run; the window itself never calls the engine.
  Engine& GetEngine() const { return engine_; }
  EngineJobs& Jobs() const { return jobs_; }
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
  // Discovery's panel over the groups: its progress bar and Cancel.
  BusyPanel* DiscoveryPanel() const { return discovery_->Panel(); }
  QProgressBar* DiscoveryProgress() const { return discovery_->Panel()->Bar(); }
  // Discovery waits or runs: the switch table is being rebuilt.
  bool Discovering() const { return discovering_; }
  void CancelDiscovery() { discovery_->Cancel(); }

  // View > Refresh: presses the current page's "Refresh" button; false when it has none (or
  // the page is busy).
  bool RefreshCurrentPage();
  // View > Traffic and View > Network map: create the window on first use, show and raise it.
  TrafficWindow* ShowTraffic();
  NetworkMapWindow* ShowNetworkMap();
  TrafficWindow* Traffic() const;
  NetworkMapWindow* NetworkMap() const;

 private:
  struct Discovery;
  void BuildControls();
  void FillAdapterSelector();
  // Discovery `generation` ended; `found` is empty when it never ran.
  void Discovered(int generation, int adapter, const Discovery* found, bool cancelled);
  void ReportDiscovery(int adapter, const Discovery& found, bool cancelled);
  void SetStatus(const QString& text);
  void SetControlsForDiscovery(bool discovering);
  // Every unanswered read passes here: a switch that stops answering is named in the status bar.
  void NoteRead(const Mac& mac, bool ok);
  // After a discovery or a change of switch: the live windows follow the current switch.
  void UpdateLiveWindows();

  Engine& engine_;
  EngineJobs& jobs_;
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
  JobSlot* discovery_ = nullptr;
  int discoveryGeneration_ = 0;
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

// "%02X:%02X:%02X:%02X:%02X:%02X (%s)": a switch as the switch selector lists it.
QString SwitchSelectorText(const SwitchRecord& record);

}  // namespace brisfell
