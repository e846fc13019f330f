// The tree control kept in memory: the command-line tool prints it, the tests
// look at it. It behaves as TreeControl describes.
#pragma once

#include <string>
#include <vector>

#include "ui/TreeControl.h"

namespace ui {

class MemoryTreeControl final : public TreeControl {
 public:
  TreeHandle InsertItem(TreeHandle parent, std::u16string_view text) override;
  void SetItemText(TreeHandle item, std::u16string_view text) override;
  std::u16string GetItemText(TreeHandle item) const override;
  void SetItemToolTip(TreeHandle item, std::u16string_view text) override;
  std::u16string GetItemToolTip(TreeHandle item) const override;

  TreeHandle GetRootItem() const override;
  std::vector<TreeHandle> GetRootItems() const override { return roots_; }
  TreeHandle GetParentItem(TreeHandle item) const override;
  std::vector<TreeHandle> GetChildItems(TreeHandle item) const override;

  void SetCheckBoxStyle(bool on) override { checkBoxStyle_ = on; }
  bool CheckBoxStyle() const override { return checkBoxStyle_; }
  int GetStateImage(TreeHandle item) const override;
  void SetStateImage(TreeHandle item, int stateImage) override;

  void SetBold(TreeHandle item, bool bold) override;
  bool IsBold(TreeHandle item) const override;

  void Expand(TreeHandle item, TreeExpand action) override;
  bool IsExpanded(TreeHandle item) const override;

  void SelectItem(TreeHandle item) override;
  TreeHandle GetSelectedItem() const override { return selected_; }

  void SortChildren(TreeHandle item) override;
  void DeleteAllItems() override;

  // How many nodes the tree holds.
  size_t Count() const { return nodes_.size(); }

 private:
  struct Node {
    std::u16string text;
    std::u16string toolTip;  // empty: the text
    TreeHandle parent = kNoTreeItem;
    std::vector<TreeHandle> children;
    int stateImage = kNoCheckBox;
    bool bold = false;
    bool expanded = false;
  };

  Node* Find(TreeHandle item);
  const Node* Find(TreeHandle item) const;

  // Handles of the current tree are firstHandle_ + index into nodes_; deleting
  // the tree moves firstHandle_ past them so that old handles name nothing.
  TreeHandle firstHandle_ = 1;
  std::vector<Node> nodes_;
  std::vector<TreeHandle> roots_;
  TreeHandle selected_ = kNoTreeItem;
  bool checkBoxStyle_ = false;
};

}  // namespace ui
