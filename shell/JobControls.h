// The window's controls as a job sees them: every call is carried over to
// the window thread through the job's JobThread and waits there, so the job
// never touches a widget itself. A call of a stopped job is dropped and ends
// the job with mendora::JobStopped.
#pragma once

#include "shell/JobThread.h"
#include "ui/Prompts.h"
#include "ui/TreeControl.h"

namespace shell {

class JobTreeControl final : public ui::TreeControl {
 public:
  JobTreeControl(JobThread& job, ui::TreeControl& tree) : job_(job), tree_(tree) {}

  ui::TreeHandle InsertItem(ui::TreeHandle parent, std::u16string_view text) override;
  void SetItemText(ui::TreeHandle item, std::u16string_view text) override;
  void SetItemToolTip(ui::TreeHandle item, std::u16string_view text) override;
  std::u16string GetItemToolTip(ui::TreeHandle item) const override;
  std::u16string GetItemText(ui::TreeHandle item) const override;
  ui::TreeHandle GetRootItem() const override;
  std::vector<ui::TreeHandle> GetRootItems() const override;
  ui::TreeHandle GetParentItem(ui::TreeHandle item) const override;
  std::vector<ui::TreeHandle> GetChildItems(ui::TreeHandle item) const override;
  void SetCheckBoxStyle(bool on) override;
  bool CheckBoxStyle() const override;
  int GetStateImage(ui::TreeHandle item) const override;
  void SetStateImage(ui::TreeHandle item, int stateImage) override;
  void SetBold(ui::TreeHandle item, bool bold) override;
  bool IsBold(ui::TreeHandle item) const override;
  void Expand(ui::TreeHandle item, ui::TreeExpand action) override;
  bool IsExpanded(ui::TreeHandle item) const override;
  void SelectItem(ui::TreeHandle item) override;
  ui::TreeHandle GetSelectedItem() const override;
  void SortChildren(ui::TreeHandle item) override;
  void DeleteAllItems() override;

 private:
  template <typename F>
  auto OnWindow(F&& call) const;

  JobThread& job_;
  ui::TreeControl& tree_;
};

class JobPrompts final : public ui::Prompts {
 public:
  JobPrompts(JobThread& job, ui::Prompts& prompts) : job_(job), prompts_(prompts) {}

  void Inform(const std::string& text, const std::string& caption) override;
  bool AskYesNo(const std::string& text, const std::string& caption, ui::PromptIcon icon) override;

 private:
  JobThread& job_;
  ui::Prompts& prompts_;
};

}  // namespace shell
