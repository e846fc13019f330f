#include "tests/support/ScriptedPrompts.h"

namespace ui {

void ScriptedPrompts::Inform(const std::string& text, const std::string& caption) {
  shown_.push_back({PromptRecord::Kind::kNotice, text, caption, PromptIcon::kInformation});
  if (onNotice_) onNotice_(shown_.back());
}

bool ScriptedPrompts::AskYesNo(const std::string& text, const std::string& caption,
                               PromptIcon icon) {
  shown_.push_back({PromptRecord::Kind::kQuestion, text, caption, icon});
  if (answers_.empty()) {
    ++unexpected_;
    return false;
  }
  Scripted next = std::move(answers_.front());
  answers_.pop_front();
  // The record is copied: the hook may itself raise prompts.
  PromptRecord asked = shown_.back();
  if (next.whileAsked) next.whileAsked(asked);
  return next.yes;
}

void ScriptedPrompts::Answer(bool yes, OnPrompt whileAsked) {
  answers_.push_back({yes, std::move(whileAsked)});
}

std::vector<std::string> ScriptedPrompts::Texts() const {
  std::vector<std::string> texts;
  for (const auto& p : shown_) texts.push_back(p.text);
  return texts;
}

}  // namespace ui
