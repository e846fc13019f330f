#include "browser/TableGrid.h"

#include <algorithm>

#include "browser/GridText.h"
#include "engine/TableReader.h"
#include "engine/Utf16.h"

namespace mendora {
namespace {

constexpr int kColumnWidth = 100;

std::vector<_SYSCOLUMNS> ColumnsInColidOrder(const Catalogue& catalogue, int64_t tableId) {
  std::vector<_SYSCOLUMNS> columns;
  for (const auto& c : catalogue.columns) {
    if (c.tableId == tableId) columns.push_back(c);
  }
  std::stable_sort(columns.begin(), columns.end(),
                   [](const _SYSCOLUMNS& a, const _SYSCOLUMNS& b) { return a.colid < b.colid; });
  return columns;
}

void PutUpHeaders(ui::ListControl& list, const std::vector<_SYSCOLUMNS>& columns) {
  list.DeleteAllItems();
  for (int n = list.GetColumnCount(); n > 0; --n) list.DeleteColumn(0);
  for (size_t i = 0; i < columns.size(); ++i) {
    list.InsertColumn(static_cast<int>(i), columns[i].name, kColumnWidth);
  }
  list.DeleteAllItems();
}

}  // namespace

uint64_t RecordedRowCount(const Catalogue& catalogue, int64_t tableId) {
  for (const auto& row : catalogue.indexRows) {
    if (row.tableId == tableId && HoldsTableRows(row) && (row.firstIAM > 0 || row.indid <= 1)) {
      return row.rowCount;
    }
  }
  return 0;
}

uint64_t LoadRows(TableReader& reader, ui::ListControl& list, JobControl& job,
                  const TableGridOptions& options, uint64_t recordedRows) {
  using Clock = std::chrono::steady_clock;
  const std::vector<_SYSCOLUMNS>& columns = reader.Columns();
  uint64_t shown = 0;
  ui::RowBatch batch;
  size_t limit = std::max<size_t>(1, options.firstBatchRows);
  Clock::time_point lastFlush = Clock::now();
  auto flush = [&] {
    if (batch.Empty()) return;
    list.AppendRows(batch);
    shown += batch.RowCount();
    batch.Clear();
    lastFlush = Clock::now();
    limit = std::max<size_t>(1, options.batchRows);
    if (options.progress) options.progress(shown, recordedRows);
    job.Checkpoint();
  };
  reader.Read(job, [&](const RowValues& row) {
    for (size_t c = 0; c < columns.size(); ++c) {
      if (c < row.size()) AppendGridText(row[c], columns[c], batch.OpenCell());
      batch.CloseCell();
    }
    batch.EndRow();
    if (batch.RowCount() >= limit ||
        (batch.RowCount() % 64 == 0 && Clock::now() - lastFlush >= options.flushEvery)) {
      flush();
    }
    return true;
  });
  flush();
  return shown;
}

TableGridResult LoadTable(const DataFile& file, const Catalogue& catalogue, int64_t tableId,
                          ui::ListControl& list, JobControl& job, const TableGridOptions& options) {
  TableGridResult result;
  result.recordedRows = RecordedRowCount(catalogue, tableId);
  TableReader reader(file, catalogue, tableId);
  const std::vector<_SYSCOLUMNS> columns =
      reader.CanRead() ? reader.Columns() : ColumnsInColidOrder(catalogue, tableId);
  PutUpHeaders(list, columns);
  result.readable = reader.CanRead();
  result.notReadReason = reader.NotReadReason();
  if (!result.notReadReason.empty() && list.GetColumnCount() > 0) {
    list.InsertItem(0, FromUtf8(result.notReadReason));
  }
  if (!result.readable) return result;

  result.rows = LoadRows(reader, list, job, options, result.recordedRows);
  return result;
}

}  // namespace mendora
