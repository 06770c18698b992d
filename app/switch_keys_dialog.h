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

#include "engine/engine.h"
#include "pages/common/prompt.h"

namespace brisfell {

inline constexpr const char* kSwitchKeysTitle = "Switch Keys";

class SwitchKeysDialog : public QDialog {
 public:
  // `rescan` runs discovery again on the current adapter; it is not called while none is.
  SwitchKeysDialog(Engine& engine, Prompt& prompt, std::function<void()> rescan, QWidget* parent = nullptr);

  QTreeWidget* List() const { return list_; }
  QLineEdit* MacEdit() const { return mac_; }
  QLineEdit* KeyEdit() const { return key_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* RemoveButton() const { return remove_; }

  // What the buttons do.
  void AddEntry();
  void RemoveSelected();
  // Shows the entries as they are now.
  void Reload();

 private:
  void Rescan();

  Engine& engine_;
  Prompt& prompt_;
  std::function<void()> rescan_;
  QTreeWidget* list_ = nullptr;
  QLineEdit* mac_ = nullptr;
  QLineEdit* key_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* remove_ = nullptr;
  QLabel* note_ = nullptr;
};

}  // namespace brisfell
