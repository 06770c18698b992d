#include "pages/status/auto_refresh_widget.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QScrollBar>

namespace brisfell {

AutoRefreshWidget::AutoRefreshWidget(std::function<bool()> refresh, QWidget* parent)
    : QWidget(parent), refresh_(std::move(refresh)) {
  setObjectName("autoRefresh");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  box_ = new QCheckBox("Auto refresh", this);
  box_->setObjectName("autoRefreshBox");
  interval_ = new QComboBox(this);
  interval_->setObjectName("autoRefreshInterval");
  for (int s : kIntervalsS) interval_->addItem(QString("%1 s").arg(s), s);
  interval_->setCurrentIndex(1);
  layout->addWidget(box_);
  layout->addWidget(interval_);
  timer_ = new QTimer(this);
  timer_->setObjectName("autoRefreshTimer");

  QObject::connect(timer_, &QTimer::timeout, this, [this] { Tick(); });
  QObject::connect(box_, &QCheckBox::toggled, this, [this](bool on) {
    if (on) {
      timer_->start(IntervalMs());
    } else {
      timer_->stop();
    }
    if (toggled_) toggled_(on);
  });
  QObject::connect(interval_, &QComboBox::currentIndexChanged, this, [this] {
    if (timer_->isActive()) timer_->start(IntervalMs());
  });
}

int AutoRefreshWidget::IntervalMs() const { return interval_->currentData().toInt() * 1000; }

bool AutoRefreshWidget::Tick() {
  if (!Running() || !isEnabled() || QApplication::activeModalWidget()) return false;
  return refresh_();
}

ListPlace::ListPlace(QTreeWidget* list) : list_(list) {
  scroll_ = list->verticalScrollBar()->value();
  const auto selected = list->selectedItems();
  row_ = selected.isEmpty() ? -1 : list->indexOfTopLevelItem(selected.first());
}

void ListPlace::Restore() const {
  if (row_ >= 0 && row_ < list_->topLevelItemCount()) list_->topLevelItem(row_)->setSelected(true);
  list_->verticalScrollBar()->setValue(scroll_);
}

}  // namespace brisfell
