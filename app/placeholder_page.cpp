#include "app/placeholder_page.h"

#include <QLabel>
#include <QVBoxLayout>

namespace brisfell {

PlaceholderPage::PlaceholderPage(PageContext& context, QString caption) : Page(context, std::move(caption)) {}

void PlaceholderPage::BuildControls(QWidget* window) {
  auto* layout = new QVBoxLayout(window);
  layout->addStretch();
  auto* title = new QLabel(Caption(), window);
  QFont font = title->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.3);
  title->setFont(font);
  title->setAlignment(Qt::AlignCenter);
  layout->addWidget(title);
  auto* note = new QLabel(kNotAvailableYet, window);
  note->setAlignment(Qt::AlignCenter);
  note->setEnabled(false);
  layout->addWidget(note);
  layout->addStretch();
}

}  // namespace brisfell
