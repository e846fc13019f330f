// The rows of a table in an order of the user's choosing: those a filter
// keeps, sorted by a column, for a table of any size in a bounded amount of
// memory.
//
// The result is a list of stored row numbers (RowList): in memory while it
// is small, past its budget in a temporary file that is read back a block at
// a time. A filter goes through the table's pages once and hands its matches
// over as they are found. A sort builds a key for each row kept (ordered
// bytes: NULL, then numbers and dates by value, then text folded to lower
// case), sorts them in runs that fit the budget, spills each run to a
// temporary file, and merges the runs (ExternalRowSort). Equal keys keep the
// stored order, in both directions.
//
// No Qt here: the window runs ArrangeRows on a job thread of its own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/JobControl.h"
#include "engine/TableReader.h"

namespace mendora {

// The memory an arrangement's lists and sort runs may hold before they go to
// temporary files.
inline constexpr size_t kArrangeMemoryBytes = 32u << 20;
// A text key keeps this many characters: longer values that agree so far
// keep their stored order.
inline constexpr size_t kSortKeyChars = 256;

// A temporary file, gone when closed; deleted with the object.
class SpillFile {
 public:
  SpillFile();  // throws FileError when no temporary file can be made
  ~SpillFile();
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;
  void Write(const void* data, size_t bytes);
  // Writes at the end, wherever the last read left off.
  void Append(const void* data, size_t bytes);
  // False at the end; throws FileError on a short read inside a record.
  bool Read(void* data, size_t bytes);
  void ReadAt(uint64_t offset, void* data, size_t bytes);
  void Rewind();
  void Flush();

 private:
  std::FILE* file_;
};

// Stored row numbers in the order they were appended.
class RowList {
 public:
  explicit RowList(size_t memoryBytes = kArrangeMemoryBytes / 4);
  void Append(std::span<const uint64_t> rows);
  uint64_t Size() const { return fileRows_ + tail_.size(); }
  // Row i of the list (i < Size()). Throws FileError when the temporary file
  // cannot be read.
  uint64_t At(uint64_t i);
  // Whether part of the list is in its temporary file.
  bool Spilled() const { return spill_ != nullptr; }
  // The bytes the list holds in memory.
  size_t MemoryBytes() const { return (tail_.capacity() + block_.capacity()) * sizeof(uint64_t); }

 private:
  static constexpr size_t kBlockRows = 4096;
  size_t budgetRows_;
  std::unique_ptr<SpillFile> spill_;
  uint64_t fileRows_ = 0;        // rows [0, fileRows_) are in the file
  std::vector<uint64_t> tail_;   // the rest
  std::vector<uint64_t> block_;  // a block of the file read back
  uint64_t blockFirst_ = UINT64_MAX;
};

// What a row must hold to be kept: text anywhere in its cells (any case), or
// with "column = value" one column's whole text (the spaces that pad it aside).
struct RowFilter {
  int column = -1;
  std::u16string text;  // folded to lower case
  bool Empty() const { return column < 0 && text.empty(); }
};
RowFilter ParseRowFilter(std::u16string_view filter, const std::vector<_SYSCOLUMNS>& columns);
bool FilterAccepts(const RowFilter& filter, const RowValues& row,
                   const std::vector<_SYSCOLUMNS>& columns);

// A value's sort key: byte strings that compare as the values sort.
std::string SortKeyBytes(const Value& value, const _SYSCOLUMNS& column);

// Sorts (key, stored row) pairs in runs of at most `memoryBytes`, spilled to
// temporary files, and merges them: keys in order (reversed when
// `descending`), equal keys by stored row.
class ExternalRowSort {
 public:
  // Runs merged at once; more are merged in rounds.
  static constexpr size_t kMergeFan = 16;
  using RowsOut = std::function<void(std::span<const uint64_t> rows)>;

  ExternalRowSort(size_t memoryBytes, bool descending);
  ~ExternalRowSort();
  void Add(std::string key, uint64_t row);
  // Gives every row in order, in batches; job.Checkpoint() between batches.
  void Finish(JobControl& job, const RowsOut& out);
  size_t SpilledRuns() const { return runs_.size(); }
  uint64_t Count() const { return count_; }

 private:
  struct Entry {
    std::string key;
    uint64_t row;
  };
  bool Before(const Entry& a, const Entry& b) const;
  void SpillRun();
  std::unique_ptr<SpillFile> Merge(std::vector<std::unique_ptr<SpillFile>> runs, JobControl& job,
                                   const RowsOut* out);

  size_t memoryBytes_;
  bool descending_;
  std::vector<Entry> entries_;
  size_t entryBytes_ = 0;
  std::vector<std::unique_ptr<SpillFile>> runs_;
  uint64_t count_ = 0;
};

// The first row of each page of the counting pass, in its order.
struct PageStart {
  uint64_t page = 0;
  uint64_t firstRow = 0;
  bool freed = false;  // deleted rows: a page the table freed
};

// Gives the rows of one page, numbered from its first row.
using PageRowsReader =
    std::function<void(const PageStart& page, const TableReader::RowSink& onRow)>;

struct ArrangeRequest {
  std::u16string filter;
  int sortColumn = -1;  // none when negative
  bool descending = false;
  size_t memoryBytes = kArrangeMemoryBytes;
};

struct ArrangeProgress {
  bool sorting = false;  // the merge of the sort's runs has begun
  uint64_t done = 0;     // pages read, or rows given once sorting
  uint64_t total = 0;
  uint64_t matched = 0;  // rows the filter kept so far
};

// Reads the pages with `readPage` (rows of `columns`) and gives the rows to show in order through
// `out` (a filter's as they are found, a sort's once its runs are merged),
// and its progress after each page and each batch. Throws FileError when a
// read fails and JobStopped when the job is stopped.
void ArrangeRows(const std::vector<_SYSCOLUMNS>& columns, std::span<const PageStart> pages,
                 const PageRowsReader& readPage, const ArrangeRequest& request, JobControl& job,
                 const ExternalRowSort::RowsOut& out,
                 const std::function<void(const ArrangeProgress&)>& progress);

}  // namespace mendora
