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

template <typename F>
auto JobListControl::OnWindow(F&& call) const {
  return CallOnWindow(job_, std::forward<F>(call));
}

int JobListControl::InsertColumn(int column, std::u16string_view heading, int width) {
  return OnWindow([&] { return list_.InsertColumn(column, heading, width); });
}
bool JobListControl::DeleteColumn(int column) {
  return OnWindow([&] { return list_.DeleteColumn(column); });
}
int JobListControl::GetColumnCount() const {
  return OnWindow([&] { return list_.GetColumnCount(); });
}
std::u16string JobListControl::GetColumnHeading(int column) const {
  return OnWindow([&] { return list_.GetColumnHeading(column); });
}
int JobListControl::InsertItem(int row, std::u16string_view firstCell) {
  return OnWindow([&] { return list_.InsertItem(row, firstCell); });
}
bool JobListControl::SetItemText(int row, int column, std::u16string_view text) {
  return OnWindow([&] { return list_.SetItemText(row, column, text); });
}
std::u16string JobListControl::GetItemText(int row, int column) const {
  return OnWindow([&] { return list_.GetItemText(row, column); });
}
int JobListControl::GetItemCount() const {
  return OnWindow([&] { return list_.GetItemCount(); });
}
void JobListControl::DeleteAllItems() {
  OnWindow([&] { list_.DeleteAllItems(); });
}
void JobListControl::AppendRows(const ui::RowBatch& batch) {
  OnWindow([&] { list_.AppendRows(batch); });
}
void JobListControl::ShowList(bool visible) {
  OnWindow([&] { list_.ShowList(visible); });
}
bool JobListControl::IsListVisible() const {
  return OnWindow([&] { return list_.IsListVisible(); });
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
