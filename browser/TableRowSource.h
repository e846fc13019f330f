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
#include "engine/TableReader.h"

namespace mendora {

// One page of the counting pass: the page and how many rows it gives.
struct PageRowCount {
  uint64_t page = 0;
  uint32_t rows = 0;
};

// The row count the catalogue records for the table's rows (its heap or
// clustered index); 0 when it has none. Only a guide: the count may be stale.
uint64_t RecordedRowCount(const Catalogue& catalogue, int64_t tableId);

class TableRowSource {
 public:
  // How many decoded pages are kept, and how many bytes of values they may
  // hold before older ones go (the newest page always stays).
  static constexpr size_t kCachedPages = 16;
  static constexpr size_t kCacheBytes = 32u << 20;

  TableRowSource(const DataFile& file, const Catalogue& catalogue, int64_t tableId);

  int64_t TableId() const { return tableId_; }
  bool CanRead() const { return reader_.CanRead(); }
  const std::vector<_SYSCOLUMNS>& Columns() const { return reader_.Columns(); }
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

  // The first row of each indexed page, for a reader on another thread
  // (ArrangeRows) that numbers the rows as Row() does.
  std::vector<PageStart> PageStarts() const;
  const DataFile& File() const { return file_; }
  const Catalogue& TableCatalogue() const { return catalogue_; }

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
  };
  struct CachedPage {
    uint64_t page = 0;
    uint64_t lastUse = 0;
    size_t bytes = 0;
    std::vector<RowValues> rows;
  };
  const CachedPage& Decoded(uint64_t page);
  void Evict();

  int64_t tableId_;
  const DataFile& file_;
  const Catalogue& catalogue_;
  TableReader reader_;
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
