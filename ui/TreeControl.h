// The tree control the object browser builds its tree in. The window layer
// implements it over its tree widget; MemoryTreeControl keeps the same tree in
// memory for the command-line tool and the tests. Both follow the platform
// tree view the program was designed on:
//   - nodes are named by handles; 0 names no node, and a handle is never
//     reused, so a handle from a deleted tree names nothing;
//   - a node inserted while the check-box style is on carries a check box
//     (state image 1, unchecked; 2 is checked); one inserted while it is off
//     carries none (state image 0);
//   - expanding a node that has no children leaves it closed;
//   - sorting orders one level of children by label without regard to case
//     and with numbers in their counting order, keeping equal labels in their
//     order (LabelLess below);
//   - calls naming no node do nothing and answer empty.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

using TreeHandle = uint32_t;
inline constexpr TreeHandle kNoTreeItem = 0;

enum class TreeExpand { kExpand, kCollapse, kToggle };

// State images of a node's check box.
inline constexpr int kNoCheckBox = 0;
inline constexpr int kUnchecked = 1;
inline constexpr int kChecked = 2;

class TreeControl {
 public:
  virtual ~TreeControl() = default;

  // Appends a node as the last child of `parent`, or as the last root when
  // `parent` is kNoTreeItem. Returns kNoTreeItem when `parent` names no node.
  virtual TreeHandle InsertItem(TreeHandle parent, std::u16string_view text) = 0;
  virtual void SetItemText(TreeHandle item, std::u16string_view text) = 0;
  virtual std::u16string GetItemText(TreeHandle item) const = 0;
  // What the node says when the pointer rests on it, in place of its text;
  // an empty text gives back the node's own.
  virtual void SetItemToolTip(TreeHandle item, std::u16string_view text) = 0;
  virtual std::u16string GetItemToolTip(TreeHandle item) const = 0;

  // The first root; kNoTreeItem for an empty tree.
  virtual TreeHandle GetRootItem() const = 0;
  virtual std::vector<TreeHandle> GetRootItems() const = 0;
  virtual TreeHandle GetParentItem(TreeHandle item) const = 0;
  virtual std::vector<TreeHandle> GetChildItems(TreeHandle item) const = 0;

  // Whether nodes inserted from now on carry a check box.
  virtual void SetCheckBoxStyle(bool on) = 0;
  virtual bool CheckBoxStyle() const = 0;
  // kNoCheckBox, kUnchecked or kChecked. Setting 1 or 2 on a node gives it a
  // check box; setting 0 takes it away.
  virtual int GetStateImage(TreeHandle item) const = 0;
  virtual void SetStateImage(TreeHandle item, int stateImage) = 0;

  virtual void SetBold(TreeHandle item, bool bold) = 0;
  virtual bool IsBold(TreeHandle item) const = 0;

  virtual void Expand(TreeHandle item, TreeExpand action) = 0;
  virtual bool IsExpanded(TreeHandle item) const = 0;

  virtual void SelectItem(TreeHandle item) = 0;
  virtual TreeHandle GetSelectedItem() const = 0;

  // Sorts the children of one node (not their children) with LabelLess, stably.
  virtual void SortChildren(TreeHandle item) = 0;
  virtual void DeleteAllItems() = 0;
};

// The order SortChildren uses: labels compared unit by unit after folding
// each to lower case (ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic),
// and runs of digits by their value, so that names read in the order a
// person counts: Table_1, Table_2, Table_10, Table_100.
bool LabelLess(std::u16string_view a, std::u16string_view b);
char16_t FoldLabelCase(char16_t unit);

}  // namespace ui
