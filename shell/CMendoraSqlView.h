// The grid view of the right pane: the list (id 1004) in report style with
// grid lines, which shows a table's rows, and the text view of a key's
// statement or a module's text. Hidden until something is shown.
//
// A table's rows come from a TableRowModel over the table's pages. Over
// them: a filter box (text anywhere in a row, or "column = value"), sorting
// by a click on a column's header, selection of cells and rows, Ctrl+C as
// tab-separated text with the column names, and a right-click menu (Copy,
// Copy as CSV, Copy as SQL Insert, View value). Double-click or Enter on a
// cell opens the value viewer beside the grid, which then follows the
// current cell. A table of more rows than the grid holds at once (a million)
// gets a slider beside the filter that moves the grid's window over it.
//
// A filter or a sort runs on a job thread of the view's own (ArrangeRows),
// once the table's rows are counted, for a table of any size: a filter's
// matches show as they are found, a sort's once its runs are merged, its
// progress goes out as ArrangeProgress, and it ends with the table, with
// another filter or sort, and with StopArrange().
//
// A key's statement and a module's text go through the list control (its own
// model) and show in a read-only monospace text view, to select and copy.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QSplitter>
#include <QTableView>
#include <QWidget>
#include <memory>

#include "browser/TableRowSource.h"
#include "export/CopyText.h"
#include "shell/JobThread.h"
#include "shell/QtListControl.h"
#include "shell/TableRowModel.h"
#include "shell/ValueViewer.h"

class QAction;

namespace shell {

class CMendoraSqlView final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kListId = 1004;

  explicit CMendoraSqlView(QWidget* parent = nullptr);
  ~CMendoraSqlView() override;

  QTableView* Table() const { return table_; }
  // The list control; using it puts the list's own model back in the view.
  QtListControl& Control();
  // Shows a table's rows; the list's rows and columns go. The rows appear as
  // the model is given the table's pages.
  TableRowModel* ShowTable(std::unique_ptr<mendora::TableRowSource> source,
                           std::u16string tableName = {},
                           uint64_t windowRows = TableRowModel::kWindowRows);
  // The table whose rows show; null while the list shows.
  TableRowModel* Rows() const { return rows_.get(); }
  // Shows the list's lines (a statement or a module's text) as text.
  void ShowListAsText();
  // Deletes every column and every row, and hides the list.
  void ClearAndHide();
  // Deletes every column and every row.
  void Clear();

  // The selected cells as text, and on the clipboard.
  QString SelectionText(mendora::CopyFormat format) const;
  void CopySelection(mendora::CopyFormat format);
  // Sorts by a column (the header's click); a second sort of the same column
  // turns the order round. False when the table cannot be arranged.
  bool SortBy(int column);
  // Applies the filter box's text.
  bool ApplyFilter();
  // Opens the value viewer on the current cell.
  void ViewValue();

  // A filter or sort is running, or waits for the row count.
  bool Arranging() const { return arrangeActive_ || arrangeWaiting_; }
  // Stops the running filter or sort: the rows found so far stay.
  void StopArrange();
  // The count of the rows has ended short: a waiting filter or sort goes
  // through the rows counted.
  void ArrangeCountedRows();
  // The memory a filter's or sort's lists may hold before they spill to
  // temporary files.
  void SetArrangeMemory(size_t bytes) { arrangeMemory_ = bytes; }
  JobThread& ArrangeThread() { return arrangeThread_; }

  QLineEdit* FilterBox() const { return filter_; }
  QLabel* FilterNote() const { return filterNote_; }
  // Moves the grid's window over a table of more rows than it holds at once.
  QSlider* WindowSlider() const { return windowSlider_; }
  QLabel* WindowNote() const { return windowNote_; }
  ValueViewer* Viewer() const { return viewer_; }
  QPlainTextEdit* PreviewText() const { return preview_; }
  QLabel* PreviewHeading() const { return previewHeading_; }
  QAction* CopyAction() const { return copy_; }
  QAction* ExportCsvAction() const { return exportCsv_; }

 signals:
  // A filter or sort's progress, for the status bar.
  void ArrangeProgress(int percent, const QString& text);
  // It has ended, been stopped, or failed.
  void ArrangeEnded();
  // The grid's right-click menu asks for the shown table in a CSV file.
  void ExportTableRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void DropRows();
  void SetTableStyle(bool rows);
  bool Arrange();
  void StartArrangement();
  void OnArrangeEnded(const JobThread::Result& result);
  void ShowArrangeState(const mendora::ArrangeProgress& progress, bool running);
  void OnCurrentChanged();
  void UpdateWindowControl();

  QWidget* tablePane_;
  QLineEdit* filter_;
  QLabel* filterNote_;
  QSlider* windowSlider_;
  QLabel* windowNote_;
  QSplitter* split_;
  QTableView* table_;
  ValueViewer* viewer_;
  QWidget* previewPane_;
  QLabel* previewHeading_;
  QPlainTextEdit* preview_;
  QAction* copy_;
  QAction* copyCsv_;
  QAction* copySql_;
  QAction* viewValue_;
  QAction* exportCsv_;
  QtListControl control_;
  std::unique_ptr<TableRowModel> rows_;
  std::u16string tableName_;
  int sortColumn_ = -1;
  bool sortDescending_ = false;
  JobThread arrangeThread_;
  size_t arrangeMemory_ = mendora::kArrangeMemoryBytes;
  // Moved on whenever the shown rows go: an arrangement's end for rows no
  // longer shown says nothing.
  uint64_t rowsSerial_ = 0;
  uint64_t arrangeSerial_ = 0;
  bool arrangeWaiting_ = false;
  // A filter or sort of the rows shown runs (or starts once the previous
  // one has unwound).
  bool arrangeActive_ = false;
  bool arrangeRestart_ = false;
  bool arrangeStopped_ = false;
  mendora::ArrangeProgress arrangeLast_;
};

}  // namespace shell
