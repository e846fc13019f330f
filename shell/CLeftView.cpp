#include "shell/CLeftView.h"

#include <QHeaderView>

#include "shell/QtText.h"
#include "ui/ProductTexts.h"

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
  control_.InsertItem(ui::kNoTreeItem, FromUtf8(texts::kProductName).toStdU16String());
  connect(&startupTimer_, &QTimer::timeout, this, &CLeftView::StartupTimerTicked);
  connect(&gridProgressTimer_, &QTimer::timeout, this, &CLeftView::GridProgressTicked);
  startupTimer_.start(startupPollMs);
}

}  // namespace shell
