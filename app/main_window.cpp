#include "app/main_window.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/about_dialog.h"
#include "app/artwork.h"
#include "app/network_map_window.h"
#include "app/tools_menu.h"
#include "app/traffic_window.h"

namespace brisfell {

namespace {
const char* const kGroupNames[PageSet::kGroupCount] = {"Status", "Configuration", "Security", "System"};
}  // namespace

// What a discovery job brings back besides the switch table (which comes with every job).
struct MainWindow::Discovery {
  int result = -1;
  std::vector<std::string> warnings;
  std::string adapterError;
};

int DiscoveryListeningMs(qint64 databaseBytes) {
  const qint64 records = std::clamp<qint64>(databaseBytes / 8, 0, kMaxDatabaseRecords);
  return static_cast<int>(records) * kDirectedHelloWindowMs + kBroadcastHelloWindowMs;
}

QString SwitchSelectorText(const SwitchRecord& record) {
  const Mac& mac = record.mac;
  return QString::fromStdString(Format("%02X:%02X:%02X:%02X:%02X:%02X (%s)", mac[0], mac[1], mac[2], mac[3], mac[4],
                                       mac[5], record.modelName.c_str()));
}

MainWindow::MainWindow(Engine& engine, EngineJobs& jobs, Prompt& prompt, PageSet& pages, QWidget* parent)
    : QMainWindow(parent), engine_(engine), jobs_(jobs), prompt_(prompt), pages_(pages), liveContext_{engine, prompt} {
  setWindowTitle(kMainWindowCaption);
  setWindowIcon(ApplicationIcon());
  setObjectName("MainWindow");
  // The switch database's message is the engine's only one.
  jobs_.SetMessageListener(
      [this](const std::string& message) { prompt_.Message(kApplicationTitle, message, PromptIcon::Error); });
  jobs_.SetReadListener([this](int, const Mac& mac, bool ok) { NoteRead(mac, ok); });
  BuildControls();
  AddToolsMenu(*this, jobs_, prompt_);
  FillAdapterSelector();
  ShowGroup(0);
}

MainWindow::~MainWindow() {
  jobs_.SetMessageListener(nullptr);
  jobs_.SetReadListener(nullptr);
  // The live windows are children of this one; their timers must not outlive the engine's user.
  delete traffic_.data();
  delete map_.data();
  // The hosts outlive this window; they must not keep pointers into it.
  if (PageHost* host = CurrentHost()) host->DestroyWindow();
}

void MainWindow::BuildControls() {
  QMenu* file = menuBar()->addMenu("&File");
  quit_ = file->addAction("&Quit");
  quit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(quit_, &QAction::triggered, this, &QWidget::close);

  QMenu* view = menuBar()->addMenu("&View");
  refresh_ = view->addAction("&Refresh");
  refresh_->setShortcut(QKeySequence(Qt::Key_F5));
  connect(refresh_, &QAction::triggered, this, [this] { RefreshCurrentPage(); });
  view->addSeparator();
  trafficAction_ = view->addAction("&Traffic");
  connect(trafficAction_, &QAction::triggered, this, [this] { ShowTraffic(); });
  mapAction_ = view->addAction("&Network map");
  connect(mapAction_, &QAction::triggered, this, [this] { ShowNetworkMap(); });

  // Linux has no system menu: the about entry lives in a Help menu.
  QMenu* help = menuBar()->addMenu("&Help");
  about_ = help->addAction(kAboutMenuText);
  connect(about_, &QAction::triggered, this, &MainWindow::ShowAbout);

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(12, 10, 12, 8);

  auto* selectors = new QHBoxLayout;
  auto* adapterLabel = new QLabel("Adapter:", central);
  adapters_ = new QComboBox(central);
  adapters_->setObjectName("adapterSelector");
  adapters_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  adapters_->setMinimumContentsLength(28);
  adapterLabel->setBuddy(adapters_);
  auto* switchLabel = new QLabel("Switch:", central);
  switches_ = new QComboBox(central);
  switches_->setObjectName("switchSelector");
  switches_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  switches_->setMinimumContentsLength(28);
  switchLabel->setBuddy(switches_);
  selectors->addWidget(adapterLabel);
  selectors->addWidget(adapters_, 181);
  selectors->addSpacing(24);
  selectors->addWidget(switchLabel);
  selectors->addWidget(switches_, 145);
  layout->addLayout(selectors);
  layout->addSpacing(6);

  groups_ = new QTabWidget(central);
  groups_->setObjectName("groupTabs");
  for (const char* name : kGroupNames) {
    auto* slot = new QWidget(groups_);
    auto* slotLayout = new QVBoxLayout(slot);
    slotLayout->setContentsMargins(6, 6, 6, 6);
    groups_->addTab(slot, name);
    groupSlots_.push_back(slot);
  }
  layout->addWidget(groups_, 1);
  setCentralWidget(central);
  // Discovery's panel covers the groups, whose pages wait for its switch table.
  discovery_ = new JobSlot(jobs_, central, groups_, {groups_});
  discovery_->setObjectName("discovery");

  status_ = new StatusBarLabel(this);
  status_->setObjectName("adapterStatus");
  // Shown whole however long (the permission message ends in the command that mends it), and
  // selectable, so that the command can be copied.
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  status_->setContentsMargins(8, 2, 8, 2);
  statusBar()->addWidget(status_, 1);
  statusBar()->setSizeGripEnabled(true);

  // Operator events only: the window's own changes to the selectors come with blocked signals.
  connect(adapters_, &QComboBox::activated, this, &MainWindow::SelectAdapter);
  connect(switches_, &QComboBox::activated, this, &MainWindow::SelectSwitch);
  connect(groups_, &QTabWidget::currentChanged, this, &MainWindow::ShowGroup);

  // About the proportions of the 418 x 311 dialog-unit window, with room for the menu and
  // status bars, and wide enough that no group's tabs have to scroll.
  int tabsWidth = 0;
  for (int g = 0; g < PageSet::kGroupCount; ++g) tabsWidth = std::max(tabsWidth, pages_.Host(g).TabBarWidthHint());
  const int width = std::max(780, tabsWidth + 70);
  resize(width, width * 590 / 780);
}

void MainWindow::FillAdapterSelector() {
  jobs_.Run(
      this,
      [](JobControl& job) {
        const int count = job.engine.EnumerateAdapters();
        return std::make_pair(count, count < 0 ? job.engine.Driver().LastError() : std::string());
      },
      [this](std::pair<int, std::string> listed, const JobEnd&) {
        const EngineView& view = jobs_.View();
        {
          const QSignalBlocker block(adapters_);
          adapters_->clear();
          for (int i = 0; i < view.adapterCount; ++i)
            adapters_->addItem(QString::fromStdString(view.AdapterDescription(i)));
          adapters_->setCurrentIndex(-1);  // nothing is discovered until the operator picks one
        }
        if (listed.first < 0) {
          const QString why = QString::fromStdString(listed.second);
          SetStatus(why.isEmpty() ? QString("The network adapters cannot be listed.")
                                  : QString("The network adapters cannot be listed: %1.").arg(why));
        } else if (listed.first == 0) {
          SetStatus("No network adapter found.");
        } else {
          SetStatus("Choose an adapter to discover its switches.");
        }
        summary_ = StatusText();
      });
}

void MainWindow::SelectAdapter(int index) {
  if (index < 0 || index >= jobs_.View().adapterCount) return;
  // A discovery that waits or runs is of no more use: this one replaces it.
  const int generation = ++discoveryGeneration_;
  discovery_->Cancel();
  {
    const QSignalBlocker block(adapters_);
    adapters_->setCurrentIndex(index);
  }
  {
    const QSignalBlocker block(switches_);
    switches_->clear();
  }
  // The shown page goes (its work with it): every page waits for the new switch table.
  if (PageHost* host = CurrentHost()) host->DestroyWindow();
  discovering_ = true;
  jobs_.SetDiscovering(true);
  jobs_.SetCurrentSwitch(-1);
  SetControlsForDiscovery(true);
  const QString name = QString::fromStdString(jobs_.View().AdapterDescription(index));
  SetStatus(QString("Discovering on %1...").arg(name));
  UpdateLiveWindows();

  JobSlot::Options options;
  options.deliverCancelled = true;
  options.ended = [this, generation, index](const JobEnd& end) {
    if (!end.ran) Discovered(generation, index, nullptr, true);
  };
  discovery_->Run(
      QString("Discovering on %1...").arg(name),
      [index](JobControl& job) {
        Engine& engine = job.engine;
        job.ProgressOverTime(DiscoveryListeningMs(QFileInfo(QString::fromStdString(engine.DatabasePath())).size()));
        Discovery found;
        found.result = engine.DiscoverSwitches(index, true);
        if (engine.SwitchCount() > 0) engine.SetCurrentSwitchIndex(0);
        found.warnings = engine.DiscoveryWarnings();
        found.adapterError = engine.LastAdapterError();
        return found;
      },
      [this, generation, index](const Discovery& found) {
        Discovered(generation, index, &found, discovery_->LastEnd().cancelled);
      },
      std::move(options));
}

void MainWindow::Discovered(int generation, int adapter, const Discovery* found, bool cancelled) {
  // A discovery replaced by a newer one says nothing.
  if (generation != discoveryGeneration_) return;
  discovering_ = false;
  jobs_.SetDiscovering(false);
  SetControlsForDiscovery(false);
  const EngineView& view = jobs_.View();
  if (!found) {
    // Cancelled before it began: the engine still has the last table, with no switch chosen.
    jobs_.SetCurrentSwitch(-1);
    jobs_.Run(this, [](JobControl& job) { job.engine.SetCurrentSwitchIndex(-1); }, [](bool, const JobEnd&) {});
  } else {
    jobs_.SetCurrentSwitch(view.SwitchCount() > 0 ? 0 : -1);
  }
  {
    const QSignalBlocker block(adapters_);
    adapters_->setCurrentIndex(found ? adapter : view.currentAdapter);
  }
  {
    const QSignalBlocker block(switches_);
    switches_->clear();
    for (int i = 0; i < view.SwitchCount(); ++i) switches_->insertItem(i, SwitchSelectorText(*view.Record(i)));
    switches_->setCurrentIndex(view.currentSwitch);
  }
  if (found) {
    ReportDiscovery(adapter, *found, cancelled);
  } else {
    noReply_ = false;
    summary_ = "Discovery cancelled.";
    SetStatus(summary_);
  }
  ShowGroup(0);
  UpdateLiveWindows();
}

void MainWindow::SetControlsForDiscovery(bool discovering) {
  // The adapter selector stays: choosing again starts over. There is no switch to choose.
  switches_->setEnabled(!discovering);
  groups_->setEnabled(!discovering);
}

void MainWindow::NoteRead(const Mac& mac, bool ok) {
  if (!ok) {
    noReply_ = true;
    SetStatus(QString("No reply from %1: check the cable or the key").arg(QString::fromStdString(FormatMac(mac))));
  } else if (noReply_) {
    noReply_ = false;
    SetStatus(summary_);
  }
}

void MainWindow::UpdateLiveWindows() {
  if (map_) map_->Rebuild();
  if (traffic_) traffic_->SwitchChanged();
}

bool MainWindow::RefreshCurrentPage() {
  PageHost* host = CurrentHost();
  Page* page = host ? host->CurrentPage() : nullptr;
  QWidget* window = page ? page->Window() : nullptr;
  if (!window || page->Busy()) return false;
  for (QPushButton* b : window->findChildren<QPushButton*>()) {
    if (QString(b->text()).remove('&') != "Refresh" || b->isHidden() || !b->isEnabled()) continue;
    b->click();
    return true;
  }
  return false;
}

TrafficWindow* MainWindow::Traffic() const { return traffic_; }
NetworkMapWindow* MainWindow::NetworkMap() const { return map_; }

TrafficWindow* MainWindow::ShowTraffic() {
  if (!traffic_) traffic_ = new TrafficWindow(liveContext_, jobs_, this);
  traffic_->show();
  traffic_->raise();
  return traffic_;
}

NetworkMapWindow* MainWindow::ShowNetworkMap() {
  if (!map_) map_ = new NetworkMapWindow(jobs_, [this](int index) { SelectSwitch(index); }, this);
  map_->Rebuild();
  map_->show();
  map_->raise();
  return map_;
}

void MainWindow::SelectSwitch(int index) {
  if (discovering_ || index < 0 || index >= jobs_.View().SwitchCount()) return;
  {
    const QSignalBlocker block(switches_);
    switches_->setCurrentIndex(index);
  }
  // The engine follows before the new page's first read, which is sent after this.
  jobs_.SetCurrentSwitch(index);
  jobs_.Run(this, [index](JobControl& job) { job.engine.SetCurrentSwitchIndex(index); }, [](bool, const JobEnd&) {});
  // Another switch: whether it answers is for its own reads to say.
  if (noReply_) {
    noReply_ = false;
    SetStatus(summary_);
  }
  ShowGroup(0);
  UpdateLiveWindows();
}

void MainWindow::ShowGroup(int group) {
  if (discovering_ || group < 0 || group >= PageSet::kGroupCount) return;
  if (PageHost* old = CurrentHost()) old->DestroyWindow();
  PageHost& host = pages_.Host(group);
  QWidget* slot = groupSlots_[group];
  slot->layout()->addWidget(host.CreateWindow(slot));
  currentGroup_ = group;
  {
    const QSignalBlocker block(groups_);
    groups_->setCurrentIndex(group);
  }
  update();
}

PageHost* MainWindow::CurrentHost() const {
  if (currentGroup_ < 0) return nullptr;
  return &pages_.Host(currentGroup_);
}

void MainWindow::ShowAbout() {
  AboutDialog about(this);
  about.exec();
}

void MainWindow::ReportDiscovery(int adapter, const Discovery& found, bool cancelled) {
  const QString name = QString::fromStdString(jobs_.View().AdapterDescription(adapter));
  noReply_ = false;
  if (found.result < 0) {
    const QString why = QString::fromStdString(found.adapterError);
    summary_ = why.isEmpty() ? QString("%1 could not be opened.").arg(name)
                             : QString("%1 could not be opened: %2.").arg(name, why);
  } else {
    const int count = jobs_.View().SwitchCount();
    const QString switches = QString("%1 %2").arg(count).arg(count == 1 ? "switch" : "switches");
    if (cancelled) {
      summary_ = QString("Discovery cancelled: %1 found on %2.").arg(count == 0 ? QString("no switch") : switches, name);
    } else {
      summary_ = count == 0 ? QString("No switch answered on %1.").arg(name) : QString("%1 found on %2.").arg(switches, name);
    }
    // What discovery could not do right (a model it could not tell, a full table) follows, on
    // lines of their own so that none is cut off.
    for (const std::string& warning : found.warnings) {
      QString w = QString::fromStdString(warning);
      if (!w.isEmpty()) w[0] = w[0].toUpper();
      summary_ += "\n" + w + ".";
    }
  }
  SetStatus(summary_);
}

void StatusBarLabel::Fit() {
  const int needed = heightForWidth(width());
  if (needed > 0 && needed != minimumHeight()) setMinimumHeight(needed);
}

void StatusBarLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Fit();
}

void MainWindow::SetStatus(const QString& text) {
  status_->setText(text);
  status_->Fit();
}

QString MainWindow::StatusText() const { return status_->text(); }

}  // namespace brisfell
