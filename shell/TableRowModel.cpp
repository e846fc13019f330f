#include "shell/TableRowModel.h"

#include <algorithm>
#include <climits>

#include "engine/FileError.h"
#include "shell/QtText.h"

namespace shell {

TableRowModel::TableRowModel(std::unique_ptr<mendora::TableRowSource> source, QObject* parent)
    : QAbstractTableModel(parent), source_(std::move(source)) {}

int TableRowModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  if (arranged_) return static_cast<int>(arranged_->size());
  return static_cast<int>(std::min<uint64_t>(source_->RowCount(), INT_MAX));
}

int TableRowModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(source_->Columns().size());
}

QVariant TableRowModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
  try {
    const QString text = ToQString(source_->CellText(StoredRow(index.row()), index.column()));
    // A long value's tip is its start; the value viewer shows all of it.
    if (role == Qt::ToolTipRole) return text.size() > 40 ? text.left(400) : QVariant();
    return text;
  } catch (const mendora::FileError& e) {
    return QStringLiteral("<unreadable: %1>").arg(QString::fromUtf8(e.what()));
  }
}

QVariant TableRowModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return static_cast<qulonglong>(StoredRow(section) + 1);
  const auto& columns = source_->Columns();
  if (section < 0 || section >= static_cast<int>(columns.size())) return {};
  return ToQString(columns[section].name);
}

uint64_t TableRowModel::StoredRow(int row) const {
  if (!arranged_) return static_cast<uint64_t>(row);
  return row >= 0 && static_cast<size_t>(row) < arranged_->size() ? (*arranged_)[row] : UINT64_MAX;
}

void TableRowModel::Arrange(std::optional<std::vector<uint32_t>> rows) {
  beginResetModel();
  arranged_ = std::move(rows);
  endResetModel();
}

void TableRowModel::AddPages(std::span<const mendora::PageRowCount> pages) {
  const uint64_t before = source_->RowCount();
  uint64_t added = 0;
  for (const auto& p : pages) added += p.rows;
  if (added == 0 || before >= INT_MAX) return;
  if (arranged_) {
    // Arranged rows stay as they are; the new ones join when the
    // arrangement is lifted.
    source_->AddPages(pages);
    return;
  }
  const int first = static_cast<int>(before);
  const int last = static_cast<int>(std::min<uint64_t>(before + added, INT_MAX)) - 1;
  beginInsertRows(QModelIndex(), first, last);
  source_->AddPages(pages);
  endInsertRows();
}

const mendora::Value* TableRowModel::CellValue(int row, int column) const {
  if (row < 0 || column < 0) return nullptr;
  try {
    const mendora::RowValues* values = source_->Row(StoredRow(row));
    if (!values || column >= static_cast<int>(values->size())) return nullptr;
    return &(*values)[column];
  } catch (const mendora::FileError&) {
    return nullptr;
  }
}

}  // namespace shell
