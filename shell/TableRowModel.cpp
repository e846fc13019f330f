#include "shell/TableRowModel.h"

#include <algorithm>
#include <climits>

#include "engine/FileError.h"
#include "shell/QtText.h"

namespace shell {

TableRowModel::TableRowModel(std::unique_ptr<mendora::TableRowSource> source, uint64_t windowRows,
                             QObject* parent)
    : QAbstractTableModel(parent),
      source_(std::move(source)),
      windowRows_(std::clamp<uint64_t>(windowRows, 1, INT_MAX)) {}

int TableRowModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  const uint64_t total = ShownRows();
  return static_cast<int>(total > base_ ? std::min(total - base_, windowRows_) : 0);
}

int TableRowModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(source_->Columns().size());
}

QVariant TableRowModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
  try {
    const QString text = ToQString(source_->CellText(StoredRow(index.row()), index.column()));
    if (source_->CodePageErrors() != codePageErrorsSaid_) {
      codePageErrorsSaid_ = source_->CodePageErrors();
      // Said once the view is painted: the window is not changed while it paints.
      auto* self = const_cast<TableRowModel*>(this);
      QMetaObject::invokeMethod(
          self, [self] { emit self->CodePageErrorsFound(); }, Qt::QueuedConnection);
    }
    // A long value's tip is its start; the value viewer shows all of it.
    if (role == Qt::ToolTipRole) return text.size() > 40 ? text.left(400) : QVariant();
    return text;
  } catch (const mendora::FileError& e) {
    return QStringLiteral("<unreadable: %1>").arg(QString::fromUtf8(e.what()));
  }
}

QVariant TableRowModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) {
    try {
      const uint64_t row = StoredRow(section);
      return row == UINT64_MAX ? QVariant() : QVariant(static_cast<qulonglong>(row + 1));
    } catch (const mendora::FileError&) {
      return {};
    }
  }
  const auto& columns = source_->Columns();
  if (section < 0 || section >= static_cast<int>(columns.size())) return {};
  return ToQString(columns[section].name);
}

uint64_t TableRowModel::ShownRows() const {
  return arranged_ ? arranged_->Size() : source_->RowCount();
}

void TableRowModel::SetComplete() {
  source_->SetComplete();
  emit Completed();
}

uint64_t TableRowModel::StoredRow(int row) const {
  if (row < 0) return UINT64_MAX;
  const uint64_t at = base_ + static_cast<uint64_t>(row);
  if (!arranged_) return at;
  // Throws FileError when the arrangement's temporary file cannot be read.
  return at < arranged_->Size() ? arranged_->At(at) : UINT64_MAX;
}

void TableRowModel::SetWindowStart(uint64_t first) {
  const uint64_t total = ShownRows();
  const uint64_t last = total > windowRows_ ? total - windowRows_ : 0;
  first = std::min(first, last);
  if (first == base_) return;
  beginResetModel();
  base_ = first;
  endResetModel();
}

int TableRowModel::ShowStoredRow(uint64_t row) {
  if (arranged_) {
    // Where the row is in the arrangement: a pass over the list.
    uint64_t at = 0;
    try {
      const uint64_t size = arranged_->Size();
      while (at < size && arranged_->At(at) != row) ++at;
      if (at == size) return -1;
    } catch (const mendora::FileError&) {
      return -1;
    }
    row = at;
  }
  if (row >= ShownRows()) return -1;
  if (row < base_ || row >= base_ + windowRows_) {
    // The row lands in the middle of the window, where the view can scroll
    // both ways.
    SetWindowStart(row > windowRows_ / 2 ? row - windowRows_ / 2 : 0);
  }
  return static_cast<int>(row - base_);
}

void TableRowModel::BeginArrangement(size_t memoryBytes) {
  beginResetModel();
  arranged_ = std::make_unique<mendora::RowList>(memoryBytes);
  base_ = 0;
  endResetModel();
}

void TableRowModel::AddArranged(std::span<const uint64_t> rows) {
  if (!arranged_ || rows.empty()) return;
  const int shownBefore = rowCount();
  const uint64_t total = arranged_->Size() + rows.size();
  const int shownAfter = static_cast<int>(total > base_ ? std::min(total - base_, windowRows_) : 0);
  if (shownAfter <= shownBefore) {
    arranged_->Append(rows);
  } else {
    beginInsertRows(QModelIndex(), shownBefore, shownAfter - 1);
    arranged_->Append(rows);
    endInsertRows();
  }
  emit TotalChanged();
}

void TableRowModel::EndArrangement() {
  beginResetModel();
  arranged_.reset();
  base_ = 0;
  endResetModel();
}

void TableRowModel::AddPages(std::span<const mendora::PageRowCount> pages) {
  uint64_t added = 0;
  for (const auto& p : pages) added += p.rows;
  const int shownBefore = rowCount();
  // Arranged rows stay as they are; the new ones join when the arrangement
  // is lifted. Rows past the window wait for the window to move.
  const uint64_t total = source_->RowCount() + added;
  const int shownAfter =
      arranged_ ? shownBefore
                : static_cast<int>(total > base_ ? std::min(total - base_, windowRows_) : 0);
  if (shownAfter <= shownBefore) {
    source_->AddPages(pages);
  } else {
    beginInsertRows(QModelIndex(), shownBefore, shownAfter - 1);
    source_->AddPages(pages);
    endInsertRows();
  }
  if (added) emit TotalChanged();
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
