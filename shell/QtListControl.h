// ui::ListControl over a QTableWidget in report style: a header of columns,
// whole-row selection, no row numbers. For calls made on the window thread;
// jobs reach it through JobListControl.
#pragma once

#include <QTableWidget>

#include "ui/ListControl.h"

namespace shell {

class QtListControl final : public ui::ListControl {
 public:
  explicit QtListControl(QTableWidget* table);

  int InsertColumn(int column, std::u16string_view heading, int width) override;
  bool DeleteColumn(int column) override;
  int GetColumnCount() const override { return table_->columnCount(); }
  std::u16string GetColumnHeading(int column) const override;

  int InsertItem(int row, std::u16string_view firstCell) override;
  bool SetItemText(int row, int column, std::u16string_view text) override;
  std::u16string GetItemText(int row, int column) const override;
  int GetItemCount() const override { return table_->rowCount(); }
  void DeleteAllItems() override { table_->setRowCount(0); }

  void ShowList(bool visible) override { table_->setVisible(visible); }
  bool IsListVisible() const override { return !table_->isHidden(); }

  // Puts a table widget into the report style the list control has.
  static void ApplyReportStyle(QTableWidget* table);

 private:
  QTableWidget* table_;
};

}  // namespace shell
