#include "shell/CLeftView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>

#include "browser/ObjectTree.h"
#include "shell/QtText.h"

namespace shell {

CLeftView::CLeftView(int startupPollMs, QWidget* parent) : QTreeWidget(parent), control_(this) {
  setObjectName(QStringLiteral("CLeftView"));
  setColumnCount(1);
  setHeaderHidden(true);
  setRootIsDecorated(true);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  header()->setStretchLastSection(false);
  // The view as first shown: the product root only.
  control_.InsertItem(ui::kNoTreeItem, mendora::ProductRootLabel());
  connect(&startupTimer_, &QTimer::timeout, this, &CLeftView::StartupTimerTicked);
  connect(&gridProgressTimer_, &QTimer::timeout, this, &CLeftView::GridProgressTicked);
  startupTimer_.start(startupPollMs);
}

QRect CLeftView::CheckBoxRect(ui::TreeHandle node) const {
  const QTreeWidgetItem* item = control_.Item(node);
  if (!item || !item->data(0, Qt::CheckStateRole).isValid()) return {};
  QStyleOptionViewItem option;
  option.initFrom(this);
  option.rect = visualRect(indexFromItem(item));
  option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
  option.text = item->text(0);
  option.font = item->font(0);
  return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

QRect CLeftView::LabelRect(ui::TreeHandle node) const {
  const QTreeWidgetItem* item = control_.Item(node);
  if (!item) return {};
  const QRect cell = visualRect(indexFromItem(item));
  const QRect check = CheckBoxRect(node);
  const int left = check.isEmpty() ? cell.left() : check.right() + 1;
  const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  const int width = QFontMetrics(item->font(0)).horizontalAdvance(item->text(0)) + 4 * margin;
  return QRect(left, cell.top(), width, cell.height());
}

QRect CLeftView::ButtonRect(ui::TreeHandle node) const {
  const QTreeWidgetItem* item = control_.Item(node);
  if (!item) return {};
  const QRect cell = visualRect(indexFromItem(item));
  return QRect(cell.left() - indentation(), cell.top(), indentation(), cell.height());
}

mendora::TreeHit CLeftView::HitTest(const QPoint& point, ui::TreeHandle* node) const {
  using mendora::TreeHit;
  const QTreeWidgetItem* item = itemAt(point);
  *node = control_.Handle(item);
  if (!item) return TreeHit::kNowhere;
  const QRect cell = visualRect(indexFromItem(item));
  if (point.x() < cell.left()) {
    const bool hasButton = item->childCount() > 0;
    return hasButton && ButtonRect(*node).contains(point) ? TreeHit::kButton : TreeHit::kIndent;
  }
  if (CheckBoxRect(*node).contains(point)) return TreeHit::kStateIcon;
  const QRect label = LabelRect(*node);
  if (point.x() < label.left()) return TreeHit::kStateIcon;
  return point.x() <= label.right() ? TreeHit::kLabel : TreeHit::kRight;
}

namespace {

// Shows `item` when it or anything below it names `text`; a node that names it
// shows its whole branch. Returns whether `item` shows.
bool FilterBranch(QTreeWidgetItem* item, const QString& text, bool ancestorMatched) {
  const bool match =
      ancestorMatched || text.isEmpty() || item->text(0).contains(text, Qt::CaseInsensitive);
  bool below = false;
  for (int c = 0; c < item->childCount(); ++c) {
    below |= FilterBranch(item->child(c), text, match);
  }
  item->setHidden(!match && !below);
  // The way to a match is opened.
  if (!text.isEmpty() && below && !ancestorMatched) item->setExpanded(true);
  return match || below;
}

}  // namespace

void CLeftView::Filter(const QString& text) {
  const QString wanted = text.trimmed();
  for (int i = 0; i < topLevelItemCount(); ++i) {
    // The root (the file's path) always shows and never matches itself.
    QTreeWidgetItem* root = topLevelItem(i);
    bool below = false;
    for (int c = 0; c < root->childCount(); ++c)
      below |= FilterBranch(root->child(c), wanted, false);
    if (!wanted.isEmpty() && below) root->setExpanded(true);
  }
}

void CLeftView::keyPressEvent(QKeyEvent* event) {
  QTreeWidgetItem* before = currentItem();
  const int key = event->key();
  if (onClick_ && (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
    // The keyboard's click on the check box, where the node has one.
    if (before && before->data(0, Qt::CheckStateRole).isValid()) {
      onClick_(control_.Handle(before), mendora::TreeHit::kStateIcon);
    }
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
  // A node reached by the keyboard is clicked on its label, so that what
  // shows is always the highlighted node's.
  QTreeWidgetItem* now = currentItem();
  if (onClick_ && now && now != before) onClick_(control_.Handle(now), mendora::TreeHit::kLabel);
}

void CLeftView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !onClick_) {
    QTreeWidget::mousePressEvent(event);
    return;
  }
  ui::TreeHandle node = ui::kNoTreeItem;
  const mendora::TreeHit hit = HitTest(event->position().toPoint(), &node);
  if (onClick_(node, hit)) {
    QTreeWidget::mousePressEvent(event);
  } else {
    event->accept();
  }
}

}  // namespace shell
