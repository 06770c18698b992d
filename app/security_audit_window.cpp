#include "app/security_audit_window.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "pages/common/report_list.h"
#include "pages/widgets/controls_widget.h"

namespace brisfell {

SecurityAuditWindow::SecurityAuditWindow(Engine& engine, EngineJobs& jobs, Prompt& prompt, QWidget* parent)
    : QDialog(parent), jobs_(jobs), context_(engine, prompt) {
  setWindowTitle(kSecurityAuditTitle);
  setObjectName("securityAudit");
  auto* layout = new QVBoxLayout(this);
  summary_ = new QLabel(this);
  summary_->setObjectName("summary");
  summary_->setWordWrap(true);
  layout->addWidget(summary_);
  list_ = MakeReportList(this, AuditTable({}, ""), {44, 130, 70, 170, 470, 420});
  list_->setObjectName("findings");
  layout->addWidget(list_, 1);
  auto* fixRow = new QHBoxLayout;
  fixRow->addWidget(new QLabel("Fix:", this));
  fix_ = MakeReadOnlyLine(this, "fix");
  fixRow->addWidget(fix_, 1);
  layout->addLayout(fixRow);
  connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    const int row = item ? list_->indexOfTopLevelItem(item) : -1;
    fix_->setText(row >= 0 && row < static_cast<int>(findings_.size()) ? list_->topLevelItem(row)->text(list_->columnCount() - 1)
                                                                     : QString());
  });
  auto* row = new QHBoxLayout;
  run_ = MakeButton("Run Again", "runAgain", this);
  auto* close = MakeButton("Close", "close", this);
  row->addWidget(run_);
  row->addStretch();
  row->addWidget(close);
  layout->addLayout(row);
  connect(run_, &QPushButton::clicked, this, [this] { Run(); });
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  slot_ = new JobSlot(jobs_, this, list_, {run_});
  // Wide enough for a finding and its command side by side.
  resize(1340, 440);
}

void SecurityAuditWindow::Run() {
  if (slot_->Busy()) return;
  const EngineView& view = jobs_.View();
  if (view.currentAdapter < 0 || view.discovering || view.SwitchCount() == 0) {
    findings_.clear();
    ClearReportList(list_);
    fix_->clear();
    summary_->setText("Choose an adapter whose switches answer first: the audit checks the switches it found.");
    return;
  }
  slot_->Run(
      "Checking the switches...",
      [context = jobs_.EngineContext(context_)](JobControl&) mutable { return AuditSwitches(context); },
      [this](std::vector<AuditFinding> findings) { ShowFindings(std::move(findings)); });
}

void SecurityAuditWindow::ShowFindings(std::vector<AuditFinding> findings) {
  findings_ = std::move(findings);
  const EngineView& view = jobs_.View();
  const int adapter = view.currentAdapter;
  FillReportList(list_, AuditTable(findings_, "brisfell-cli -a " + view.AdapterName(adapter)));
  if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
  const int switches = view.SwitchCount();
  const QString where = QString("%1 %2 of %3")
                            .arg(switches)
                            .arg(switches == 1 ? "switch" : "switches")
                            .arg(QString::fromStdString(view.AdapterDescription(adapter)));
  const int n = static_cast<int>(findings_.size());
  summary_->setText(findings_.empty() ? QString("No findings on the %1.").arg(where)
                                      : QString("%1 %2 on the %3. Each line names the command that fixes it.")
                                            .arg(n)
                                            .arg(n == 1 ? "finding" : "findings")
                                            .arg(where));
}

}  // namespace brisfell
