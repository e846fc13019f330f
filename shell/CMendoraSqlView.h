// The grid view of the right pane: a table's rows in a list control in
// report style.
#pragma once

#include <QTableWidget>
#include <QWidget>

#include "shell/QtListControl.h"

namespace shell {

class CMendoraSqlView final : public QWidget {
  Q_OBJECT

 public:
  explicit CMendoraSqlView(QWidget* parent = nullptr);

  QTableWidget* Table() const { return table_; }
  QtListControl& Control() { return control_; }
  // Deletes every column and every row, and hides the list.
  void ClearAndHide();
  // Deletes every column and every row.
  void Clear();

 private:
  QTableWidget* table_;
  QtListControl control_;
};

}  // namespace shell
