// ui::ListControl over a QTableView in report style: a header of columns,
// whole-row selection, grid lines, no row numbers. The rows live in a
// GridModel, so that batches of rows arrive in one model change. For calls
// made on the window thread.
#pragma once

#include <QTableView>

#include "shell/GridModel.h"
#include "ui/ListControl.h"

namespace shell {

class QtListControl final : public ui::ListControl {
 public:
  // The view takes a GridModel of its own; it must not have another model.
  explicit QtListControl(QTableView* view);

  int InsertColumn(int column, std::u16string_view heading, int width) override;
  bool DeleteColumn(int column) override;
  int GetColumnCount() const override { return model_->columnCount(); }
  std::u16string GetColumnHeading(int column) const override;

  int InsertItem(int row, std::u16string_view firstCell) override;
  bool SetItemText(int row, int column, std::u16string_view text) override;
  std::u16string GetItemText(int row, int column) const override;
  int GetItemCount() const override { return model_->rowCount(); }
  void DeleteAllItems() override { model_->RemoveAllRows(); }
  void AppendRows(const ui::RowBatch& batch) override { model_->AppendRows(batch); }

  void ShowList(bool visible) override { view_->setVisible(visible); }
  bool IsListVisible() const override { return !view_->isHidden(); }

  GridModel& Model() const { return *model_; }

  // Puts a table view into the report style the list control has.
  static void ApplyReportStyle(QTableView* view);

 private:
  QTableView* view_;
  GridModel* model_;
};

}  // namespace shell
