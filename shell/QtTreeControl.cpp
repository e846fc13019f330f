#include "shell/QtTreeControl.h"

#include <algorithm>

#include "shell/QtText.h"

namespace shell {
namespace {

constexpr int kHandleRole = Qt::UserRole + 1;

}  // namespace

QtTreeControl::QtTreeControl(QTreeWidget* tree) : tree_(tree) {}

QTreeWidgetItem* QtTreeControl::Item(ui::TreeHandle handle) const {
  auto it = items_.find(handle);
  return it == items_.end() ? nullptr : it->second;
}

ui::TreeHandle QtTreeControl::Handle(const QTreeWidgetItem* item) const {
  return item ? item->data(0, kHandleRole).toUInt() : ui::kNoTreeItem;
}

ui::TreeHandle QtTreeControl::InsertItem(ui::TreeHandle parent, std::u16string_view text) {
  QTreeWidgetItem* parentItem = nullptr;
  if (parent != ui::kNoTreeItem && !(parentItem = Item(parent))) return ui::kNoTreeItem;
  auto* item = new QTreeWidgetItem(QStringList{ToQString(text)});
  // The full name, where the pane is too narrow to show it.
  item->setToolTip(0, item->text(0));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  const ui::TreeHandle handle = nextHandle_++;
  item->setData(0, kHandleRole, handle);
  if (checkBoxStyle_) item->setCheckState(0, Qt::Unchecked);
  if (parentItem) {
    parentItem->addChild(item);
  } else {
    tree_->addTopLevelItem(item);
  }
  items_[handle] = item;
  return handle;
}

void QtTreeControl::SetItemText(ui::TreeHandle item, std::u16string_view text) {
  if (QTreeWidgetItem* i = Item(item)) {
    i->setText(0, ToQString(text));
    i->setToolTip(0, i->text(0));
  }
}

void QtTreeControl::SetItemToolTip(ui::TreeHandle item, std::u16string_view text) {
  if (QTreeWidgetItem* i = Item(item))
    i->setToolTip(0, text.empty() ? i->text(0) : ToQString(text));
}

std::u16string QtTreeControl::GetItemToolTip(ui::TreeHandle item) const {
  const QTreeWidgetItem* i = Item(item);
  return i ? ToU16(i->toolTip(0)) : std::u16string();
}

std::u16string QtTreeControl::GetItemText(ui::TreeHandle item) const {
  const QTreeWidgetItem* i = Item(item);
  return i ? ToU16(i->text(0)) : std::u16string();
}

ui::TreeHandle QtTreeControl::GetRootItem() const {
  return tree_->topLevelItemCount() ? Handle(tree_->topLevelItem(0)) : ui::kNoTreeItem;
}

std::vector<ui::TreeHandle> QtTreeControl::GetRootItems() const {
  std::vector<ui::TreeHandle> roots;
  for (int i = 0; i < tree_->topLevelItemCount(); ++i)
    roots.push_back(Handle(tree_->topLevelItem(i)));
  return roots;
}

ui::TreeHandle QtTreeControl::GetParentItem(ui::TreeHandle item) const {
  const QTreeWidgetItem* i = Item(item);
  return i ? Handle(i->parent()) : ui::kNoTreeItem;
}

std::vector<ui::TreeHandle> QtTreeControl::GetChildItems(ui::TreeHandle item) const {
  std::vector<ui::TreeHandle> children;
  if (const QTreeWidgetItem* i = Item(item)) {
    for (int c = 0; c < i->childCount(); ++c) children.push_back(Handle(i->child(c)));
  }
  return children;
}

int QtTreeControl::GetStateImage(ui::TreeHandle item) const {
  const QTreeWidgetItem* i = Item(item);
  if (!i) return ui::kNoCheckBox;
  const QVariant state = i->data(0, Qt::CheckStateRole);
  if (!state.isValid()) return ui::kNoCheckBox;
  return state.toInt() == Qt::Checked ? ui::kChecked : ui::kUnchecked;
}

void QtTreeControl::SetStateImage(ui::TreeHandle item, int stateImage) {
  QTreeWidgetItem* i = Item(item);
  if (!i || stateImage < ui::kNoCheckBox || stateImage > ui::kChecked) return;
  if (stateImage == ui::kNoCheckBox) {
    i->setData(0, Qt::CheckStateRole, QVariant());
  } else {
    i->setCheckState(0, stateImage == ui::kChecked ? Qt::Checked : Qt::Unchecked);
  }
}

void QtTreeControl::SetBold(ui::TreeHandle item, bool bold) {
  if (QTreeWidgetItem* i = Item(item)) {
    QFont font = i->font(0);
    font.setBold(bold);
    i->setFont(0, font);
  }
}

bool QtTreeControl::IsBold(ui::TreeHandle item) const {
  const QTreeWidgetItem* i = Item(item);
  return i && i->font(0).bold();
}

void QtTreeControl::Expand(ui::TreeHandle item, ui::TreeExpand action) {
  QTreeWidgetItem* i = Item(item);
  if (!i) return;
  const bool open = action == ui::TreeExpand::kExpand     ? true
                    : action == ui::TreeExpand::kCollapse ? false
                                                          : !IsExpanded(item);
  // As in the platform control, a node without children does not open; it
  // would otherwise show open once children arrive.
  i->setExpanded(open && i->childCount() > 0);
}

bool QtTreeControl::IsExpanded(ui::TreeHandle item) const {
  const QTreeWidgetItem* i = Item(item);
  return i && i->childCount() > 0 && i->isExpanded();
}

void QtTreeControl::SelectItem(ui::TreeHandle item) {
  if (item == ui::kNoTreeItem) {
    tree_->setCurrentItem(nullptr);
    tree_->clearSelection();
    return;
  }
  if (QTreeWidgetItem* i = Item(item)) {
    tree_->setCurrentItem(i);
    i->setSelected(true);
  }
}

ui::TreeHandle QtTreeControl::GetSelectedItem() const {
  return Handle(tree_->currentItem());
}

void QtTreeControl::SortChildren(ui::TreeHandle item) {
  QTreeWidgetItem* i = Item(item);
  if (!i) return;
  // Taking the children out and putting them back keeps each item (and so
  // its handle, check state and children) as it was; only the open state
  // lives in the view, so it is noted for the whole branch and put back.
  std::vector<QTreeWidgetItem*> open;
  std::vector<QTreeWidgetItem*> pending{i};
  while (!pending.empty()) {
    QTreeWidgetItem* next = pending.back();
    pending.pop_back();
    if (next->isExpanded()) open.push_back(next);
    for (int c = 0; c < next->childCount(); ++c) pending.push_back(next->child(c));
  }
  // The current item may be among the children taken out; it stays current.
  QTreeWidgetItem* current = tree_->currentItem();
  QList<QTreeWidgetItem*> children = i->takeChildren();
  std::stable_sort(children.begin(), children.end(),
                   [](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
                     return ui::LabelLess(ToU16(a->text(0)), ToU16(b->text(0)));
                   });
  i->addChildren(children);
  for (QTreeWidgetItem* o : open) o->setExpanded(true);
  if (current && tree_->currentItem() != current) {
    tree_->setCurrentItem(current);
    current->setSelected(true);
  }
}

namespace {

// Whether anything below `item` is checked; an unchecked node with a check
// box over checked ones shows partly checked meanwhile.
bool MarkPartial(QTreeWidgetItem* item) {
  bool below = false;
  for (int c = 0; c < item->childCount(); ++c) below |= MarkPartial(item->child(c));
  const QVariant state = item->data(0, Qt::CheckStateRole);
  if (!state.isValid()) return below;
  const auto check = static_cast<Qt::CheckState>(state.toInt());
  if (check == Qt::Checked) return true;
  const Qt::CheckState shown = below ? Qt::PartiallyChecked : Qt::Unchecked;
  if (check != shown) item->setCheckState(0, shown);
  return below;
}

}  // namespace

void QtTreeControl::ShowPartialChecks() {
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) MarkPartial(tree_->topLevelItem(i));
}

void QtTreeControl::DeleteAllItems() {
  items_.clear();
  tree_->clear();
}

}  // namespace shell
