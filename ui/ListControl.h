// The list control in report style that the right pane's grid shows: a header
// of columns and rows of cell texts. The window layer implements it over its
// item view; MemoryListControl keeps the same list in memory for the
// command-line tool and the tests. Both follow the platform list control the
// program was designed on:
//   - columns and rows are named by their zero-based position;
//   - inserting at a position past the end appends; a negative position
//     inserts nothing and answers -1;
//   - a row is inserted with the text of its first cell; the other cells of a
//     new row are empty until set; a row inserted while there are no columns
//     has no cells;
//   - calls naming no column or row do nothing and answer false or empty.
#pragma once

#include <string>
#include <string_view>

#include "ui/RowBatch.h"

namespace ui {

class ListControl {
 public:
  virtual ~ListControl() = default;

  // Returns the position the column took, or -1.
  virtual int InsertColumn(int column, std::u16string_view heading, int width) = 0;
  virtual bool DeleteColumn(int column) = 0;
  virtual int GetColumnCount() const = 0;
  virtual std::u16string GetColumnHeading(int column) const = 0;

  // Returns the position the row took, or -1.
  virtual int InsertItem(int row, std::u16string_view firstCell) = 0;
  virtual bool SetItemText(int row, int column, std::u16string_view text) = 0;
  virtual std::u16string GetItemText(int row, int column) const = 0;
  virtual int GetItemCount() const = 0;
  virtual void DeleteAllItems() = 0;
  // Appends the batch's rows after the last row, each cell in its column;
  // cells past the last column are dropped. The same as one InsertItem and
  // SetItemText per cell, which is what this default does.
  virtual void AppendRows(const RowBatch& batch) {
    for (size_t r = 0; r < batch.RowCount(); ++r) {
      const size_t cells = batch.CellCount(r);
      const int row = InsertItem(GetItemCount(), cells ? batch.Cell(r, 0) : std::u16string_view());
      for (size_t c = 1; c < cells; ++c) SetItemText(row, static_cast<int>(c), batch.Cell(r, c));
    }
  }

  virtual void ShowList(bool visible) = 0;
  virtual bool IsListVisible() const = 0;
};

}  // namespace ui
