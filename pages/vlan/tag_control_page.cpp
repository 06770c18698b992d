#include "pages/vlan/tag_control_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <optional>
#include <utility>

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
  Run(
      Reading(),
      [](PageContext& c) {
        Table table;
        const Outcome outcome = RefreshTagControl(c, table);
        return std::make_pair(outcome, std::move(table));
      },
      [this](std::pair<Outcome, Table> read) {
        if (read.first.kind == OutcomeKind::Done) FillReportList(list_, read.second);
        if (read.first.kind == OutcomeKind::ReadFailed) ShowFailure("Refresh", read.first.message);
      });
}

void TagControlPage::Config(bool fromButton) {
  OpenDialogAfterRead(
      [mark = SelectionMark(list_), fromButton](PageContext& c) -> std::optional<TagDialogState> {
        if (!TagConfigRequested(c, mark, fromButton)) return std::nullopt;
        return OpenTagDialog(c);
      },
      [this](const TagDialogState& state) { return new TagUntagDialog(state, window_); },
      [](const TagUntagDialog& dialog) {
        return [state = dialog.State(), mode = dialog.Mode()](PageContext& c) { return ApplyTagDialog(c, state, mode); };
      });
}

}  // namespace brisfell
