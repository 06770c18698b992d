#include "pages/vlan/tag_control_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "pages/common/report_list.h"
#include "pages/vlan/tag_control_logic.h"
#include "pages/vlan/tag_untag_dialog.h"
#include "pages/widgets/controls_widget.h"

namespace brisfell {

TagControlPage::TagControlPage(PageContext& context) : Page(context, "Tag Control") {}

void TagControlPage::BuildControls(QWidget* window) {
  window_ = window;
  auto* layout = new QVBoxLayout(window);
  QList<int> widths;
  for (int w : kTagControlWidths) widths << w;
  list_ = MakeReportList(window, TagControlColumns(), widths);
  list_->setObjectName("tagControlList");
  QObject::connect(list_, &QTreeWidget::itemDoubleClicked, window, [this] { Config(false); });
  layout->addWidget(list_, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  config_ = MakeButton("Config", "config", window);
  QObject::connect(config_, &QPushButton::clicked, window, [this] { Config(true); });
  buttons->addWidget(config_);
  layout->addLayout(buttons);
}

void TagControlPage::Refresh() {
  if (!list_) return;
  ClearReportList(list_);
  BusyWhileReady busy(context_);
  Table table;
  if (RefreshTagControl(context_, table).kind == OutcomeKind::Done) FillReportList(list_, table);
}

void TagControlPage::Config(bool fromButton) {
  if (!TagConfigRequested(context_, SelectionMark(list_), fromButton)) return;
  TagUntagDialog dialog(context_, window_);
  if (runDialog_(dialog)) Refresh();
}

}  // namespace brisfell
