// Renders a form table: a radio pair or choice list per field (visible ones only) on the left,
// port check boxes on the right; shows a form state and collects the operator's choices back.
#pragma once

#include <QComboBox>
#include <QVBoxLayout>
#include <QWidget>
#include <vector>

#include "pages/common/form.h"
#include "pages/widgets/controls_widget.h"

namespace brisfell {

class FormView : public QWidget {
 public:
  FormView(const FormTable& formTable, int portCount, QWidget* parent);

  void Show(const FormState& state);
  // The controls' values into `state`; hidden fields keep what the state holds.
  void Collect(FormState& state) const;

  RadioPairBox* Radio(const char* keyword) const;
  QComboBox* List(const char* keyword) const;
  PortBoxes* Ports(const char* keyword) const;
  // The layout of the left column, so a page can add its own controls under the table's.
  QVBoxLayout* LeftColumn() const { return left_; }
  QVBoxLayout* RightColumn() const { return right_; }

 private:
  const FormTable& table_;
  std::vector<QWidget*> controls_;  // per field; null for hidden ones
  std::vector<bool> allNonePressed_;
  QVBoxLayout* left_ = nullptr;
  QVBoxLayout* right_ = nullptr;
};

}  // namespace brisfell
