#include "shell/CMendoraSqlView.h"

#include <QVBoxLayout>

namespace shell {

CMendoraSqlView::CMendoraSqlView(QWidget* parent)
    : QWidget(parent), table_(new QTableView(this)), control_(table_) {
  setObjectName(QStringLiteral("CMendoraSqlView"));
  table_->setObjectName(QStringLiteral("List%1").arg(kListId));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(table_);
  QtListControl::ApplyReportStyle(table_);
  table_->hide();
}

void CMendoraSqlView::Clear() {
  // As many deletions of column 0 as the header reports columns.
  for (int n = control_.GetColumnCount(); n > 0; --n) control_.DeleteColumn(0);
  control_.DeleteAllItems();
}

void CMendoraSqlView::ClearAndHide() {
  Clear();
  control_.ShowList(false);
}

}  // namespace shell
