#include "pages/widgets/form_widget.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace brisfell {

FormView::FormView(const FormTable& formTable, int portCount, QWidget* parent)
    : QWidget(parent), table_(formTable), controls_(formTable.fields.size(), nullptr), allNonePressed_(formTable.fields.size(), false) {
  auto* columns = new QHBoxLayout(this);
  columns->setContentsMargins(0, 0, 0, 0);
  left_ = new QVBoxLayout;
  right_ = new QVBoxLayout;
  columns->addLayout(left_, 1);
  columns->addLayout(right_, 1);
  for (size_t i = 0; i < formTable.fields.size(); ++i) {
    const FormField& f = formTable.fields[i];
    if (!f.visible) continue;
    switch (f.kind) {
      case FieldKind::RadioPair: {
        auto* box = new RadioPairBox(f.label, f.captions[0], f.captions[1], f.keyword, this);
        left_->addWidget(box);
        controls_[i] = box;
        break;
      }
      case FieldKind::Choice: {
        auto* row = new QWidget(this);
        auto* form = new QFormLayout(row);
        form->setContentsMargins(4, 4, 4, 4);
        auto* list = MakeChoiceList(row, f.keyword, f.items.data(), static_cast<int>(f.items.size()), -1);
        list->setMinimumContentsLength(8);
        form->addRow(new QLabel(f.label, row), list);
        left_->addWidget(row);
        controls_[i] = list;
        break;
      }
      case FieldKind::PortSet: {
        auto* boxes = new PortBoxes(f.label, portCount, PortBoxes::kWithAllNone, this);
        boxes->OnAllNone([this, i] { allNonePressed_[i] = true; });
        right_->addWidget(boxes);
        controls_[i] = boxes;
        break;
      }
    }
  }
  left_->addStretch();
  right_->addStretch();
  // A form without port boxes takes the whole width for its groups.
  if (right_->count() == 1) columns->setStretch(1, 0);
}

void FormView::Show(const FormState& state) {
  for (size_t i = 0; i < table_.fields.size() && i < state.values.size(); ++i) {
    QWidget* c = controls_[i];
    if (!c) continue;
    const FieldValue& v = state.values[i];
    switch (table_.fields[i].kind) {
      case FieldKind::RadioPair: static_cast<RadioPairBox*>(c)->SetValue(v.choice); break;
      case FieldKind::Choice: static_cast<QComboBox*>(c)->setCurrentIndex(v.choice); break;
      case FieldKind::PortSet: static_cast<PortBoxes*>(c)->SetTicked(v.ticked); break;
    }
  }
}

void FormView::Collect(FormState& state) const {
  state.values.resize(table_.fields.size());
  for (size_t i = 0; i < table_.fields.size(); ++i) {
    QWidget* c = controls_[i];
    if (!c) continue;
    FieldValue& v = state.values[i];
    switch (table_.fields[i].kind) {
      case FieldKind::RadioPair: v.choice = static_cast<RadioPairBox*>(c)->Value(); break;
      case FieldKind::Choice: v.choice = static_cast<QComboBox*>(c)->currentIndex(); break;
      case FieldKind::PortSet:
        v.ticked = static_cast<PortBoxes*>(c)->Ticked();
        v.tickedChosen = v.tickedChosen || allNonePressed_[i];
        break;
    }
  }
}

RadioPairBox* FormView::Radio(const char* keyword) const {
  const int i = table_.IndexOf(keyword);
  return i < 0 || table_.fields[static_cast<size_t>(i)].kind != FieldKind::RadioPair
             ? nullptr
             : static_cast<RadioPairBox*>(controls_[static_cast<size_t>(i)]);
}

QComboBox* FormView::List(const char* keyword) const {
  const int i = table_.IndexOf(keyword);
  return i < 0 || table_.fields[static_cast<size_t>(i)].kind != FieldKind::Choice
             ? nullptr
             : static_cast<QComboBox*>(controls_[static_cast<size_t>(i)]);
}

PortBoxes* FormView::Ports(const char* keyword) const {
  const int i = table_.IndexOf(keyword);
  return i < 0 || table_.fields[static_cast<size_t>(i)].kind != FieldKind::PortSet
             ? nullptr
             : static_cast<PortBoxes*>(controls_[static_cast<size_t>(i)]);
}

}  // namespace brisfell
