// The grid view of the right pane: its only control is the list (id 1004) in
// report style with grid lines and full-row selection, which shows a table's
// rows, a key's statement or a module's text. Hidden until something is shown.
#pragma once

#include <QTableView>
#include <QWidget>

#include "shell/QtListControl.h"

namespace shell {

class CMendoraSqlView final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kListId = 1004;

  explicit CMendoraSqlView(QWidget* parent = nullptr);

  QTableView* Table() const { return table_; }
  QtListControl& Control() { return control_; }
  // Deletes every column and every row, and hides the list.
  void ClearAndHide();
  // Deletes every column and every row.
  void Clear();

 private:
  QTableView* table_;
  QtListControl control_;
};

}  // namespace shell
