#include "pages/widgets/controls_widget.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

namespace brisfell {

RadioPairBox::RadioPairBox(const QString& title, const QString& first, const QString& second, const QString& name,
                           QWidget* parent)
    : QGroupBox(title, parent) {
  setObjectName(name);
  group_ = new QButtonGroup(this);
  first_ = new QRadioButton(first, this);
  first_->setObjectName(name + "First");
  second_ = new QRadioButton(second, this);
  second_->setObjectName(name + "Second");
  group_->addButton(first_, 0);
  group_->addButton(second_, 1);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(10, 2, 10, 4);
  row->addWidget(first_);
  row->addSpacing(24);
  row->addWidget(second_);
  row->addStretch();
}

int RadioPairBox::Value() const { return group_->checkedId(); }

void RadioPairBox::SetValue(int value) {
  if (value == 0 || value == 1) {
    (value == 0 ? first_ : second_)->setChecked(true);
    return;
  }
  // An exclusive group never lets go of its last choice by itself.
  group_->setExclusive(false);
  first_->setChecked(false);
  second_->setChecked(false);
  group_->setExclusive(true);
}

namespace {

constexpr int kBoxesPerRow = 8;

}  // namespace

PortBoxes::PortBoxes(const QString& title, int portCount, Mode mode, QWidget* parent, const QString& namePrefix)
    : QGroupBox(title, parent), portCount_(std::clamp(portCount, 0, kMaxChipPorts)) {
  setObjectName(namePrefix.isEmpty() ? QString("portBoxes") : namePrefix + "Ports");
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(2);
  for (int p = 0; p < kMaxChipPorts; ++p) {
    const QString label = p < 24 ? QString("port%1").arg(p + 1) : QString("G%1").arg(p - 23);
    auto* box = new QCheckBox(label, this);
    box->setObjectName(namePrefix + label);
    if (mode == kReadOnly) {
      // Shows what the switch reports; the operator cannot change it.
      box->setAttribute(Qt::WA_TransparentForMouseEvents);
      box->setFocusPolicy(Qt::NoFocus);
    }
    boxes_[static_cast<size_t>(p)] = box;
    grid->addWidget(box, p / kBoxesPerRow, p % kBoxesPerRow);
  }
  layout->addLayout(grid);
  if (mode == kWithAllNone) {
    all_ = MakeButton("All", namePrefix.isEmpty() ? "all" : (namePrefix + "All").toUtf8().constData(), this);
    none_ = MakeButton("None", namePrefix.isEmpty() ? "none" : (namePrefix + "None").toUtf8().constData(), this);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(all_);
    row->addWidget(none_);
    layout->addLayout(row);
    connect(all_, &QPushButton::clicked, this, [this] {
      TickAll(true);
      if (onAllNone_) onAllNone_();
    });
    connect(none_, &QPushButton::clicked, this, [this] {
      TickAll(false);
      if (onAllNone_) onAllNone_();
    });
  }
  SetPortCount(portCount_);
}

void PortBoxes::SetPortCount(int portCount) {
  portCount_ = std::clamp(portCount, 0, kMaxChipPorts);
  for (int p = 0; p < kMaxChipPorts; ++p) boxes_[static_cast<size_t>(p)]->setVisible(p < portCount_);
}

uint32_t PortBoxes::Ticked() const {
  uint32_t out = 0;
  for (int p = 0; p < portCount_; ++p)
    if (boxes_[static_cast<size_t>(p)]->isChecked()) out |= 1u << p;
  return out;
}

void PortBoxes::SetTicked(uint32_t positions) {
  for (int p = 0; p < kMaxChipPorts; ++p) boxes_[static_cast<size_t>(p)]->setChecked(p < portCount_ && ((positions >> p) & 1));
}

void PortBoxes::TickAll(bool ticked) {
  for (int p = 0; p < portCount_; ++p) boxes_[static_cast<size_t>(p)]->setChecked(ticked);
}

QComboBox* MakeChoiceList(QWidget* parent, const char* name, const char* const* texts, int count, int index) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  for (int i = 0; i < count; ++i) list->addItem(texts[i]);
  list->setCurrentIndex(index >= 0 && index < count ? index : -1);
  list->setMinimumContentsLength(20);
  return list;
}

QLineEdit* MakeReadOnlyLine(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setReadOnly(true);
  return edit;
}

QPlainTextEdit* MakeReadOnlyText(QWidget* parent, const char* name) {
  auto* edit = new QPlainTextEdit(parent);
  edit->setObjectName(name);
  edit->setReadOnly(true);
  return edit;
}

QDialogButtonBox* AddOkCancel(QDialog* dialog, QLayout* layout) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  buttons->button(QDialogButtonBox::Ok)->setText("OK");
  buttons->button(QDialogButtonBox::Cancel)->setText("Cancel");
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  layout->addWidget(buttons);
  return buttons;
}

QPushButton* MakeButton(const QString& text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  return button;
}

RefreshUpdateButtons AddRefreshUpdateRow(QBoxLayout* layout, QWidget* parent) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  const RefreshUpdateButtons buttons{MakeButton("Refresh", "refresh", parent), MakeButton("Update", "update", parent)};
  row->addWidget(buttons.refresh);
  row->addWidget(buttons.update);
  layout->addLayout(row);
  return buttons;
}

}  // namespace brisfell
