#include "pages/features/igmp_page.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "pages/features/feature_forms.h"

namespace brisfell {

IgmpPage::IgmpPage(PageContext& context, EngineJobs& jobs) : FormPage(context, jobs, IgmpForm()) {}

void IgmpPage::BuildExtraControls(QWidget*) {
  auto* group = new QGroupBox("IP Multicast Router Port", view_);
  auto* layout = new QVBoxLayout(group);
  routerPorts_ = MakeReadOnlyText(group, "routerPorts");
  routerPorts_->setMaximumHeight(80);
  layout->addWidget(routerPorts_);
  view_->LeftColumn()->insertWidget(view_->LeftColumn()->count() - 1, group);
}

void IgmpPage::ShowExtra() {
  // A failed read of the router ports leaves the box as it was.
  const SwitchRecord* record = Record();
  auto it = state_.lastRead.find(kRegIgmpRouterPorts);
  if (!record || !routerPorts_ || it == state_.lastRead.end()) return;
  routerPorts_->setPlainText(QString::fromStdString(RouterPortsText(*record, it->second)));
}

}  // namespace brisfell
