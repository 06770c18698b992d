#include "app/about_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/artwork.h"

namespace brisfell {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("About");
  setModal(true);
  setObjectName("AboutDialog");

  auto* picture = new QLabel(this);
  picture->setPixmap(AboutPicture());
  picture->setAlignment(Qt::AlignTop | Qt::AlignLeft);

  auto* texts = new QVBoxLayout;
  auto* product = new QLabel("Ardune Brisfell", this);
  QFont bold = product->font();
  bold.setBold(true);
  product->setFont(bold);
  texts->addWidget(product);
  texts->addWidget(new QLabel("Remote Management Tool", this));
  texts->addWidget(new QLabel("Ver 3.30", this));
  texts->addStretch();

  auto* ok = new QPushButton("OK", this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* top = new QHBoxLayout;
  top->addWidget(picture);
  top->addSpacing(12);
  top->addLayout(texts, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);
  setMinimumSize(330, 165);
}

}  // namespace brisfell
