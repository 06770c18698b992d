#include "app/page_host.h"

#include <QSignalBlocker>
#include <QTabBar>
#include <QVBoxLayout>
#include <stdexcept>

namespace brisfell {

PageHost::PageHost(QString name, std::vector<QString> tabCaptions)
    : name_(std::move(name)), captions_(std::move(tabCaptions)) {}

PageHost::~PageHost() { DestroyWindow(); }

void PageHost::AddPage(std::unique_ptr<Page> page) {
  if (pages_.size() >= captions_.size()) throw std::logic_error("more pages than tabs in " + name_.toStdString());
  pages_.push_back(std::move(page));
}

Page* PageHost::GetPage(int k) const {
  if (k < 0 || k >= PageCount()) return nullptr;
  return pages_[k].get();
}

QWidget* PageHost::CreateWindow(QWidget* parent) {
  DestroyWindow();
  window_ = new QWidget(parent);
  window_->setObjectName(name_);
  ++windowsCreated_;
  auto* layout = new QVBoxLayout(window_);
  layout->setContentsMargins(0, 0, 0, 0);
  tabs_ = new QTabWidget(window_);
  tabs_->setObjectName(name_ + "Tabs");
  tabs_->setUsesScrollButtons(true);
  layout->addWidget(tabs_);

  // Each tab holds an empty slot; only the selected one ever holds a page window.
  slots_.clear();
  for (const QString& caption : captions_) {
    auto* slot = new QWidget(tabs_);
    auto* slotLayout = new QVBoxLayout(slot);
    slotLayout->setContentsMargins(4, 4, 4, 4);
    tabs_->addTab(slot, caption);
    slots_.push_back(slot);
  }
  current_ = -1;
  ShowPage(0);
  if (FollowsTabSelection()) {
    // currentChanged only fires on a change: choosing the selected tab rebuilds nothing.
    QObject::connect(tabs_.data(), &QTabWidget::currentChanged, window_.data(), [this](int k) { ShowPage(k); });
  }
  return window_;
}

void PageHost::DestroyWindow() {
  if (Page* page = CurrentPage()) page->DestroyWindow();
  current_ = -1;
  if (window_) delete window_.data();
  window_ = nullptr;
  tabs_ = nullptr;
  slots_.clear();
}

void PageHost::ShowPage(int k) {
  if (!window_ || k < 0 || k >= TabCount() || k >= static_cast<int>(slots_.size())) return;
  if (Page* old = CurrentPage()) old->DestroyWindow();
  current_ = k;
  {
    const QSignalBlocker block(tabs_);
    tabs_->setCurrentIndex(k);
  }
  if (Page* page = GetPage(k)) {
    QWidget* slot = slots_[k];
    slot->layout()->addWidget(page->CreateWindow(slot));
  }
  window_->update();
}

int PageHost::TabBarWidthHint() const {
  QTabBar bar;
  for (const QString& caption : captions_) bar.addTab(caption);
  return bar.sizeHint().width();
}

StatusHost::StatusHost() : PageHost("StatusHost", {"Overview", "Port Status", "MIB Counter"}) {}

ConfigurationHost::ConfigurationHost()
    : PageHost("ConfigurationHost", {"Port Configuration", "Global Configuration", "QoS Configuration",
                                     "Vlan Configuration", "Vlan Control", "Tag Control", "Igmp Snooping"}) {}

SecurityHost::SecurityHost() : PageHost("SecurityHost", {"Device Security"}) {}

SystemHost::SystemHost() : PageHost("SystemHost", {"Fault Information", "Device Reset", "Configurations"}) {}

}  // namespace brisfell
