#include "ui/MemoryListControl.h"

#include <algorithm>

namespace ui {

int MemoryListControl::InsertColumn(int column, std::u16string_view heading, int width) {
  if (column < 0) return -1;
  column = std::min(column, GetColumnCount());
  headings_.insert(headings_.begin() + column, std::u16string(heading));
  widths_.insert(widths_.begin() + column, width);
  for (auto& row : rows_) row.insert(row.begin() + column, std::u16string());
  return column;
}

bool MemoryListControl::DeleteColumn(int column) {
  if (column < 0 || column >= GetColumnCount()) return false;
  headings_.erase(headings_.begin() + column);
  widths_.erase(widths_.begin() + column);
  for (auto& row : rows_) row.erase(row.begin() + column);
  return true;
}

std::u16string MemoryListControl::GetColumnHeading(int column) const {
  if (column < 0 || column >= GetColumnCount()) return {};
  return headings_[column];
}

int MemoryListControl::GetColumnWidth(int column) const {
  if (column < 0 || column >= GetColumnCount()) return 0;
  return widths_[column];
}

int MemoryListControl::InsertItem(int row, std::u16string_view firstCell) {
  if (row < 0) return -1;
  row = std::min(row, GetItemCount());
  std::vector<std::u16string> cells(GetColumnCount());
  if (!cells.empty()) cells[0] = firstCell;
  rows_.insert(rows_.begin() + row, std::move(cells));
  return row;
}

bool MemoryListControl::HasCell(int row, int column) const {
  return row >= 0 && row < GetItemCount() && column >= 0 &&
         column < static_cast<int>(rows_[row].size());
}

bool MemoryListControl::SetItemText(int row, int column, std::u16string_view text) {
  if (!HasCell(row, column)) return false;
  rows_[row][column] = text;
  return true;
}

std::u16string MemoryListControl::GetItemText(int row, int column) const {
  return HasCell(row, column) ? rows_[row][column] : std::u16string();
}

}  // namespace ui
