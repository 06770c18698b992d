// "Auto refresh" for the live pages: a check box and an interval (1, 2, 5 or 10 s), off when
// the page is created. While it is on, a timer starts the page's refresh; it belongs to the
// page's window, so leaving the page (which destroys the window) stops it. A tick while the
// previous refresh still runs is skipped, so refreshes never pile up behind a slow switch; a
// refresh that finds no answer turns it off (the page calls Stop).
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <functional>

namespace brisfell {

class AutoRefreshWidget : public QWidget {
 public:
  // `refresh` starts one refresh, or says (false) that the previous one still runs.
  AutoRefreshWidget(std::function<bool()> refresh, QWidget* parent);

  QCheckBox* Box() const { return box_; }
  QComboBox* Interval() const { return interval_; }
  QTimer* Timer() const { return timer_; }
  bool Running() const { return box_->isChecked(); }
  int IntervalMs() const;
  // Called when auto refresh is turned on or off (pages show rates only while it runs).
  void SetToggled(std::function<void(bool)> toggled) { toggled_ = std::move(toggled); }

  // What the timer does on each timeout: starts one refresh, unless auto refresh is off, the
  // page is disabled, a dialog is open, or the previous refresh still runs. True when a
  // refresh was started.
  bool Tick();
  // A refresh found no answer: auto refresh turns off.
  void Stop() { box_->setChecked(false); }

  static constexpr int kIntervalsS[] = {1, 2, 5, 10};

 private:
  std::function<bool()> refresh_;
  std::function<void(bool)> toggled_;
  QCheckBox* box_ = nullptr;
  QComboBox* interval_ = nullptr;
  QTimer* timer_ = nullptr;
};

// Keeps a list's scroll position and selected row across an automatic refresh, which empties
// and refills it: the operator's place in the list should not jump every second.
class ListPlace {
 public:
  explicit ListPlace(QTreeWidget* list);
  void Restore() const;

 private:
  QTreeWidget* list_;
  int scroll_ = 0;
  int row_ = -1;
};

}  // namespace brisfell
