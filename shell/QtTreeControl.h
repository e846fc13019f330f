// ui::TreeControl over a QTreeWidget, for calls made on the window thread.
// Jobs on other threads reach it through JobTreeControl, which carries each
// call over to the window thread.
//
// Each node keeps its handle in its item; handles count up and are never
// reused, so a handle from a deleted tree names nothing. A node has a check
// box when its check-state data is set; the widget never toggles it on its
// own (the tree's click handling decides), so the items are not
// user-checkable. An unchecked node over checked ones may show partly
// checked (ShowPartialChecks); it still reads as unchecked.
#pragma once

#include <QTreeWidget>
#include <unordered_map>

#include "ui/TreeControl.h"

namespace shell {

class QtTreeControl final : public ui::TreeControl {
 public:
  explicit QtTreeControl(QTreeWidget* tree);

  ui::TreeHandle InsertItem(ui::TreeHandle parent, std::u16string_view text) override;
  void SetItemText(ui::TreeHandle item, std::u16string_view text) override;
  void SetItemToolTip(ui::TreeHandle item, std::u16string_view text) override;
  std::u16string GetItemToolTip(ui::TreeHandle item) const override;
  std::u16string GetItemText(ui::TreeHandle item) const override;

  ui::TreeHandle GetRootItem() const override;
  std::vector<ui::TreeHandle> GetRootItems() const override;
  ui::TreeHandle GetParentItem(ui::TreeHandle item) const override;
  std::vector<ui::TreeHandle> GetChildItems(ui::TreeHandle item) const override;

  void SetCheckBoxStyle(bool on) override { checkBoxStyle_ = on; }
  bool CheckBoxStyle() const override { return checkBoxStyle_; }
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

  // The item of a handle and the handle of an item; null or kNoTreeItem for none.
  QTreeWidgetItem* Item(ui::TreeHandle handle) const;
  ui::TreeHandle Handle(const QTreeWidgetItem* item) const;
  size_t Count() const { return items_.size(); }
  // Shows each unchecked node with checked nodes below it as partly checked,
  // and the others as unchecked again.
  void ShowPartialChecks();

 private:
  QTreeWidget* tree_;
  std::unordered_map<ui::TreeHandle, QTreeWidgetItem*> items_;
  ui::TreeHandle nextHandle_ = 1;
  bool checkBoxStyle_ = false;
};

}  // namespace shell
