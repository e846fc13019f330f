#include "shell/GridModel.h"

#include <algorithm>

#include "shell/QtText.h"

namespace shell {
namespace {

constexpr size_t kMaxCellUnits = 0xFFFF;

}  // namespace

int GridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int GridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headings_.size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  return ToQString(Cell(index.row(), index.column()));
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) return headings_.value(section);
  return section + 1;
}

GridModel::Row GridModel::EncodeRow(const std::vector<std::u16string_view>& cells) const {
  const size_t columns = headings_.size();
  size_t units = columns;
  for (size_t c = 0; c < columns && c < cells.size(); ++c) {
    units += std::min(cells[c].size(), kMaxCellUnits);
  }
  Row row;
  row.reserve(units);
  for (size_t c = 0; c < columns; ++c) {
    const size_t length = c < cells.size() ? std::min(cells[c].size(), kMaxCellUnits) : 0;
    row.push_back(static_cast<char16_t>(length));
  }
  for (size_t c = 0; c < columns && c < cells.size(); ++c) {
    row.append(cells[c].substr(0, kMaxCellUnits));
  }
  return row;
}

std::vector<std::u16string_view> GridModel::DecodeRow(const Row& row) const {
  std::vector<std::u16string_view> cells;
  const size_t columns = headings_.size();
  size_t at = columns;
  for (size_t c = 0; c < columns && c < row.size(); ++c) {
    const size_t length = row[c];
    cells.push_back(std::u16string_view(row).substr(at, length));
    at += length;
  }
  cells.resize(columns);
  return cells;
}

std::u16string_view GridModel::Cell(int row, int column) const {
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return {};
  const Row& r = rows_[row];
  size_t at = headings_.size();
  for (int c = 0; c < column; ++c) at += r[c];
  return std::u16string_view(r).substr(at, r[column]);
}

void GridModel::InsertColumn(int column, const QString& heading) {
  column = std::clamp(column, 0, columnCount());
  beginInsertColumns(QModelIndex(), column, column);
  std::vector<std::vector<std::u16string>> kept;
  for (Row& row : rows_) {
    std::vector<std::u16string_view> cells = DecodeRow(row);
    cells.insert(cells.begin() + column, std::u16string_view());
    kept.emplace_back(cells.begin(), cells.end());
  }
  headings_.insert(column, heading);
  storedUnits_ = 0;
  for (size_t r = 0; r < rows_.size(); ++r) {
    rows_[r] = EncodeRow(std::vector<std::u16string_view>(kept[r].begin(), kept[r].end()));
    storedUnits_ += rows_[r].size();
  }
  endInsertColumns();
}

void GridModel::RemoveColumn(int column) {
  if (column < 0 || column >= columnCount()) return;
  beginRemoveColumns(QModelIndex(), column, column);
  std::vector<std::vector<std::u16string>> kept;
  for (Row& row : rows_) {
    std::vector<std::u16string_view> cells = DecodeRow(row);
    cells.erase(cells.begin() + column);
    kept.emplace_back(cells.begin(), cells.end());
  }
  headings_.removeAt(column);
  storedUnits_ = 0;
  for (size_t r = 0; r < rows_.size(); ++r) {
    rows_[r] = EncodeRow(std::vector<std::u16string_view>(kept[r].begin(), kept[r].end()));
    storedUnits_ += rows_[r].size();
  }
  endRemoveColumns();
}

void GridModel::InsertRow(int row, std::u16string_view firstCell) {
  row = std::clamp(row, 0, rowCount());
  beginInsertRows(QModelIndex(), row, row);
  Row encoded = EncodeRow({firstCell});
  storedUnits_ += encoded.size();
  rows_.insert(rows_.begin() + row, std::move(encoded));
  endInsertRows();
}

void GridModel::SetCell(int row, int column, std::u16string_view text) {
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return;
  std::vector<std::u16string_view> cells = DecodeRow(rows_[row]);
  cells[column] = text;
  Row encoded = EncodeRow(cells);
  storedUnits_ += encoded.size();
  storedUnits_ -= rows_[row].size();
  rows_[row] = std::move(encoded);
  emit dataChanged(index(row, column), index(row, column), {Qt::DisplayRole});
}

void GridModel::AppendRows(const ui::RowBatch& batch) {
  if (batch.Empty()) return;
  const int first = rowCount();
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(batch.RowCount()) - 1);
  std::vector<std::u16string_view> cells;
  for (size_t r = 0; r < batch.RowCount(); ++r) {
    cells.clear();
    for (size_t c = 0; c < batch.CellCount(r); ++c) cells.push_back(batch.Cell(r, c));
    rows_.push_back(EncodeRow(cells));
    storedUnits_ += rows_.back().size();
  }
  endInsertRows();
}

void GridModel::RemoveAllRows() {
  beginResetModel();
  rows_.clear();
  rows_.shrink_to_fit();
  storedUnits_ = 0;
  endResetModel();
}

}  // namespace shell
