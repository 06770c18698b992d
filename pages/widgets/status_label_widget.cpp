#include "pages/widgets/status_label_widget.h"

#include <QPalette>

namespace brisfell {

StatusLabel::StatusLabel(const QString& name, QWidget* parent) : QLabel(parent) {
  setObjectName(name);
  setAutoFillBackground(true);
  setMargin(2);
  SetOn(false);
}

void StatusLabel::SetOn(bool on) {
  on_ = on;
  setText(on ? "Enable" : "Disable");
  QPalette p = palette();
  p.setColor(QPalette::Window, p.color(QPalette::Button));
  p.setColor(QPalette::WindowText, on ? QColor(0, 0, 0) : QColor(255, 0, 0));
  setPalette(p);
  // The new colour shows at once, not at the next paint the window happens to get.
  if (isVisible()) repaint();
}

QColor StatusLabel::TextColour() const { return palette().color(QPalette::WindowText); }
QColor StatusLabel::BackgroundColour() const { return palette().color(QPalette::Window); }

}  // namespace brisfell
