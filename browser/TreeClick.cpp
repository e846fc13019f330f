#include "browser/TreeClick.h"

#include <algorithm>
#include <functional>

namespace mendora {
namespace {

bool InHandleList(const ObjectHandleList& handles, ui::TreeHandle node) {
  return std::any_of(handles.begin(), handles.end(),
                     [node](const _TableHandle& h) { return h.handle == node; });
}

void ForEachDescendant(ui::TreeControl& tree, ui::TreeHandle node,
                       const std::function<void(ui::TreeHandle)>& act) {
  for (ui::TreeHandle child : tree.GetChildItems(node)) {
    act(child);
    ForEachDescendant(tree, child, act);
  }
}

ClickShows LabelClickShows(const ObjectTreeNodes& nodes, ui::TreeHandle node) {
  for (ui::TreeHandle fixed : {nodes.root, nodes.tables, nodes.programmability, nodes.procedures,
                               nodes.functions, nodes.triggers, nodes.views}) {
    if (node == fixed) return ClickShows::kWelcome;
  }
  const NodeObject* object = nodes.Find(node);
  if (!object) return ClickShows::kNothing;
  switch (object->kind) {
    case NodeKind::kTableGroup:
      return ClickShows::kWelcome;
    case NodeKind::kPrimaryKey:
    case NodeKind::kUniqueKey:
    case NodeKind::kForeignKey:
    case NodeKind::kCheck:
    case NodeKind::kIndex:
      return ClickShows::kKeyDdl;
    case NodeKind::kModule:
      return ClickShows::kModuleText;
    case NodeKind::kTable:
      return ClickShows::kTableRows;
    case NodeKind::kDeletedRows:
      return ClickShows::kDeletedRows;
  }
  return ClickShows::kNothing;
}

}  // namespace

void CheckNode(ui::TreeControl& tree, const ObjectHandleList& handles, ui::TreeHandle node) {
  if (!InHandleList(handles, node)) return;
  tree.SetStateImage(node, ui::kChecked);
  tree.SetBold(node, true);
}

void UncheckNode(ui::TreeControl& tree, const ObjectHandleList& handles, ui::TreeHandle node) {
  if (!InHandleList(handles, node)) return;
  tree.SetStateImage(node, ui::kUnchecked);
  tree.SetBold(node, false);
}

bool ToggleNodeCheck(ui::TreeControl& tree, const ObjectHandleList& handles, ui::TreeHandle node) {
  std::vector<ui::TreeHandle> ancestors;
  for (ui::TreeHandle a = tree.GetParentItem(node); a != ui::kNoTreeItem;
       a = tree.GetParentItem(a)) {
    ancestors.push_back(a);
  }
  if (tree.GetStateImage(node) == ui::kUnchecked) {
    CheckNode(tree, handles, node);
    ForEachDescendant(tree, node, [&](ui::TreeHandle d) { CheckNode(tree, handles, d); });
  } else {
    UncheckNode(tree, handles, node);
    ForEachDescendant(tree, node, [&](ui::TreeHandle d) { UncheckNode(tree, handles, d); });
    for (ui::TreeHandle a : ancestors) UncheckNode(tree, handles, a);
  }
  const bool anyChecked = std::any_of(handles.begin(), handles.end(), [&](const _TableHandle& h) {
    return tree.GetStateImage(h.handle) != ui::kUnchecked;
  });
  for (ui::TreeHandle a : ancestors) {
    const auto children = tree.GetChildItems(a);
    const bool allChecked = std::none_of(children.begin(), children.end(), [&](ui::TreeHandle c) {
      return tree.GetStateImage(c) == ui::kUnchecked;
    });
    (allChecked ? CheckNode : UncheckNode)(tree, handles, a);
  }
  for (ui::TreeHandle a : ancestors) {
    const auto children = tree.GetChildItems(a);
    tree.SetBold(a, std::any_of(children.begin(), children.end(),
                                [&](ui::TreeHandle c) { return tree.IsBold(c); }));
  }
  return anyChecked;
}

TreeClickResult OnTreeClick(ui::TreeControl& tree, const ObjectTreeNodes& nodes,
                            const ObjectHandleList& handles, ui::TreeHandle node, TreeHit hit,
                            bool gridLoadRunning) {
  TreeClickResult result;
  if (node == ui::kNoTreeItem || hit == TreeHit::kNowhere || hit == TreeHit::kRight ||
      hit == TreeHit::kIndent) {
    return result;
  }
  // The expand button opens or closes the branch and nothing else: the
  // highlighted node stays the one whose content shows.
  if (hit == TreeHit::kButton) {
    result.defaultHandling = true;
    return result;
  }
  if (!gridLoadRunning) tree.SelectItem(node);
  if (hit == TreeHit::kStateIcon) {
    result.saveAllowed = ToggleNodeCheck(tree, handles, node);
    return result;
  }
  result.defaultHandling = true;
  if (!gridLoadRunning) result.shows = LabelClickShows(nodes, node);
  return result;
}

}  // namespace mendora
