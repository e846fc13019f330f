// Prompts answered from a script: each question takes the next scripted
// answer, and every notice and question is recorded with its text, caption
// and icon so that a test can say exactly what the user would have seen.
// A question asked when the script is empty is answered No and counted as
// unexpected.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/Prompts.h"

namespace ui {

struct PromptRecord {
  enum class Kind { kNotice, kQuestion };
  Kind kind = Kind::kNotice;
  std::string text;
  std::string caption;
  PromptIcon icon = PromptIcon::kInformation;
};

class ScriptedPrompts final : public Prompts {
 public:
  // Runs while the prompt is "on screen": after it is recorded, before it is
  // answered.
  using OnPrompt = std::function<void(const PromptRecord&)>;

  void Inform(const std::string& text, const std::string& caption) override;
  bool AskYesNo(const std::string& text, const std::string& caption, PromptIcon icon) override;

  // Queues the answer to the next question, and what happens while it is asked.
  void Answer(bool yes, OnPrompt whileAsked = {});
  void OnNotice(OnPrompt whileShown) { onNotice_ = std::move(whileShown); }

  const std::vector<PromptRecord>& Shown() const { return shown_; }
  std::vector<std::string> Texts() const;
  int UnexpectedQuestions() const { return unexpected_; }
  size_t PendingAnswers() const { return answers_.size(); }
  void Clear() { shown_.clear(); }

 private:
  struct Scripted {
    bool yes;
    OnPrompt whileAsked;
  };
  std::deque<Scripted> answers_;
  std::vector<PromptRecord> shown_;
  OnPrompt onNotice_;
  int unexpected_ = 0;
};

}  // namespace ui
