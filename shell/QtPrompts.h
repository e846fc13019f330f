// ui::Prompts as modal message boxes on the window thread. Notices carry the
// information icon and an OK button; questions Yes and No with the icon the
// caller names. Each box is modal for the whole application.
#pragma once

#include <QPointer>
#include <QWidget>

#include "ui/Prompts.h"

namespace shell {

class QtPrompts final : public ui::Prompts {
 public:
  // Boxes are centred on `owner` when it exists, otherwise on the active window.
  explicit QtPrompts(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }

  void Inform(const std::string& text, const std::string& caption) override;
  bool AskYesNo(const std::string& text, const std::string& caption, ui::PromptIcon icon) override;

 private:
  QWidget* Owner() const;
  QPointer<QWidget> owner_;
};

}  // namespace shell
