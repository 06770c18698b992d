// Tools > Switch Keys: the switch database's entries (MAC, key, whether the switch answered),
// for switches whose key was set elsewhere. Adding or removing an entry saves the database and
// discovers the adapter's switches again, so an added switch is found by its key at once.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>
#include <vector>

#include "pages/common/prompt.h"
#include "pages/security/switch_keys.h"
#include "pages/widgets/engine_jobs.h"
#include "pages/widgets/job_slot.h"

namespace brisfell {

inline constexpr const char* kSwitchKeysTitle = "Switch Keys";

class SwitchKeysDialog : public QDialog {
 public:
  // `rescan` starts discovery again on the current adapter; it is not called while none is.
  // The entries are read (a job) as the dialog opens.
  SwitchKeysDialog(EngineJobs& jobs, Prompt& prompt, std::function<void()> rescan, QWidget* parent = nullptr);

  QTreeWidget* List() const { return list_; }
  QLineEdit* MacEdit() const { return mac_; }
  QLineEdit* KeyEdit() const { return key_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* RemoveButton() const { return remove_; }

  // What the buttons do.
  void AddEntry();
  void RemoveSelected();
  // Reads the entries as they are now and shows them.
  void Reload();
  bool Busy() const { return slot_->Busy(); }

 private:
  // After a saved edit: discovery again, then the entries as it leaves them.
  void Edited(bool saved);

  EngineJobs& jobs_;
  Prompt& prompt_;
  std::function<void()> rescan_;
  JobSlot* slot_ = nullptr;
  std::vector<SwitchKeyEntry> entries_;
  QTreeWidget* list_ = nullptr;
  QLineEdit* mac_ = nullptr;
  QLineEdit* key_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* remove_ = nullptr;
  QLabel* note_ = nullptr;
};

}  // namespace brisfell
