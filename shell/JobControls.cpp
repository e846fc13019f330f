#include "shell/JobControls.h"

#include <type_traits>

namespace shell {
namespace {

// Runs `call` on the window thread and hands back what it returned.
template <typename F>
auto CallOnWindow(JobThread& job, F&& call) {
  using R = std::invoke_result_t<F>;
  if constexpr (std::is_void_v<R>) {
    job.OnWindowThread(call);
  } else {
    R result{};
    job.OnWindowThread([&] { result = call(); });
    return result;
  }
}

}  // namespace

template <typename F>
auto JobTreeControl::OnWindow(F&& call) const {
  return CallOnWindow(job_, std::forward<F>(call));
}

ui::TreeHandle JobTreeControl::InsertItem(ui::TreeHandle parent, std::u16string_view text) {
  return OnWindow([&] { return tree_.InsertItem(parent, text); });
}
void JobTreeControl::SetItemText(ui::TreeHandle item, std::u16string_view text) {
  OnWindow([&] { tree_.SetItemText(item, text); });
}
void JobTreeControl::SetItemToolTip(ui::TreeHandle item, std::u16string_view text) {
  OnWindow([&] { tree_.SetItemToolTip(item, text); });
}
std::u16string JobTreeControl::GetItemToolTip(ui::TreeHandle item) const {
  return OnWindow([&] { return tree_.GetItemToolTip(item); });
}
std::u16string JobTreeControl::GetItemText(ui::TreeHandle item) const {
  return OnWindow([&] { return tree_.GetItemText(item); });
}
ui::TreeHandle JobTreeControl::GetRootItem() const {
  return OnWindow([&] { return tree_.GetRootItem(); });
}
std::vector<ui::TreeHandle> JobTreeControl::GetRootItems() const {
  return OnWindow([&] { return tree_.GetRootItems(); });
}
ui::TreeHandle JobTreeControl::GetParentItem(ui::TreeHandle item) const {
  return OnWindow([&] { return tree_.GetParentItem(item); });
}
std::vector<ui::TreeHandle> JobTreeControl::GetChildItems(ui::TreeHandle item) const {
  return OnWindow([&] { return tree_.GetChildItems(item); });
}
void JobTreeControl::SetCheckBoxStyle(bool on) {
  OnWindow([&] { tree_.SetCheckBoxStyle(on); });
}
bool JobTreeControl::CheckBoxStyle() const {
  return OnWindow([&] { return tree_.CheckBoxStyle(); });
}
int JobTreeControl::GetStateImage(ui::TreeHandle item) const {
  return OnWindow([&] { return tree_.GetStateImage(item); });
}
void JobTreeControl::SetStateImage(ui::TreeHandle item, int stateImage) {
  OnWindow([&] { tree_.SetStateImage(item, stateImage); });
}
void JobTreeControl::SetBold(ui::TreeHandle item, bool bold) {
  OnWindow([&] { tree_.SetBold(item, bold); });
}
bool JobTreeControl::IsBold(ui::TreeHandle item) const {
  return OnWindow([&] { return tree_.IsBold(item); });
}
void JobTreeControl::Expand(ui::TreeHandle item, ui::TreeExpand action) {
  OnWindow([&] { tree_.Expand(item, action); });
}
bool JobTreeControl::IsExpanded(ui::TreeHandle item) const {
  return OnWindow([&] { return tree_.IsExpanded(item); });
}
void JobTreeControl::SelectItem(ui::TreeHandle item) {
  OnWindow([&] { tree_.SelectItem(item); });
}
ui::TreeHandle JobTreeControl::GetSelectedItem() const {
  return OnWindow([&] { return tree_.GetSelectedItem(); });
}
void JobTreeControl::SortChildren(ui::TreeHandle item) {
  OnWindow([&] { tree_.SortChildren(item); });
}
void JobTreeControl::DeleteAllItems() {
  OnWindow([&] { tree_.DeleteAllItems(); });
}

void JobPrompts::Inform(const std::string& text, const std::string& caption) {
  job_.OnWindowThread([&] { prompts_.Inform(text, caption); });
}

bool JobPrompts::AskYesNo(const std::string& text, const std::string& caption,
                          ui::PromptIcon icon) {
  bool yes = false;
  job_.OnWindowThread([&] { yes = prompts_.AskYesNo(text, caption, icon); });
  return yes;
}

}  // namespace shell
