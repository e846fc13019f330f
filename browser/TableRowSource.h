// One table's rows by row number, for a grid that shows only the rows on
// screen: memory stays the same whatever the table's size.
//
// A counting pass (TableReader::CountPageRows, usually on a job thread) hands
// over the table's pages in reading order with the number of rows each
// gives; the source keeps them as a page-to-row index (16 bytes a page). Row
// n is found by a binary search in the index, its page read and its rows
// decoded, and a few decoded pages are kept, so that scrolling back and
// forth reads no page twice. Row numbers follow Read's order, so row n here
// is row n of `mendora-cli rows`.
//
// For the window thread only: the index grows there, and the pages are read
// there with a reader of the source's own.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "browser/RowArrangement.h"
#include "engine/Catalogue.h"
#include "engine/DataFile.h"
#include "engine/DeletedRowReader.h"
#include "engine/TableReader.h"

namespace mendora {

// One page of the counting pass: the page and how many rows it gives.
struct PageRowCount {
  uint64_t page = 0;
  uint32_t rows = 0;
};

// One page of a table's deleted rows: the page, whether it is a page the
// table freed (else one its live rows are read from) and how many rows were
// recovered from it.
struct DeletedPageRows {
  uint64_t page = 0;
  bool freed = false;
  uint32_t rows = 0;
};

// What reading a table's deleted rows found, kept so that they can be shown
// again by row number: their pages in the order DeletedRowReader::Read gives
// them (a page's rows come together) and each row's reason, one byte a row.
struct DeletedRowsIndex {
  std::vector<DeletedPageRows> pages;
  std::vector<DeletedWhy> whys;
  uint64_t Count() const { return whys.size(); }
};

// Reads the table's deleted rows (DeletedRowReader, the live rows read and
// left) into an index; the values are not kept. What the read skipped goes
// to `damage` when given. Throws FileError and JobStopped like the reader.
DeletedRowsIndex IndexDeletedRows(const DataFile& file, const Catalogue& catalogue, int64_t tableId,
                                  JobControl& job, DamageReport* damage = nullptr,
                                  const std::vector<FreedPage>* freedPages = nullptr);

// The two columns that lead each recovered row: where it was found and why
// it is not live.
inline constexpr char16_t kFoundAtColumn[] = u"_found_at";
inline constexpr char16_t kWhyColumn[] = u"_why";

class TableRowSource {
 public:
  // How many decoded pages are kept, and how many bytes of values they may
  // hold before older ones go (the newest page always stays).
  static constexpr size_t kCachedPages = 16;
  static constexpr size_t kCacheBytes = 32u << 20;

  TableRowSource(const DataFile& file, const Catalogue& catalogue, int64_t tableId);
  // The table's deleted rows instead, as `deleted` found them, complete:
  // each row is `_found_at`, `_why` and then the table's columns, and its
  // page is walked again when it is shown.
  TableRowSource(const DataFile& file, const Catalogue& catalogue, int64_t tableId,
                 const DeletedRowsIndex& deleted);

  int64_t TableId() const { return tableId_; }
  // Whether the rows are the table's deleted rows.
  bool ShowsDeletedRows() const { return deleted_ != nullptr; }
  bool CanRead() const { return reader_.CanRead(); }
  const std::vector<_SYSCOLUMNS>& Columns() const { return columns_; }
  // Why the table's rows are not read (compression, a missing data file);
  // empty when they are.
  const std::string& NotReadReason() const { return reader_.NotReadReason(); }

  // The next pages of the counting pass, in its order; pages without rows
  // are left out of the index.
  void AddPages(std::span<const PageRowCount> pages);
  // The counting pass has gone through every page.
  void SetComplete() { complete_ = true; }
  bool Complete() const { return complete_; }
  // The rows indexed so far; the table's row count once Complete().
  uint64_t RowCount() const { return rows_; }
  size_t IndexedPages() const { return index_.size(); }

  // Row n's values in column order; null past the rows indexed or when its
  // page no longer gives that many rows. Throws FileError when a read fails.
  const RowValues* Row(uint64_t n);
  // The grid's text of one cell (GridText); "" past the rows or columns.
  std::u16string CellText(uint64_t row, size_t column);

  // The first row of each indexed page, and a reader of their rows for a
  // thread other than the window's (ArrangeRows): it makes readers of its
  // own there and numbers the rows as Row() does, live or deleted.
  std::vector<PageStart> PageStarts() const;
  PageRowsReader ReaderForAnotherThread() const;

  // The bytes of values the decoded pages kept hold, and how many pages.
  size_t CachedBytes() const { return cachedBytes_; }
  // Values of the pages decoded so far whose stored bytes are not text in
  // their column's code page (each page counted once, however often it is
  // decoded again).
  uint64_t CodePageErrors() const { return codePageErrors_; }
  size_t CachedPageCount() const { return cache_.size(); }

 private:
  struct IndexEntry {
    uint64_t page;
    uint64_t firstRow;
    bool freed = false;  // deleted rows: a page the table freed
  };
  struct CachedPage {
    uint64_t page = 0;
    uint64_t lastUse = 0;
    size_t bytes = 0;
    std::vector<RowValues> rows;
  };
  const CachedPage& Decoded(const IndexEntry& entry);
  // The rows of one indexed page, live or recovered, in their order.
  void ReadIndexedPage(const IndexEntry& entry, const TableReader::RowSink& onRow);
  void Evict();

  int64_t tableId_;
  const DataFile& file_;
  const Catalogue& catalogue_;
  TableReader reader_;
  std::vector<_SYSCOLUMNS> columns_;
  // Deleted rows: their reader and each row's reason, by row number.
  std::unique_ptr<DeletedRowReader> deleted_;
  std::vector<DeletedWhy> whys_;
  std::vector<IndexEntry> index_;
  uint64_t rows_ = 0;
  bool complete_ = false;
  std::vector<CachedPage> cache_;
  size_t cachedBytes_ = 0;
  uint64_t codePageErrors_ = 0;
  std::unordered_set<uint64_t> pagesWithCodePageErrors_;
  uint64_t useClock_ = 0;
};

}  // namespace mendora
