// A table's rows as a Qt model, over a TableRowSource: the view asks for the
// cells on screen and only their pages are read. Rows appear as the counting
// pass hands its pages over (AddPages); the vertical header numbers the rows
// from 1 in stored order. A filter or a sort shows a list of stored rows in
// their place (an arrangement, filled as the rows are found), and the
// numbers stay each row's stored number. A cell whose page cannot be read
// shows why.
//
// The view keeps a few bytes per row it is given (its row header's
// bookkeeping), so it is given a window of at most `windowRows` rows of the
// table or of the arrangement, starting at WindowStart(); the grid moves the
// window. That keeps
// the grid's memory the same for a table of ten or of a hundred million rows.
#pragma once

#include <QAbstractTableModel>
#include <memory>
#include <span>
#include <vector>

#include "browser/TableRowSource.h"

namespace shell {

class TableRowModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr uint64_t kWindowRows = 1'000'000;

  explicit TableRowModel(std::unique_ptr<mendora::TableRowSource> source,
                         uint64_t windowRows = kWindowRows, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // The counting pass's next pages: their rows are inserted.
  void AddPages(std::span<const mendora::PageRowCount> pages);
  void SetComplete();
  mendora::TableRowSource& Source() const { return *source_; }
  // The typed value of a cell; null when there is none.
  const mendora::Value* CellValue(int row, int column) const;

  // Shows an arrangement in place of the stored order: none at first, then
  // the stored rows given to AddArranged, in their order. The list goes to a
  // temporary file past `memoryBytes`.
  void BeginArrangement(size_t memoryBytes = mendora::kArrangeMemoryBytes / 4);
  void AddArranged(std::span<const uint64_t> rows);
  // Every row in stored order again.
  void EndArrangement();
  bool IsArranged() const { return arranged_ != nullptr; }
  const mendora::RowList* Arrangement() const { return arranged_.get(); }
  // The stored row number of a shown row; UINT64_MAX when there is none.
  uint64_t StoredRow(int row) const;

  // The table's rows in stored order, the rows shown (the arrangement's when
  // there is one), and the window of them the view has.
  uint64_t TotalRows() const { return source_->RowCount(); }
  uint64_t ShownRows() const;
  uint64_t WindowRows() const { return windowRows_; }
  uint64_t WindowStart() const { return base_; }
  // Moves the window so that it starts at `first` (or as near as the end allows).
  void SetWindowStart(uint64_t first);
  // The view's row of a stored row, moving the window there when needed.
  int ShowStoredRow(uint64_t row);

 signals:
  // The table has more rows than before, shown or not, or the arrangement has.
  void TotalChanged();
  // The counting pass has gone through every page.
  void Completed();
  // Rows just decoded for the view hold text with bytes outside its code
  // page (Source().CodePageErrors() grew).
  void CodePageErrorsFound();

 private:
  std::unique_ptr<mendora::TableRowSource> source_;
  std::unique_ptr<mendora::RowList> arranged_;
  uint64_t windowRows_;
  uint64_t base_ = 0;
  mutable uint64_t codePageErrorsSaid_ = 0;
};

}  // namespace shell
