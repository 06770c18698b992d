#include "app/main_window.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <mutex>

#include "app/about_dialog.h"
#include "app/artwork.h"
#include "app/network_map_window.h"
#include "app/traffic_window.h"
#include "app/tools_menu.h"

namespace brisfell {

namespace {
const char* const kGroupNames[PageSet::kGroupCount] = {"Status", "Configuration", "Security", "System"};
constexpr int kProgressTickMs = 50;
}  // namespace

int DiscoveryListeningMs(qint64 databaseBytes) {
  const qint64 records = std::clamp<qint64>(databaseBytes / 8, 0, kMaxDatabaseRecords);
  return static_cast<int>(records) * kDirectedHelloWindowMs + kBroadcastHelloWindowMs;
}

QString SwitchSelectorText(const Engine& engine, int index) {
  Mac mac{};
  if (!engine.GetSwitchMac(index, mac)) return {};
  return QString::fromStdString(Format("%02X:%02X:%02X:%02X:%02X:%02X (%s)", mac[0], mac[1], mac[2], mac[3], mac[4],
                                       mac[5], engine.ModelName(index).c_str()));
}

MainWindow::MainWindow(Engine& engine, Prompt& prompt, PageSet& pages, QWidget* parent)
    : QMainWindow(parent), engine_(engine), prompt_(prompt), pages_(pages), liveContext_{engine, prompt} {
  setWindowTitle(kMainWindowCaption);
  setWindowIcon(ApplicationIcon());
  setObjectName("MainWindow");
  // The switch database's message is the engine's only one.
  engine_.SetErrorNotifier([this](const std::string& message) {
    prompt_.Message(kApplicationTitle, message, PromptIcon::Error);
  });
  engine_.SetReadObserver([this](int switchIndex, bool ok) { NoteRead(switchIndex, ok); });
  BuildControls();
  AddToolsMenu(*this, engine_, prompt_);
  FillAdapterSelector();
  ShowGroup(0);
}

MainWindow::~MainWindow() {
  engine_.SetErrorNotifier(nullptr);
  engine_.SetReadObserver(nullptr);
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

  status_ = new StatusBarLabel(this);
  status_->setObjectName("adapterStatus");
  // Shown whole however long (the permission message ends in the command that mends it), and
  // selectable, so that the command can be copied.
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  status_->setContentsMargins(8, 2, 8, 2);
  statusBar()->addWidget(status_, 1);
  progress_ = new QProgressBar(this);
  progress_->setObjectName("discoveryProgress");
  progress_->setTextVisible(false);
  progress_->setMaximumWidth(180);
  progress_->hide();
  statusBar()->addPermanentWidget(progress_);
  statusBar()->setSizeGripEnabled(true);
  progressTimer_ = new QTimer(this);
  connect(progressTimer_, &QTimer::timeout, this, &MainWindow::UpdateProgress);

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
  const int count = engine_.EnumerateAdapters();
  const QSignalBlocker block(adapters_);
  adapters_->clear();
  for (int i = 0; i < count; ++i) adapters_->addItem(QString::fromStdString(engine_.AdapterDescription(i)));
  adapters_->setCurrentIndex(-1);  // nothing is discovered until the operator picks one
  if (count < 0) {
    const std::string why = engine_.Driver().LastError();
    SetStatus(why.empty() ? QString("The network adapters cannot be listed.")
                          : QString("The network adapters cannot be listed: %1.").arg(QString::fromStdString(why)));
  } else if (count == 0) {
    SetStatus("No network adapter found.");
  } else {
    SetStatus("Choose an adapter to discover its switches.");
  }
  summary_ = StatusText();
}

void MainWindow::SelectAdapter(int index) {
  if (discovering_ || index < 0 || index >= engine_.AdapterCount()) return;
  {
    const QSignalBlocker block(adapters_);
    adapters_->setCurrentIndex(index);
  }
  {
    const QSignalBlocker block(switches_);
    switches_->clear();
  }
  const int result = RunDiscovery(index);
  {
    const QSignalBlocker block(switches_);
    for (int i = 0; i < engine_.SwitchCount(); ++i) switches_->insertItem(i, SwitchSelectorText(engine_, i));
    if (engine_.SwitchCount() > 0) {
      switches_->setCurrentIndex(0);
      engine_.SetCurrentSwitchIndex(0);
    } else {
      switches_->setCurrentIndex(-1);
    }
  }
  ReportDiscovery(index, result);
  ShowGroup(0);
  UpdateLiveWindows();
}

int MainWindow::RunDiscovery(int adapter) {
  discovering_ = true;
  SetControlsForDiscovery(true);
  SetStatus(QString("Discovering on %1...").arg(QString::fromStdString(engine_.AdapterDescription(adapter))));
  listeningMs_ = DiscoveryListeningMs(QFileInfo(QString::fromStdString(engine_.DatabasePath())).size());
  progress_->setRange(0, listeningMs_);
  progress_->setValue(0);
  progress_->show();
  discoveryClock_.start();
  progressTimer_->start(kProgressTickMs);

  int result = -1;
  {
    const BusyCursor busy;
    // The worker thread has the engine to itself: nothing here reads or writes it (the
    // selectors, the pages and the live windows are disabled) until the thread has ended. The
    // database's message is kept for this thread to show.
    std::mutex mutex;
    std::vector<std::string> messages;
    engine_.SetErrorNotifier([&](const std::string& message) {
      const std::lock_guard<std::mutex> lock(mutex);
      messages.push_back(message);
    });
    engine_.SetReadObserver(nullptr);
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create([&] { result = engine_.DiscoverSwitches(adapter, true); }));
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    // The loop also ends when the application quits; the engine is ours only once the worker is.
    worker->wait();
    engine_.SetErrorNotifier([this](const std::string& message) {
      prompt_.Message(kApplicationTitle, message, PromptIcon::Error);
    });
    engine_.SetReadObserver([this](int switchIndex, bool ok) { NoteRead(switchIndex, ok); });
    progressTimer_->stop();
    progress_->hide();
    discovering_ = false;
    SetControlsForDiscovery(false);
    for (const std::string& message : messages) prompt_.Message(kApplicationTitle, message, PromptIcon::Error);
  }
  return result;
}

