// Reading the rows of one user table: every live row, in stored order, one
// page at a time, each value decoded whole, large values followed off the row.
//
// Which pages: the table's in-row data (the heap or the clustered index, index
// id 0 or 1). A clustered table is read along its leaf level from its first
// page by the next-page links; then, and for a heap, the pages its IAM chain
// lists that were not read yet, in page order, so that a broken leaf chain
// loses no rows. A page is read only when its header names the table's unit
// (2000: the table's object id and index id 0; 2005/2008: the unit id's two
// parts), it is a data page and its PFS page does not mark it free. A page
// seen before ends the leaf walk.
//
// Which records: primary records. A forwarding stub is followed to its
// forwarded record, which is read in the stub's place and not again where it
// lives. Ghost, index and large-object records are never rows. A damaged page
// or record is skipped and counted; a value that cannot be read is marked
// unreadable and counted, and the row is still given.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/DataFile.h"
#include "engine/JobControl.h"
#include "engine/LobReader.h"
#include "engine/PfsPage.h"
#include "engine/Value.h"

namespace mendora {

// The pages holding one user table's rows, in allocation order without
// repeats: the pages of the table's in-row data found through its IAM chain,
// keeping only those whose header says they belong to it.
std::vector<uint64_t> TablePages(const DataFile& file, const Catalogue& catalogue, int64_t tableId,
                                 JobControl* job = nullptr);

struct TableReadStats {
  uint64_t rows = 0;
  uint64_t pages = 0;
  uint64_t forwardedRows = 0;    // rows read through a forwarding stub
  uint64_t skippedRecords = 0;   // damaged records and stubs leading nowhere
  uint64_t unreadableCells = 0;  // values marked unreadable
};

// Where a table's rows are: its in-row unit and the units of its large values.
struct TableStorage {
  int64_t tableId = 0;
  UnitKey rows;
  bool clustered = false;
  uint32_t firstPage = 0;
  uint32_t firstIam = 0;
  std::vector<UnitKey> largeValues;
};

// Nothing when the catalogue has no in-row unit for the table.
std::optional<TableStorage> FindTableStorage(const Catalogue& catalogue,
                                             const VersionFlags& version, int64_t tableId);

class TableReader {
 public:
  // Called for each row; false stops the reading.
  using RowSink = std::function<bool(const RowValues& row)>;

  TableReader(const DataFile& file, const Catalogue& catalogue, int64_t tableId);

  // False when the table has no columns, no layout or no in-row unit.
  bool CanRead() const { return storage_.has_value() && !columns_.empty() && layout_ != nullptr; }
  // The table's columns in colid order: the order of every row's values.
  const std::vector<_SYSCOLUMNS>& Columns() const { return columns_; }

  // Reads every row; job.Checkpoint() between pages. Throws FileError when a
  // read of the file fails and JobStopped when the job is stopped.
  void Read(JobControl& job, const RowSink& onRow);
  const TableReadStats& Stats() const { return stats_; }

  // The pages Read goes through, in its order, each with the number of rows
  // it gives; no value is decoded, so this counts a table far faster than
  // Read reads it. `onPage` returns false to stop. Same checkpoints and
  // exceptions as Read.
  using PageSink = std::function<bool(uint64_t pageNumber, uint32_t rows)>;
  void CountPageRows(JobControl& job, const PageSink& onPage);
  // The rows of one page that CountPageRows named, as Read gives them; none
  // when the page is not the table's. Throws FileError when a read fails.
  void ReadPageRowsAt(uint64_t pageNumber, const RowSink& onRow);

 private:
  // Every page Read reads, in its order; `visit` returns false to stop.
  using PageVisit = std::function<bool(const PageBuffer& page, uint64_t pageNumber)>;
  void WalkPages(JobControl& job, const PageVisit& visit);
  bool Accepts(const PageBuffer& page, uint64_t pageNumber);
  // False when the sink asked to stop.
  bool ReadPageRows(const PageBuffer& page, const RowSink& onRow);
  bool EmitRecord(Bytes page, size_t at, const RowSink& onRow);

  const DataFile& file_;
  std::vector<_SYSCOLUMNS> columns_;
  const ColumnLayout* layout_ = nullptr;
  std::optional<TableStorage> storage_;
  std::optional<LobReader> lobs_;
  std::optional<PfsMap> pfs_;
  PageBuffer forwarded_{};
  RowValues row_;
  Record record_;
  std::vector<CellValue> cells_;
  std::vector<std::byte> lobBytes_;
  std::string lobError_;
  TableReadStats stats_;
  // Rows are cut but their values not decoded: CountPageRows.
  bool countOnly_ = false;
};

}  // namespace mendora
