#include "ui/MemoryTreeControl.h"

#include <algorithm>

namespace ui {

MemoryTreeControl::Node* MemoryTreeControl::Find(TreeHandle item) {
  if (item < firstHandle_ || item - firstHandle_ >= nodes_.size()) return nullptr;
  return &nodes_[item - firstHandle_];
}

const MemoryTreeControl::Node* MemoryTreeControl::Find(TreeHandle item) const {
  if (item < firstHandle_ || item - firstHandle_ >= nodes_.size()) return nullptr;
  return &nodes_[item - firstHandle_];
}

TreeHandle MemoryTreeControl::InsertItem(TreeHandle parent, std::u16string_view text) {
  if (parent != kNoTreeItem && !Find(parent)) return kNoTreeItem;
  TreeHandle handle = firstHandle_ + TreeHandle(nodes_.size());
  Node node;
  node.text = text;
  node.parent = parent;
  node.stateImage = checkBoxStyle_ ? kUnchecked : kNoCheckBox;
  nodes_.push_back(std::move(node));
  if (parent == kNoTreeItem) {
    roots_.push_back(handle);
  } else {
    Find(parent)->children.push_back(handle);
  }
  return handle;
}

void MemoryTreeControl::SetItemText(TreeHandle item, std::u16string_view text) {
  if (Node* n = Find(item)) n->text = text;
}

void MemoryTreeControl::SetItemToolTip(TreeHandle item, std::u16string_view text) {
  if (Node* n = Find(item)) n->toolTip = text;
}

std::u16string MemoryTreeControl::GetItemToolTip(TreeHandle item) const {
  const Node* n = Find(item);
  if (!n) return {};
  return n->toolTip.empty() ? n->text : n->toolTip;
}

std::u16string MemoryTreeControl::GetItemText(TreeHandle item) const {
  const Node* n = Find(item);
  return n ? n->text : std::u16string();
}

TreeHandle MemoryTreeControl::GetRootItem() const {
  return roots_.empty() ? kNoTreeItem : roots_.front();
}

TreeHandle MemoryTreeControl::GetParentItem(TreeHandle item) const {
  const Node* n = Find(item);
  return n ? n->parent : kNoTreeItem;
}

std::vector<TreeHandle> MemoryTreeControl::GetChildItems(TreeHandle item) const {
  const Node* n = Find(item);
  return n ? n->children : std::vector<TreeHandle>();
}

int MemoryTreeControl::GetStateImage(TreeHandle item) const {
  const Node* n = Find(item);
  return n ? n->stateImage : kNoCheckBox;
}

void MemoryTreeControl::SetStateImage(TreeHandle item, int stateImage) {
  if (stateImage < kNoCheckBox || stateImage > kChecked) return;
  if (Node* n = Find(item)) n->stateImage = stateImage;
}

void MemoryTreeControl::SetBold(TreeHandle item, bool bold) {
  if (Node* n = Find(item)) n->bold = bold;
}

bool MemoryTreeControl::IsBold(TreeHandle item) const {
  const Node* n = Find(item);
  return n && n->bold;
}

void MemoryTreeControl::Expand(TreeHandle item, TreeExpand action) {
  Node* n = Find(item);
  if (!n) return;
  bool open = action == TreeExpand::kExpand     ? true
              : action == TreeExpand::kCollapse ? false
                                                : !n->expanded;
  // As in the platform control, a node without children does not open.
  n->expanded = open && !n->children.empty();
}

bool MemoryTreeControl::IsExpanded(TreeHandle item) const {
  const Node* n = Find(item);
  return n && n->expanded;
}

void MemoryTreeControl::SelectItem(TreeHandle item) {
  if (item == kNoTreeItem || Find(item)) selected_ = item;
}

void MemoryTreeControl::SortChildren(TreeHandle item) {
  Node* n = Find(item);
  if (!n) return;
  std::stable_sort(n->children.begin(), n->children.end(), [this](TreeHandle a, TreeHandle b) {
    return LabelLess(nodes_[a - firstHandle_].text, nodes_[b - firstHandle_].text);
  });
}

void MemoryTreeControl::DeleteAllItems() {
  firstHandle_ += TreeHandle(nodes_.size());
  nodes_.clear();
  roots_.clear();
  selected_ = kNoTreeItem;
}

}  // namespace ui
