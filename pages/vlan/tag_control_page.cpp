#include "pages/vlan/tag_control_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <optional>

#include "pages/common/report_list.h"
#include "pages/vlan/tag_control_logic.h"
#include "pages/vlan/tag_untag_dialog.h"
#include "pages/widgets/controls_widget.h"

namespace brisfell {

TagControlPage::TagControlPage(PageContext& context, EngineJobs& jobs) : Page(context, jobs, "Tag Control") {}

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
  if (!list_ || Busy()) return;
  ClearReportList(list_);
  if (!Ready()) return;
  RunWith(Reading(), Table{}, [](PageContext& c, Table& table) { return RefreshTagControl(c, table); },
          [this](const Outcome& outcome, const Table& table) {
            if (outcome.kind == OutcomeKind::Done) FillReportList(list_, table);
            if (outcome.kind == OutcomeKind::ReadFailed) ShowFailure("Refresh", outcome.message);
          });
}

void TagControlPage::Config(bool fromButton) {
  OpenRowDialog(SelectionMark(list_), fromButton, TagConfigRequested, OpenTagDialog,
      [this](const TagDialogState& state) { return new TagUntagDialog(state, window_); },
      [](const TagUntagDialog& dialog) {
        return [state = dialog.State(), mode = dialog.Mode()](PageContext& c) { return ApplyTagDialog(c, state, mode); };
      });
}

}  // namespace brisfell
