#include "shell/CLeftView.h"

#include <QHeaderView>
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
