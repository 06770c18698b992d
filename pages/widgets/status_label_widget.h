// A label that shows whether a switch function is on: "Enable" in black or "Disable" in red,
// on the button-face colour so that it reads as a status rather than as a caption.
#pragma once

#include <QLabel>

namespace brisfell {

class StatusLabel : public QLabel {
 public:
  // Starts as "Disable".
  StatusLabel(const QString& name, QWidget* parent);

  // "Enable" or "Disable", with its colour; redrawn at once.
  void SetOn(bool on);
  bool On() const { return on_; }
  QColor TextColour() const;
  QColor BackgroundColour() const;

 private:
  bool on_ = false;
};

}  // namespace brisfell
