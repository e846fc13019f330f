#include "shell/QtListControl.h"

#include <QHeaderView>
#include <algorithm>

#include "shell/QtText.h"

namespace shell {

QtListControl::QtListControl(QTableWidget* table) : table_(table) {}

void QtListControl::ApplyReportStyle(QTableWidget* table) {
  table->setColumnCount(0);
  table->setRowCount(0);
  table->verticalHeader()->setVisible(false);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  table->horizontalHeader()->setHighlightSections(false);
  table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setWordWrap(false);
  table->setShowGrid(true);
}

int QtListControl::InsertColumn(int column, std::u16string_view heading, int width) {
  if (column < 0) return -1;
  column = std::min(column, table_->columnCount());
  table_->insertColumn(column);
  table_->setHorizontalHeaderItem(column, new QTableWidgetItem(ToQString(heading)));
  if (width > 0) table_->setColumnWidth(column, width);
  return column;
}

bool QtListControl::DeleteColumn(int column) {
  if (column < 0 || column >= table_->columnCount()) return false;
  table_->removeColumn(column);
  return true;
}

std::u16string QtListControl::GetColumnHeading(int column) const {
  const QTableWidgetItem* item = column >= 0 && column < table_->columnCount()
                                     ? table_->horizontalHeaderItem(column)
                                     : nullptr;
  return item ? ToU16(item->text()) : std::u16string();
}

int QtListControl::InsertItem(int row, std::u16string_view firstCell) {
  if (row < 0) return -1;
  row = std::min(row, table_->rowCount());
  table_->insertRow(row);
  if (table_->columnCount() > 0)
    table_->setItem(row, 0, new QTableWidgetItem(ToQString(firstCell)));
  return row;
}

bool QtListControl::SetItemText(int row, int column, std::u16string_view text) {
  if (row < 0 || row >= table_->rowCount() || column < 0 || column >= table_->columnCount()) {
    return false;
  }
  if (QTableWidgetItem* item = table_->item(row, column)) {
    item->setText(ToQString(text));
  } else {
    table_->setItem(row, column, new QTableWidgetItem(ToQString(text)));
  }
  return true;
}

std::u16string QtListControl::GetItemText(int row, int column) const {
  const QTableWidgetItem* item = table_->item(row, column);
  return item ? ToU16(item->text()) : std::u16string();
}

}  // namespace shell
