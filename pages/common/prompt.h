// Message boxes and file dialogs, as the page logic asks for them. The application shows
// them with Qt; the command line prints them and answers from its options; tests script the
// answers and record what was asked.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace brisfell {

// Title of boxes that name no title of their own.
inline constexpr const char* kApplicationTitle = "Ardune Brisfell";

enum class PromptIcon { None, Error, Warning, Question, Information };

struct FileDialogRequest {
  std::string filter = "QSW Files (*.qsw)|*.qsw|All Files (*.*)|*.*||";
  std::string defaultExtension;  // "qsw" for saves
  std::string proposedName;      // empty for opens
};

class Prompt {
 public:
  virtual ~Prompt() = default;
  // A box with an OK button.
  virtual void Message(const std::string& title, const std::string& text, PromptIcon icon) = 0;
  // A Yes/No question with No as the default button; true only when the answer is Yes.
  virtual bool AskYesNo(const std::string& title, const std::string& text, PromptIcon icon) = 0;
  // A save-as dialog that asks before overwriting; nullopt when cancelled.
  virtual std::optional<std::string> SaveFileName(const FileDialogRequest& request) = 0;
  // An open dialog for existing files; nullopt when cancelled.
  virtual std::optional<std::string> OpenFileName(const FileDialogRequest& request) = 0;
};

// Records every box and dialog and answers from queues: questions with `answers` (No when
// empty), file dialogs with `fileNames` (cancel when empty).
class ScriptedPrompt : public Prompt {
 public:
  struct Shown {
    enum class Kind { Message, Question, SaveDialog, OpenDialog } kind;
    std::string title;
    std::string text;
    PromptIcon icon = PromptIcon::None;
    FileDialogRequest file;
  };

  void Message(const std::string& title, const std::string& text, PromptIcon icon) override;
  bool AskYesNo(const std::string& title, const std::string& text, PromptIcon icon) override;
  std::optional<std::string> SaveFileName(const FileDialogRequest& request) override;
  std::optional<std::string> OpenFileName(const FileDialogRequest& request) override;

  std::deque<bool> answers;
  std::deque<std::optional<std::string>> fileNames;
  std::vector<Shown> shown;

  // Texts of the message boxes (not questions) shown so far.
  std::vector<std::string> MessageTexts() const;
  std::vector<std::string> QuestionTexts() const;
};

}  // namespace brisfell
