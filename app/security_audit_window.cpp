#include "app/security_audit_window.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "pages/common/page.h"
#include "pages/common/report_list.h"
#include "pages/widgets/controls_widget.h"

namespace brisfell {

SecurityAuditWindow::SecurityAuditWindow(Engine& engine, Prompt& prompt, QWidget* parent)
    : QDialog(parent), context_(engine, prompt) {
  setWindowTitle(kSecurityAuditTitle);
  setObjectName("securityAudit");
  auto* layout = new QVBoxLayout(this);
  summary_ = new QLabel(this);
  summary_->setObjectName("summary");
  summary_->setWordWrap(true);
  layout->addWidget(summary_);
  list_ = MakeReportList(this, AuditTable({}, ""), {44, 130, 70, 150, 300, 300});
  list_->setObjectName("findings");
  layout->addWidget(list_, 1);
  auto* row = new QHBoxLayout;
  run_ = MakeButton("Run Again", "runAgain", this);
  auto* close = MakeButton("Close", "close", this);
  row->addWidget(run_);
  row->addStretch();
  row->addWidget(close);
  layout->addLayout(row);
  connect(run_, &QPushButton::clicked, this, [this] { Run(); });
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  resize(980, 420);
}

void SecurityAuditWindow::Run() {
  Engine& engine = context_.engine;
  const int adapter = engine.CurrentAdapterIndex();
  if (adapter < 0 || engine.SwitchCount() == 0) {
    findings_.clear();
    ClearReportList(list_);
    summary_->setText("Choose an adapter whose switches answer first: the audit checks the switches it found.");
    return;
  }
  {
    const BusyCursor busy;
    findings_ = AuditSwitches(context_);
  }
  FillReportList(list_, AuditTable(findings_, "brisfell-cli -a " + engine.AdapterName(adapter)));
  const int switches = engine.SwitchCount();
  summary_->setText(findings_.empty()
                        ? QString("No findings on the %1 switch(es) of %2.")
                              .arg(switches)
                              .arg(QString::fromStdString(engine.AdapterDescription(adapter)))
                        : QString("%1 finding(s) on the %2 switch(es) of %3. Each line names the command that "
                                  "fixes it.")
                              .arg(findings_.size())
                              .arg(switches)
                              .arg(QString::fromStdString(engine.AdapterDescription(adapter))));
}

}  // namespace brisfell
