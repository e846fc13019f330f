#include "shell/CLeftView.h"

#include <QHeaderView>

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

}  // namespace shell
