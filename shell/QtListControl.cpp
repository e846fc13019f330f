#include "shell/QtListControl.h"

#include <QHeaderView>
#include <algorithm>

#include "shell/QtText.h"

namespace shell {

QtListControl::QtListControl(QTableView* view) : view_(view), model_(new GridModel(view)) {
  view_->setModel(model_);
}

void QtListControl::ApplyReportStyle(QTableView* view) {
  view->verticalHeader()->setVisible(false);
  // Every row is one line high: the view never measures a row's contents,
  // which a table of a million rows could not afford.
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
  view->horizontalHeader()->setHighlightSections(false);
  view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setWordWrap(false);
  view->setShowGrid(true);
}

int QtListControl::InsertColumn(int column, std::u16string_view heading, int width) {
  if (column < 0) return -1;
  column = std::min(column, model_->columnCount());
  model_->InsertColumn(column, ToQString(heading));
  if (width > 0) view_->setColumnWidth(column, width);
  return column;
}

bool QtListControl::DeleteColumn(int column) {
  if (column < 0 || column >= model_->columnCount()) return false;
  model_->RemoveColumn(column);
  return true;
}

std::u16string QtListControl::GetColumnHeading(int column) const {
  return ToU16(model_->Heading(column));
}

int QtListControl::InsertItem(int row, std::u16string_view firstCell) {
  if (row < 0) return -1;
  row = std::min(row, model_->rowCount());
  model_->InsertRow(row, firstCell);
  return row;
}

bool QtListControl::SetItemText(int row, int column, std::u16string_view text) {
  if (row < 0 || row >= model_->rowCount() || column < 0 || column >= model_->columnCount()) {
    return false;
  }
  model_->SetCell(row, column, text);
  return true;
}

std::u16string QtListControl::GetItemText(int row, int column) const {
  return std::u16string(model_->Cell(row, column));
}

}  // namespace shell
