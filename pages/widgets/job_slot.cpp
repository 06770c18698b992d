#include "pages/widgets/job_slot.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace brisfell {

// ---------------------------------------------------------------- the panel

BusyPanel::BusyPanel(QWidget* parent, QWidget* area) : QWidget(parent), area_(area) {
  setObjectName("busyPanel");
  auto* outer = new QVBoxLayout(this);
  auto* box = new QFrame(this);
  box->setObjectName("busyBox");
  box->setFrameShape(QFrame::StyledPanel);
  box->setAutoFillBackground(true);
  auto* inner = new QVBoxLayout(box);
  inner->setContentsMargins(18, 12, 18, 12);
  title_ = new QLabel(box);
  title_->setObjectName("busyTitle");
  title_->setAlignment(Qt::AlignCenter);
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  bar_ = new QProgressBar(box);
  bar_->setObjectName("busyProgress");
  bar_->setTextVisible(false);
  bar_->setMinimumWidth(260);
  detail_ = new QLabel(box);
  detail_->setObjectName("busyDetail");
  detail_->setAlignment(Qt::AlignCenter);
  cancel_ = new QPushButton("Cancel", box);
  cancel_->setObjectName("busyCancel");
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(cancel_);
  row->addStretch();
  inner->addWidget(title_);
  inner->addWidget(bar_);
  inner->addWidget(detail_);
  inner->addLayout(row);
  outer->addStretch();
  auto* middle = new QHBoxLayout;
  middle->addStretch();
  middle->addWidget(box);
  middle->addStretch();
  outer->addLayout(middle);
  outer->addStretch();

  // The area moves with every widget between it and the panel's parent.
  for (QWidget* w = area; w && w != parent; w = w->parentWidget()) w->installEventFilter(this);
  hide();
}

void BusyPanel::ShowState(const QString& doing, const QString& detail, int done, int total) {
  title_->setText(doing);
  detail_->setText(detail);
  if (total > 0) {
    bar_->setRange(0, total);
    bar_->setValue(std::min(done, total));
  } else {
    bar_->setRange(0, 0);  // a busy indicator: how much is left is not known
  }
  cancel_->setEnabled(true);
  FollowArea();
  if (isHidden()) show();
  raise();
}

void BusyPanel::SetCancelling() {
  detail_->setText("Cancelling...");
  cancel_->setEnabled(false);
}

void BusyPanel::FollowArea() {
  QWidget* parent = parentWidget();
  if (!parent) return;
  if (!area_ || area_ == parent) {
    setGeometry(parent->rect());
    return;
  }
  setGeometry(QRect(area_->mapTo(parent, QPoint(0, 0)), area_->size()));
}

bool BusyPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize || event->type() == QEvent::Move || event->type() == QEvent::Show)
    FollowArea();
  return QWidget::eventFilter(watched, event);
}

void BusyPanel::paintEvent(QPaintEvent*) {
  // The results beneath stay visible, faded, so the operator keeps his bearings.
  QPainter painter(this);
  QColor veil = palette().color(QPalette::Window);
  veil.setAlpha(190);
  painter.fillRect(rect(), veil);
}

// ---------------------------------------------------------------- the slot

JobSlot::JobSlot(EngineJobs& jobs, QWidget* owner, QWidget* area, std::vector<QWidget*> controls)
    : QObject(owner), jobs_(jobs), owner_(owner), controls_(controls.begin(), controls.end()) {
  setObjectName("jobSlot");
  panel_ = new BusyPanel(owner, area ? area : owner);
  connect(panel_->CancelButton(), &QPushButton::clicked, this, [this] { Cancel(); });
  delay_ = new QTimer(this);
  delay_->setSingleShot(true);
  delay_->setInterval(kAutomaticPanelDelayMs);
  connect(delay_, &QTimer::timeout, this, [this] { UpdateLook(); });
}

JobSlot::~JobSlot() {
  for (const auto& [id, entry] : entries_) jobs_.Cancel(id);
}

void JobSlot::Cancel() {
  if (entries_.empty()) return;
  for (auto& [id, entry] : entries_) {
    entry.cancelled = true;
    jobs_.Cancel(id);
  }
  UpdateLook();
}

void JobSlot::Queued(EngineJobs::Id id, const QString& doing, bool automatic) {
  Entry entry;
  entry.doing = doing;
  entry.automatic = automatic;
  if (entries_.empty() && automatic) delay_->start();
  entries_[id] = entry;
  UpdateLook();
}

void JobSlot::Started(EngineJobs::Id id) {
  auto it = entries_.find(id);
  if (it == entries_.end()) return;
  it->second.running = true;
  UpdateLook();
}

void JobSlot::Progress(EngineJobs::Id id, int done, int total) {
  auto it = entries_.find(id);
  if (it == entries_.end()) return;
  it->second.done = done;
  it->second.total = total;
  UpdateLook();
}

void JobSlot::Ended(EngineJobs::Id id, const JobEnd& end) {
  entries_.erase(id);
  lastEnd_ = end;
  UpdateLook();
  if (ended_) ended_(end);
}

void JobSlot::UpdateLook() {
  // The job to show: one not cancelled before one that is, a running one before a waiting one.
  const Entry* shown = nullptr;
  bool onlyAutomatic = true;
  auto rank = [](const Entry& e) { return (e.cancelled ? 0 : 2) + (e.running ? 1 : 0); };
  for (const auto& [id, entry] : entries_) {
    if (!entry.automatic) onlyAutomatic = false;
    if (!shown || rank(entry) > rank(*shown)) shown = &entry;
  }
  // An automatic job shows only once it has taken a while.
  const bool visible = shown && !(onlyAutomatic && delay_->isActive());
  for (const QPointer<QWidget>& control : controls_)
    if (control) control->setEnabled(!visible);
  if (!visible) {
    panel_->hide();
    return;
  }
  QString detail;
  if (!shown->running) {
    detail = "Waiting for the switch: another action is using the adapter...";
  } else if (shown->total == 0 && shown->done > 0) {
    detail = QString("%1 %2 so far").arg(shown->done).arg(shown->done == 1 ? "read" : "reads");
  }
  panel_->ShowState(shown->doing, detail, shown->running ? shown->done : 0, shown->running ? shown->total : 0);
  if (shown->cancelled) panel_->SetCancelling();
}

}  // namespace brisfell
