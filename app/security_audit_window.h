// Tools > Security Audit: for every switch the last discovery found, what leaves it open to
// anyone on the segment, each with the brisfell-cli command that fixes it.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "pages/common/page_context.h"
#include "pages/security/audit_logic.h"
#include "pages/widgets/engine_jobs.h"
#include "pages/widgets/job_slot.h"

namespace brisfell {

inline constexpr const char* kSecurityAuditTitle = "Security Audit";

class SecurityAuditWindow : public QDialog {
 public:
  SecurityAuditWindow(Engine& engine, EngineJobs& jobs, Prompt& prompt, QWidget* parent = nullptr);

  // Checks every discovered switch again (a job) and shows the findings when it is done.
  void Run();
  bool Busy() const { return slot_->Busy(); }
  const std::vector<AuditFinding>& Findings() const { return findings_; }
  QTreeWidget* List() const { return list_; }
  QLabel* Summary() const { return summary_; }
  QPushButton* RunButton() const { return run_; }
  // The chosen finding's whole command, selectable for copying (the list cuts it off).
  QLineEdit* FixLine() const { return fix_; }
  // Copies the chosen finding's whole command.
  QPushButton* CopyButton() const { return copy_; }
  // Applies the chosen finding's fix, when it is one change that needs no value, then checks again.
  QPushButton* ApplyButton() const { return apply_; }
  void SetScenarioFile(const std::string& file) { scenarioFile_ = file; }

 private:
  void ShowFindings(std::vector<AuditFinding> findings);
  void ShowChosen();
  void FitFixColumn();
  void ApplyChosen();
  int ChosenRow() const;
  std::string Program() const;

  EngineJobs& jobs_;
  PageContext context_;
  JobSlot* slot_ = nullptr;
  std::string scenarioFile_;
  std::vector<AuditFinding> findings_;
  QTreeWidget* list_ = nullptr;
  QLabel* summary_ = nullptr;
  QLineEdit* fix_ = nullptr;
  QPushButton* run_ = nullptr;
  QPushButton* copy_ = nullptr;
  QPushButton* apply_ = nullptr;
};

}  // namespace brisfell
