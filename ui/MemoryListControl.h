// The list control kept in memory, for the command-line tool and the tests.
// It behaves as ListControl describes.
#pragma once

#include <string>
#include <vector>

#include "ui/ListControl.h"

namespace ui {

class MemoryListControl final : public ListControl {
 public:
  int InsertColumn(int column, std::u16string_view heading, int width) override;
  bool DeleteColumn(int column) override;
  int GetColumnCount() const override { return static_cast<int>(headings_.size()); }
  std::u16string GetColumnHeading(int column) const override;
  // The width the column was inserted with; 0 for no column.
  int GetColumnWidth(int column) const;

  int InsertItem(int row, std::u16string_view firstCell) override;
  bool SetItemText(int row, int column, std::u16string_view text) override;
  std::u16string GetItemText(int row, int column) const override;
  int GetItemCount() const override { return static_cast<int>(rows_.size()); }
  void DeleteAllItems() override { rows_.clear(); }

  void ShowList(bool visible) override { visible_ = visible; }
  bool IsListVisible() const override { return visible_; }

 private:
  bool HasCell(int row, int column) const;

  std::vector<std::u16string> headings_;
  std::vector<int> widths_;
  // Each row keeps one text per column; columns inserted or deleted later
  // shift the cells the same way.
  std::vector<std::vector<std::u16string>> rows_;
  bool visible_ = true;
};

}  // namespace ui
