// The rows of the right pane's list, kept for a QTableView. A table of a
// million rows has to fit, so a row is one UTF-16 buffer: the length of each
// cell first (one unit per column), then the cells' texts one after another.
// A cell holds at most 65 535 units; a longer text is cut there. The view asks
// only for the cells on screen, and a QString is made for each when asked.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

#include "ui/RowBatch.h"

namespace shell {

class GridModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit GridModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  void InsertColumn(int column, const QString& heading);
  void RemoveColumn(int column);
  QString Heading(int column) const { return headings_.value(column); }
  void InsertRow(int row, std::u16string_view firstCell);
  void SetCell(int row, int column, std::u16string_view text);
  std::u16string_view Cell(int row, int column) const;
  void AppendRows(const ui::RowBatch& batch);
  void RemoveAllRows();
  // UTF-16 units the rows take, lengths included.
  size_t StoredUnits() const { return storedUnits_; }

 private:
  using Row = std::u16string;
  Row EncodeRow(const std::vector<std::u16string_view>& cells) const;
  std::vector<std::u16string_view> DecodeRow(const Row& row) const;

  QStringList headings_;
  std::vector<Row> rows_;
  size_t storedUnits_ = 0;
};

}  // namespace shell
