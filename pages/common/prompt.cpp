#include "pages/common/prompt.h"

namespace brisfell {

void ScriptedPrompt::Message(const std::string& title, const std::string& text, PromptIcon icon) {
  shown.push_back({Shown::Kind::Message, title, text, icon, {}});
}

bool ScriptedPrompt::AskYesNo(const std::string& title, const std::string& text, PromptIcon icon) {
  shown.push_back({Shown::Kind::Question, title, text, icon, {}});
  if (answers.empty()) return false;
  bool yes = answers.front();
  answers.pop_front();
  return yes;
}

std::optional<std::string> ScriptedPrompt::SaveFileName(const FileDialogRequest& request) {
  shown.push_back({Shown::Kind::SaveDialog, {}, {}, PromptIcon::None, request});
  if (fileNames.empty()) return std::nullopt;
  auto name = fileNames.front();
  fileNames.pop_front();
  return name;
}

std::optional<std::string> ScriptedPrompt::OpenFileName(const FileDialogRequest& request) {
  shown.push_back({Shown::Kind::OpenDialog, {}, {}, PromptIcon::None, request});
  if (fileNames.empty()) return std::nullopt;
  auto name = fileNames.front();
  fileNames.pop_front();
  return name;
}

std::vector<std::string> ScriptedPrompt::MessageTexts() const {
  std::vector<std::string> out;
  for (const auto& s : shown)
    if (s.kind == Shown::Kind::Message) out.push_back(s.text);
  return out;
}

std::vector<std::string> ScriptedPrompt::QuestionTexts() const {
  std::vector<std::string> out;
  for (const auto& s : shown)
    if (s.kind == Shown::Kind::Question) out.push_back(s.text);
  return out;
}

}  // namespace brisfell
