// Message boxes and file dialogs on screen, for the page logic and the engine's one message.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "pages/common/prompt.h"

namespace brisfell {

// "QSW Files (*.qsw)|*.qsw|All Files (*.*)|*.*||" as Qt writes filters:
// "QSW Files (*.qsw);;All Files (*)". A pattern of "*.*" means every file.
QString QtFileFilter(const std::string& filter);

class QtPrompt : public Prompt {
 public:
  explicit QtPrompt(QWidget* parent = nullptr) : parent_(parent) {}
  // Boxes and dialogs are modal to this window.
  void SetParent(QWidget* parent) { parent_ = parent; }

  void Message(const std::string& title, const std::string& text, PromptIcon icon) override;
  bool AskYesNo(const std::string& title, const std::string& text, PromptIcon icon) override;
  std::optional<std::string> SaveFileName(const FileDialogRequest& request) override;
  std::optional<std::string> OpenFileName(const FileDialogRequest& request) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace brisfell
