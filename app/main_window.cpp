#include "app/main_window.h"

#include <QHBoxLayout>
#include <algorithm>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>

#include "app/about_dialog.h"
#include "app/artwork.h"
#include "app/tools_menu.h"

namespace brisfell {

namespace {
const char* const kGroupNames[PageSet::kGroupCount] = {"Status", "Configuration", "Security", "System"};
}  // namespace

QString SwitchSelectorText(const Engine& engine, int index) {
  Mac mac{};
  if (!engine.GetSwitchMac(index, mac)) return {};
  return QString::fromStdString(Format("%02X:%02X:%02X:%02X:%02X:%02X (%s)", mac[0], mac[1], mac[2], mac[3], mac[4],
                                       mac[5], engine.ModelName(index).c_str()));
}

MainWindow::MainWindow(Engine& engine, Prompt& prompt, PageSet& pages, QWidget* parent)
    : QMainWindow(parent), engine_(engine), prompt_(prompt), pages_(pages) {
  setWindowTitle(kMainWindowCaption);
  setWindowIcon(ApplicationIcon());
  setObjectName("MainWindow");
  // The switch database's message is the engine's only one.
  engine_.SetErrorNotifier([this](const std::string& message) {
    prompt_.Message(kApplicationTitle, message, PromptIcon::Error);
  });
  BuildControls();
  AddToolsMenu(*this, engine_, prompt_);
  FillAdapterSelector();
  ShowGroup(0);
}

MainWindow::~MainWindow() {
  engine_.SetErrorNotifier(nullptr);
  // The hosts outlive this window; they must not keep pointers into it.
  if (PageHost* host = CurrentHost()) host->DestroyWindow();
}

void MainWindow::BuildControls() {
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

  status_ = new QLabel(this);
  status_->setObjectName("adapterStatus");
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
}

void MainWindow::SelectAdapter(int index) {
  if (index < 0 || index >= engine_.AdapterCount()) return;
  {
    const QSignalBlocker block(adapters_);
    adapters_->setCurrentIndex(index);
  }
  const QSignalBlocker block(switches_);
  switches_->clear();
  int result = -1;
  {
    const BusyCursor busy;
    result = engine_.DiscoverSwitches(index, true);
  }
  for (int i = 0; i < engine_.SwitchCount(); ++i) switches_->insertItem(i, SwitchSelectorText(engine_, i));
  if (engine_.SwitchCount() > 0) {
    switches_->setCurrentIndex(0);
    engine_.SetCurrentSwitchIndex(0);
  } else {
    switches_->setCurrentIndex(-1);
  }
  ReportDiscovery(index, result);
  ShowGroup(0);
}

void MainWindow::SelectSwitch(int index) {
  if (index < 0 || index >= engine_.SwitchCount()) return;
  {
    const QSignalBlocker block(switches_);
    switches_->setCurrentIndex(index);
  }
  engine_.SetCurrentSwitchIndex(index);
  ShowGroup(0);
}

void MainWindow::ShowGroup(int group) {
  if (group < 0 || group >= PageSet::kGroupCount) return;
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
  if (result < 0) {
    const QString why = QString::fromStdString(engine_.LastAdapterError());
    SetStatus(why.isEmpty() ? QString("%1 could not be opened.").arg(name)
                            : QString("%1 could not be opened: %2.").arg(name, why));
    return;
  }
  const int found = engine_.SwitchCount();
  if (found == 0) {
    SetStatus(QString("No switch answered on %1.").arg(name));
  } else {
    SetStatus(QString("%1 %2 found on %3.").arg(found).arg(found == 1 ? "switch" : "switches").arg(name));
  }
}

void MainWindow::SetStatus(const QString& text) { status_->setText(text); }

QString MainWindow::StatusText() const { return status_->text(); }

}  // namespace brisfell
