#include "pages/common/page.h"

#include <QApplication>
#include <QVBoxLayout>
#include <optional>

namespace brisfell {

Page::Page(PageContext& context, QString caption) : context_(context), caption_(std::move(caption)) {}

Page::~Page() { DestroyWindow(); }

QWidget* Page::CreateWindow(QWidget* parent) {
  DestroyWindow();
  window_ = new QWidget(parent);
  window_->setObjectName(caption_);
  ++windowsCreated_;
  BuildControls(window_);
  {
    // Initialising reads the switch, which blocks until the replies or the time-outs.
    std::optional<BusyCursor> busy;
    if (Ready()) busy.emplace();
    Initialise();
  }
  return window_;
}

void Page::DestroyWindow() {
  if (window_) {
    delete window_.data();
    window_ = nullptr;
  }
}

BusyCursor::BusyCursor() {
  if (qApp) QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor() {
  if (qApp) QApplication::restoreOverrideCursor();
}

}  // namespace brisfell
