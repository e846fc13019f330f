#include "browser/TreeText.h"

#include <utility>
#include <vector>

#include "engine/Utf16.h"

namespace mendora {

std::string TreeText(const ui::TreeControl& tree) {
  std::string text;
  // Depth first, children in their order; the stack holds (node, depth).
  std::vector<std::pair<ui::TreeHandle, size_t>> stack;
  std::vector<ui::TreeHandle> roots = tree.GetRootItems();
  for (auto it = roots.rbegin(); it != roots.rend(); ++it) stack.emplace_back(*it, 0);
  while (!stack.empty()) {
    auto [item, depth] = stack.back();
    stack.pop_back();
    text.append(2 * depth, ' ');
    text += ToPrintableUtf8(tree.GetItemText(item));
    text += '\n';
    std::vector<ui::TreeHandle> children = tree.GetChildItems(item);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      stack.emplace_back(*it, depth + 1);
  }
  return text;
}

}  // namespace mendora
