#include "pages/common/page.h"

#include <QVBoxLayout>

namespace brisfell {

Page::Page(PageContext& context, EngineJobs& jobs, QString caption)
    : context_(context), jobs_(jobs), caption_(std::move(caption)) {}

Page::~Page() { DestroyWindow(); }

QWidget* Page::CreateWindow(QWidget* parent) {
  DestroyWindow();
  window_ = new QWidget(parent);
  window_->setObjectName(caption_);
  ++windowsCreated_;
  auto* layout = new QVBoxLayout(window_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  notice_ = new QLabel(window_);
  notice_->setObjectName("pageNotice");
  notice_->setWordWrap(true);
  notice_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  notice_->setStyleSheet("QLabel#pageNotice { background: #fdf0d5; color: #5a3a00; border: 1px solid #e2b04a;"
                         " border-radius: 3px; padding: 4px 8px; }");
  notice_->hide();
  layout->addWidget(notice_);
  auto* content = new QWidget(window_);
  content->setObjectName("pageContent");
  layout->addWidget(content, 1);
  BuildControls(content);
  QWidget* results = ResultsArea();
  slot_ = new JobSlot(jobs_, window_, results ? results : content, {content});
  slot_->OnEnded([this](const JobEnd& end) {
    if (end.cancelled) ShowNotice(end.ran ? "Cancelled: what is shown may be incomplete." : "Cancelled.");
  });
  Initialise();
  return window_;
}

void Page::DestroyWindow() {
  // Its jobs go with it (cancelled, their results dropped).
  if (window_) {
    delete window_.data();
    window_ = nullptr;
  }
}

void Page::Cancel() {
  if (slot_) slot_->Cancel();
}

QString Page::NoticeText() const { return notice_ && !notice_->isHidden() ? notice_->text() : QString(); }

void Page::ShowNotice(const QString& text) {
  if (!notice_) return;
  notice_->setText(text);
  notice_->show();
}

void Page::ClearNotice() {
  if (!notice_) return;
  notice_->clear();
  notice_->hide();
}

void Page::ShowFailure(const QString& action, const std::string& detail) {
  const std::string& noReply = slot_ ? slot_->LastEnd().failure : std::string();
  QString text = action + " failed";
  if (!detail.empty()) {
    text += ": " + QString::fromStdString(detail);
    if (!noReply.empty()) text += " (" + QString::fromStdString(noReply) + ")";
  } else {
    text += ": " + QString::fromStdString(noReply.empty() ? "the switch did not answer" : noReply);
  }
  text += ".";
  ShowNotice(text);
  context_.Status(text.toStdString());
}

}  // namespace brisfell
