// "About": the product's name, purpose and version, with its picture.
#pragma once

#include <QDialog>

namespace brisfell {

class AboutDialog : public QDialog {
 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace brisfell
