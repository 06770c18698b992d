// The controls every form and dialog of the pages is made of: a radio pair that can hold no
// choice, the 26 port check boxes with All and None, choice lists, read-only texts, and the
// OK/Cancel row. Object names follow the captions so tests can find the controls.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDialog>
#include <QBoxLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <functional>

#include "engine/types.h"
#include "pages/common/page_context.h"

namespace brisfell {

// Two radio buttons in a captioned group; its value is 0 (first), 1 (second) or -1 (neither,
// the state before the first successful read).
class RadioPairBox : public QGroupBox {
 public:
  RadioPairBox(const QString& title, const QString& first, const QString& second, const QString& name,
               QWidget* parent);
  int Value() const;
  void SetValue(int value);
  QRadioButton* First() const { return first_; }
  QRadioButton* Second() const { return second_; }

 private:
  QButtonGroup* group_;
  QRadioButton* first_;
  QRadioButton* second_;
};

// The 26 port check boxes "port1" to "port24", "G1", "G2" in a captioned group, box p standing
// for shown position p; the boxes from the switch's port count on are hidden. Optionally with
// "All" and "None" (which tick or untick the shown boxes), or read only.
class PortBoxes : public QGroupBox {
 public:
  enum Mode { kWithAllNone, kPlain, kReadOnly };
  PortBoxes(const QString& title, int portCount, Mode mode, QWidget* parent, const QString& namePrefix = {});

  int PortCount() const { return portCount_; }
  void SetPortCount(int portCount);
  // Shown positions ticked, bit p for box p (hidden boxes count as unticked).
  uint32_t Ticked() const;
  void SetTicked(uint32_t positions);
  // Ticks or unticks the shown boxes, as "All" and "None" do.
  void TickAll(bool ticked);
  QCheckBox* Box(int position) const { return boxes_[static_cast<size_t>(position)]; }
  QPushButton* AllButton() const { return all_; }
  QPushButton* NoneButton() const { return none_; }
  // Called after "All" or "None" was pressed.
  void OnAllNone(std::function<void()> callback) { onAllNone_ = std::move(callback); }

 private:
  int portCount_;
  std::array<QCheckBox*, kMaxChipPorts> boxes_{};
  QPushButton* all_ = nullptr;
  QPushButton* none_ = nullptr;
  std::function<void()> onAllNone_;
};

// A drop-down list with fixed entries; `index` -1 selects nothing.
QComboBox* MakeChoiceList(QWidget* parent, const char* name, const char* const* texts, int count, int index);
QLineEdit* MakeReadOnlyLine(QWidget* parent, const char* name);
QPlainTextEdit* MakeReadOnlyText(QWidget* parent, const char* name);
// "OK" and "Cancel" at the bottom of a dialog, wired to accept and reject.
QDialogButtonBox* AddOkCancel(QDialog* dialog, QLayout* layout);
QPushButton* MakeButton(const QString& text, const char* name, QWidget* parent);
// "Refresh" and "Update" at the right of a row added to the bottom of a page's `layout`.
struct RefreshUpdateButtons {
  QPushButton* refresh = nullptr;
  QPushButton* update = nullptr;
};
RefreshUpdateButtons AddRefreshUpdateRow(QBoxLayout* layout, QWidget* parent);

}  // namespace brisfell