void MainWindow::SetControlsForDiscovery(bool discovering) {
  for (QWidget* w : {static_cast<QWidget*>(adapters_), static_cast<QWidget*>(switches_), static_cast<QWidget*>(groups_)})
    w->setEnabled(!discovering);
  for (QAction* a : {refresh_, trafficAction_, mapAction_}) a->setEnabled(!discovering);
  if (traffic_) traffic_->setEnabled(!discovering);
  if (map_) map_->setEnabled(!discovering);
}

void MainWindow::UpdateProgress() {
  const qint64 elapsed = discoveryClock_.elapsed();
  if (elapsed < listeningMs_) {
    progress_->setValue(static_cast<int>(elapsed));
  } else if (progress_->maximum() != 0) {
    // Listening is over; the EEPROM look-ups that may follow have no length known in advance.
    progress_->setRange(0, 0);
  }
}

void MainWindow::NoteRead(int switchIndex, bool ok) {
  if (!ok) {
    Mac mac{};
    if (!engine_.GetSwitchMac(switchIndex, mac)) return;
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
  if (discovering_) return false;
  PageHost* host = CurrentHost();
  Page* page = host ? host->CurrentPage() : nullptr;
  QWidget* window = page ? page->Window() : nullptr;
  if (!window) return false;
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
  if (discovering_) return nullptr;
  if (!traffic_) traffic_ = new TrafficWindow(liveContext_, this);
  traffic_->show();
  traffic_->raise();
  return traffic_;
}

NetworkMapWindow* MainWindow::ShowNetworkMap() {
  if (discovering_) return nullptr;
  if (!map_) map_ = new NetworkMapWindow(engine_, [this](int index) { SelectSwitch(index); }, this);
  map_->Rebuild();
  map_->show();
  map_->raise();
  return map_;
}

void MainWindow::SelectSwitch(int index) {
  if (discovering_ || index < 0 || index >= engine_.SwitchCount()) return;
  {
    const QSignalBlocker block(switches_);
    switches_->setCurrentIndex(index);
  }
  engine_.SetCurrentSwitchIndex(index);
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

void MainWindow::ReportDiscovery(int adapter, int result) {
  const QString name = QString::fromStdString(engine_.AdapterDescription(adapter));
  noReply_ = false;
  if (result < 0) {
    const QString why = QString::fromStdString(engine_.LastAdapterError());
    summary_ = why.isEmpty() ? QString("%1 could not be opened.").arg(name)
                             : QString("%1 could not be opened: %2.").arg(name, why);
  } else {
    const int found = engine_.SwitchCount();
    summary_ = found == 0 ? QString("No switch answered on %1.").arg(name)
                          : QString("%1 %2 found on %3.").arg(found).arg(found == 1 ? "switch" : "switches").arg(name);
    // What discovery could not do right (a model it could not tell, a full table) follows, on
    // lines of their own so that none is cut off.
    for (const std::string& warning : engine_.DiscoveryWarnings()) {
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
