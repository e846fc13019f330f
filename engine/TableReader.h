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
#include <string>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/DamageReport.h"
#include "engine/DataFile.h"
#include "engine/JobControl.h"
#include "engine/LobReader.h"
#include "engine/PageHeader.h"
#include "engine/PfsPage.h"
#include "engine/Value.h"

namespace mendora {

struct TableReadStats {
  uint64_t rows = 0;
  uint64_t pages = 0;
  uint64_t forwardedRows = 0;    // rows read through a forwarding stub
  uint64_t skippedRecords = 0;   // damaged records and stubs leading nowhere
  uint64_t unreadableCells = 0;  // values marked unreadable
  uint64_t codePageErrors = 0;   // text values with bytes outside their code page

  // The counts of two reads of one table together (runs of its pages).
  TableReadStats& operator+=(const TableReadStats& other) {
    rows += other.rows;
    pages += other.pages;
    forwardedRows += other.forwardedRows;
    skippedRecords += other.skippedRecords;
    unreadableCells += other.unreadableCells;
    codePageErrors += other.codePageErrors;
    return *this;
  }
};

// Where a table's rows are: its in-row unit and the units of its large values.
struct TableStorage {
  int64_t tableId = 0;
  UnitKey rows;
  bool clustered = false;
  uint64_t firstPage = 0;  // page keys (DataFile.h): the file id included
  uint64_t firstIam = 0;
  uint8_t compression = kCompressionNone;
  std::vector<UnitKey> largeValues;
};

// Why the rows of a table whose storage is known are not read, in words for
// the user; empty when they are read: rows stored in a format the reader
// does not decode (compression, columnstore), or pages in a data file that
// was not found beside the primary file.
std::string RowsNotReadReason(const DataFile& file, const TableStorage& storage);

// Why the rows of a table are not read for what the catalogue says of the
// table and its columns, in words for the user; empty when nothing does: a
// memory-optimized table (its rows are not in data pages), a FILESTREAM
// column (its values are files outside the data file), sparse columns or a
// column set (their values are kept in a vector the reader does not decode).
std::string TableFormNotReadReason(const Catalogue& catalogue, int64_t tableId);

// Nothing when the catalogue has no in-row unit for the table.
std::optional<TableStorage> FindTableStorage(const Catalogue& catalogue,
                                             const VersionFlags& version, int64_t tableId);

// Whether a page header names the unit holding a table's rows. Data pages
// written by a 2000 server keep index id 0 after an upgrade, also where the
// unit they belong to is a clustered index's (index id 1).
bool NamesRowUnit(const PageHeader& header, const UnitKey& rows);

class TableReader {
 public:
  // Called for each row; false stops the reading.
  using RowSink = std::function<bool(const RowValues& row)>;
  // Called for each page whose rows were read, after its rows.
  using PageSink = std::function<void(uint64_t pageNumber, const PageBuffer& page)>;

  TableReader(const DataFile& file, const Catalogue& catalogue, int64_t tableId);

  // False when the table has no columns, no layout or no in-row unit, or its
  // rows cannot be read (NotReadReason).
  bool CanRead() const {
    return storage_.has_value() && !columns_.empty() && layout_ != nullptr && notRead_.empty();
  }
  // Why the rows of a known table are not read; empty when they are.
  const std::string& NotReadReason() const { return notRead_; }
  // The page key the table's allocation names in a data file that was not
  // found, when that is why its rows are not read; 0 otherwise.
  uint64_t MissingFilePage() const { return missingFilePage_; }
  // The table's columns in colid order: the order of every row's values.
  const std::vector<_SYSCOLUMNS>& Columns() const { return columns_; }

  // Reads every row; job.Checkpoint() between pages. Throws FileError when a
  // read of the file fails and JobStopped when the job is stopped.
  void Read(JobControl& job, const RowSink& onRow);
  const TableReadStats& Stats() const { return stats_; }
  const std::optional<TableStorage>& Storage() const { return storage_; }
  const ColumnLayout* Layout() const { return layout_; }

  // Every page whose rows are read is also given here (the reader of deleted
  // rows walks the same pages without reading them again).
  void SetPageSink(PageSink sink) { onPage_ = std::move(sink); }
  // Skipped records and unreadable values are added here, with where they are.
  void SetDamageReport(DamageReport* report) { damage_ = report; }

  // The pages Read goes through, in its order, each with the number of rows
  // it gives; no value is decoded, so this counts a table far faster than
  // Read reads it. `onPage` returns false to stop. Same checkpoints and
  // exceptions as Read.
  using PageRowCount = std::function<bool(uint64_t pageNumber, uint32_t rows)>;
  void CountPageRows(JobControl& job, const PageRowCount& onPage);
  // The pages Read goes through, in its order, without cutting a record:
  // only each page's header is read. Same checkpoints and exceptions as Read.
  void ListPages(JobControl& job, const std::function<void(uint64_t pageNumber)>& onPage);
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
  std::string tableName_;  // for the damage report
  const ColumnLayout* layout_ = nullptr;
  std::optional<TableStorage> storage_;
  std::string notRead_;
  uint64_t missingFilePage_ = 0;
  std::optional<LobReader> lobs_;
  std::optional<PfsMap> pfs_;
  PageBuffer forwarded_{};
  uint64_t forwardedPage_ = 0;  // the page in forwarded_; 0 for none
  bool forwardedAccepted_ = false;
  std::vector<uint16_t> forwardedSlots_;
  RecordLimits forwardedLimits_;
  std::vector<uint16_t> slots_;  // of the page being read
  RecordLimits limits_;
  RowValues row_;
  Record record_;
  std::vector<CellValue> cells_;
  std::vector<std::byte> lobBytes_;
  std::string lobError_;
  TableReadStats stats_;
  PageSink onPage_;
  DamageReport* damage_ = nullptr;
  uint64_t pageNumber_ = 0;  // the page being read, for the damage report
  uint16_t slot_ = 0;
  void NoteDamage(size_t at, const std::string& reason);
  // Rows are cut but their values not decoded: CountPageRows.
  bool countOnly_ = false;
};

}  // namespace mendora
