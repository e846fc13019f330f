// The message boxes the user answers. Every notice and question of the
// program goes through here with its exact text and caption; the window layer
// shows a modal box, the tests answer from a script.
#pragma once

#include <string>

namespace ui {

enum class PromptIcon { kInformation, kQuestion };

class Prompts {
 public:
  virtual ~Prompts() = default;
  // A notice with an information icon and an OK button.
  virtual void Inform(const std::string& text, const std::string& caption) = 0;
  // A question with Yes and No buttons; true for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& caption, PromptIcon icon) = 0;
};

}  // namespace ui
