// Rows handed to a list control in one go: a job that fills the grid with
// thousands of rows gathers them here and passes each batch in one call,
// instead of one call per cell. The cells of all rows share one text buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

class RowBatch {
 public:
  // The cells of a new row follow, in column order, up to EndRow().
  void AddCell(std::u16string_view text) {
    text_.append(text);
    cellEnds_.push_back(text_.size());
  }
  void EndRow() { rowEnds_.push_back(cellEnds_.size()); }

  size_t RowCount() const { return rowEnds_.size(); }
  size_t CellCount(size_t row) const { return rowEnds_[row] - RowStart(row); }
  std::u16string_view Cell(size_t row, size_t column) const {
    const size_t cell = RowStart(row) + column;
    const size_t begin = cell == 0 ? 0 : cellEnds_[cell - 1];
    return std::u16string_view(text_).substr(begin, cellEnds_[cell] - begin);
  }
  bool Empty() const { return rowEnds_.empty(); }
  // Empties the batch, keeping its room for the next one.
  void Clear() {
    text_.clear();
    cellEnds_.clear();
    rowEnds_.clear();
  }

 private:
  size_t RowStart(size_t row) const { return row == 0 ? 0 : rowEnds_[row - 1]; }

  std::u16string text_;
  std::vector<size_t> cellEnds_;
  std::vector<size_t> rowEnds_;
};

}  // namespace ui
