#include "app/security_audit_window.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <algorithm>
#include <QVBoxLayout>

#include "pages/common/page.h"
#include "pages/common/report_list.h"
#include "pages/widgets/controls_widget.h"
#include "sim/segment.h"

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
  // The Fix column holds the command alone (the MAC is beside it), wide enough to read whole.
  list_ = MakeReportList(this, AuditTable({}, ""), {44, 130, 70, 170, 330, 300});
  list_->setObjectName("findings");
  layout->addWidget(list_, 1);
  auto* fixRow = new QHBoxLayout;
  fixRow->addWidget(new QLabel("Fix:", this));
  fix_ = MakeReadOnlyLine(this, "fix");
  fixRow->addWidget(fix_, 1);
  copy_ = MakeButton("Copy command", "copyCommand", this);
  apply_ = MakeButton("Apply", "apply", this);
  fixRow->addWidget(copy_);
  fixRow->addWidget(apply_);
  layout->addLayout(fixRow);
  connect(list_, &QTreeWidget::currentItemChanged, this, [this] { ShowChosen(); });
  connect(copy_, &QPushButton::clicked, this, [this] { QGuiApplication::clipboard()->setText(fix_->text()); });
  connect(apply_, &QPushButton::clicked, this, [this] { ApplyChosen(); });
  ShowChosen();
  auto* row = new QHBoxLayout;
  run_ = MakeButton("Run Again", "runAgain", this);
  auto* close = MakeButton("Close", "close", this);
  row->addWidget(run_);
  row->addStretch();
  row->addWidget(close);
  layout->addLayout(row);
  connect(run_, &QPushButton::clicked, this, [this] { Run(); });
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  slot_ = new JobSlot(jobs_, this, list_, {run_, apply_});
  // Wide enough for a finding and its command side by side.
  resize(1340, 440);
}

void SecurityAuditWindow::FitFixColumn() {
  // The list widens a column to its longest text; the Fix column comes last, so the findings
  // give way (their whole text in a tooltip) rather than the command going out of sight.
  constexpr int kFinding = 4, kFix = 5;
  int others = 0;
  for (int c = 0; c < kFinding; ++c) others += list_->columnWidth(c);
  const int room = list_->viewport()->width() - others - list_->columnWidth(kFix);
  if (list_->columnWidth(kFinding) > room) list_->setColumnWidth(kFinding, std::max(200, room));
  for (int row = 0; row < list_->topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    item->setToolTip(kFinding, item->text(kFinding));
  }
}

int SecurityAuditWindow::ChosenRow() const {
  QTreeWidgetItem* item = list_->currentItem();
  const int row = item ? list_->indexOfTopLevelItem(item) : -1;
  return row >= 0 && row < static_cast<int>(findings_.size()) ? row : -1;
}

std::string SecurityAuditWindow::Program() const {
  const EngineView& view = jobs_.View();
  const int adapter = view.currentAdapter;
  const std::string name = adapter < 0 ? "" : view.AdapterName(adapter);
  return AuditProgram(name, name == sim::Segment::kAdapterName, scenarioFile_);
}

void SecurityAuditWindow::ShowChosen() {
  const int row = ChosenRow();
  const AuditFinding* f = row < 0 ? nullptr : &findings_[static_cast<size_t>(row)];
  fix_->setText(f ? QString::fromStdString(FixCommandLine(*f, Program())) : QString());
  copy_->setEnabled(!fix_->text().isEmpty());
  apply_->setEnabled(f && AuditFixApplicable(*f));
}

void SecurityAuditWindow::ApplyChosen() {
  const int row = ChosenRow();
  if (row < 0 || slot_->Busy()) return;
  const AuditFinding finding = findings_[static_cast<size_t>(row)];
  if (!AuditFixApplicable(finding)) return;
  slot_->Run(
      "Applying the fix...",
      [context = jobs_.EngineContext(context_), finding](JobControl&) mutable { return ApplyAuditFix(context, finding); },
      [this, finding](Outcome outcome) {
        // What the page's own boxes have not said, said here; then the findings as they now stand.
        if (outcome.kind == OutcomeKind::Refused || outcome.kind == OutcomeKind::ReadFailed)
          context_.prompt.Message(kSecurityAuditTitle,
                                  FormatMac(finding.mac) + ": " + finding.command + " failed: " + outcome.message,
                                  PromptIcon::Error);
        Run();
      });
}

void SecurityAuditWindow::Run() {
  if (slot_->Busy()) return;
  const EngineView& view = jobs_.View();
  if (view.currentAdapter < 0 || view.discovering || view.SwitchCount() == 0) {
    findings_.clear();
    ClearReportList(list_);
    ShowChosen();
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
  FillReportList(list_, AuditTable(findings_, ""));
  FitFixColumn();
  if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
  ShowChosen();
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
