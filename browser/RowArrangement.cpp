#include "browser/RowArrangement.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <queue>

#include "browser/GridText.h"
#include "engine/FileError.h"
#include "ui/TreeControl.h"

namespace mendora {
namespace {

std::u16string Folded(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = ui::FoldLabelCase(c);
  return out;
}

std::u16string_view Trimmed(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

double Seconds(const Value& v) {
  double units = static_cast<double>(v.timeUnits);
  for (int i = 0; i < v.scale; ++i) units /= 10;
  if (v.kind == ValueKind::kDateTime) units = v.timeUnits / 1000.0;
  if (v.kind == ValueKind::kSmallDateTime) units = static_cast<double>(v.timeUnits);
  return static_cast<double>(v.days) * 86400.0 + units;
}

// Sort ranks: NULL first, then numbers and dates, then the rest by text.
constexpr char kNullRank = 0;
constexpr char kNumberRank = 1;
constexpr char kTextRank = 2;

std::string NumberKey(double number) {
  if (number == 0) number = 0;  // -0 sorts with 0
  uint64_t bits = std::bit_cast<uint64_t>(number);
  // Negative numbers reversed, positive ones above them: the bits then
  // compare as the numbers do.
  bits = (bits >> 63) ? ~bits : bits | (uint64_t(1) << 63);
  std::string key(1, kNumberRank);
  for (int shift = 56; shift >= 0; shift -= 8) key.push_back(static_cast<char>(bits >> shift));
  return key;
}

// Buffered batches of rows for a RowsOut.
class Batcher {
 public:
  explicit Batcher(const ExternalRowSort::RowsOut& out) : out_(out) {}
  void Add(uint64_t row) {
    rows_.push_back(row);
    if (rows_.size() == kRows) Flush();
  }
  void Flush() {
    if (rows_.empty()) return;
    out_(rows_);
    rows_.clear();
  }

 private:
  static constexpr size_t kRows = 4096;
  const ExternalRowSort::RowsOut& out_;
  std::vector<uint64_t> rows_;
};

}  // namespace

// SpillFile ------------------------------------------------------------------

SpillFile::SpillFile() : file_(std::tmpfile()) {
  if (!file_) throw FileError("Cannot create a temporary file for the sorted rows", errno);
}

SpillFile::~SpillFile() {
  std::fclose(file_);
}

void SpillFile::Write(const void* data, size_t bytes) {
  if (std::fwrite(data, 1, bytes, file_) != bytes) {
    throw FileError("Cannot write the temporary file of the sorted rows", errno);
  }
}

void SpillFile::Append(const void* data, size_t bytes) {
  if (fseeko(file_, 0, SEEK_END) != 0) {
    throw FileError("Cannot write the temporary file of the sorted rows", errno);
  }
  Write(data, bytes);
}

bool SpillFile::Read(void* data, size_t bytes) {
  const size_t got = std::fread(data, 1, bytes, file_);
  if (got == bytes) return true;
  if (got == 0 && std::feof(file_)) return false;
  throw FileError("Cannot read the temporary file of the sorted rows", errno ? errno : EIO);
}

void SpillFile::ReadAt(uint64_t offset, void* data, size_t bytes) {
  if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0 ||
      std::fread(data, 1, bytes, file_) != bytes) {
    throw FileError("Cannot read the temporary file of the sorted rows", errno ? errno : EIO);
  }
}

void SpillFile::Rewind() {
  Flush();
  std::rewind(file_);
}

void SpillFile::Flush() {
  if (std::fflush(file_) != 0) {
    throw FileError("Cannot write the temporary file of the sorted rows", errno);
  }
}

// RowList ----------------------------------------------------------------------

RowList::RowList(size_t memoryBytes)
    : budgetRows_(std::max<size_t>(memoryBytes / sizeof(uint64_t), 2 * kBlockRows)) {}

void RowList::Append(std::span<const uint64_t> rows) {
  // Past half the budget the rows go to the file; the other half is for the
  // block read back.
  const size_t half = budgetRows_ / 2;
  while (!rows.empty()) {
    const size_t n = std::min(rows.size(), half - tail_.size());
    tail_.insert(tail_.end(), rows.begin(), rows.begin() + n);
    rows = rows.subspan(n);
    if (tail_.size() < half) return;
    if (!spill_) spill_ = std::make_unique<SpillFile>();
    spill_->Append(tail_.data(), tail_.size() * sizeof(uint64_t));
    spill_->Flush();
    fileRows_ += tail_.size();
    tail_.clear();
    // The block read back may have been the file's last, cut short.
    blockFirst_ = UINT64_MAX;
  }
}

uint64_t RowList::At(uint64_t i) {
  if (i >= fileRows_) return tail_.at(i - fileRows_);
  if (blockFirst_ == UINT64_MAX || i < blockFirst_ || i >= blockFirst_ + block_.size()) {
    blockFirst_ = i / kBlockRows * kBlockRows;
    block_.resize(std::min<uint64_t>(kBlockRows, fileRows_ - blockFirst_));
    try {
      spill_->ReadAt(blockFirst_ * sizeof(uint64_t), block_.data(),
                     block_.size() * sizeof(uint64_t));
    } catch (...) {
      blockFirst_ = UINT64_MAX;
      throw;
    }
  }
  return block_[i - blockFirst_];
}

// Filter and keys ------------------------------------------------------------

RowFilter ParseRowFilter(std::u16string_view filter, const std::vector<_SYSCOLUMNS>& columns) {
  RowFilter f;
  filter = Trimmed(filter);
  if (const size_t eq = filter.find(u'='); eq != std::u16string_view::npos) {
    const std::u16string name = Folded(Trimmed(filter.substr(0, eq)));
    for (size_t c = 0; c < columns.size(); ++c) {
      if (Folded(columns[c].name) == name) {
        f.column = static_cast<int>(c);
        f.text = Folded(Trimmed(filter.substr(eq + 1)));
        return f;
      }
    }
  }
  f.text = Folded(filter);
  return f;
}

bool FilterAccepts(const RowFilter& f, const RowValues& row,
                   const std::vector<_SYSCOLUMNS>& columns) {
  if (f.Empty()) return true;
  if (f.column >= 0) {
    // A char column's value is padded with spaces; the value typed is not.
    return static_cast<size_t>(f.column) < row.size() &&
           static_cast<size_t>(f.column) < columns.size() &&
           Folded(Trimmed(GridText(row[f.column], columns[f.column]))) == f.text;
  }
  for (size_t c = 0; c < row.size() && c < columns.size(); ++c) {
    if (Folded(GridText(row[c], columns[c])).find(f.text) != std::u16string::npos) return true;
  }
  return false;
}

std::string SortKeyBytes(const Value& v, const _SYSCOLUMNS& column) {
  switch (v.kind) {
    case ValueKind::kNull:
      return std::string(1, kNullRank);
    case ValueKind::kInteger:
    case ValueKind::kBit:
    case ValueKind::kMoney:
      return NumberKey(static_cast<double>(v.integer));
    case ValueKind::kDecimal:
      return NumberKey(std::strtod(v.digits.c_str(), nullptr));
    case ValueKind::kReal:
      return NumberKey(v.real);
    case ValueKind::kFloat:
      return NumberKey(v.real8);
    case ValueKind::kDateTime:
    case ValueKind::kSmallDateTime:
    case ValueKind::kDate:
    case ValueKind::kTime:
    case ValueKind::kDateTime2:
    case ValueKind::kDateTimeOffset:
      return NumberKey(Seconds(v) - v.offsetMinutes * 60.0);
    default: {
      // UTF-16 code units high byte first compare as the code units do.
      const std::u16string text = Folded(GridText(v, column));
      std::string key(1, kTextRank);
      const size_t n = std::min(text.size(), kSortKeyChars);
      key.reserve(1 + 2 * n);
      for (size_t i = 0; i < n; ++i) {
        key.push_back(static_cast<char>(text[i] >> 8));
        key.push_back(static_cast<char>(text[i] & 0xFF));
      }
      return key;
    }
  }
}

// ExternalRowSort ------------------------------------------------------------

namespace {

// One spilled run read back in order: records of key length (4 bytes), key
// and stored row (8 bytes).
struct RunReader {
  SpillFile* file;
  std::string key;
  uint64_t row = 0;
  bool Next() {
    uint32_t size = 0;
    if (!file->Read(&size, sizeof size)) return false;
    key.resize(size);
    if ((size && !file->Read(key.data(), size)) || !file->Read(&row, sizeof row)) {
      throw FileError("Cannot read the temporary file of the sorted rows", EIO);
    }
    return true;
  }
};

void WriteRecord(SpillFile& file, const std::string& key, uint64_t row) {
  const auto size = static_cast<uint32_t>(key.size());
  file.Write(&size, sizeof size);
  file.Write(key.data(), key.size());
  file.Write(&row, sizeof row);
}

}  // namespace

ExternalRowSort::ExternalRowSort(size_t memoryBytes, bool descending)
    : memoryBytes_(memoryBytes), descending_(descending) {}

ExternalRowSort::~ExternalRowSort() = default;

bool ExternalRowSort::Before(const Entry& a, const Entry& b) const {
  const int c = a.key.compare(b.key);
  if (c != 0) return descending_ ? c > 0 : c < 0;
  return a.row < b.row;
}

void ExternalRowSort::Add(std::string key, uint64_t row) {
  entryBytes_ += sizeof(Entry) + key.capacity();
  entries_.push_back({std::move(key), row});
  ++count_;
  if (entryBytes_ + entries_.capacity() * sizeof(Entry) > memoryBytes_ && entries_.size() > 1) {
    SpillRun();
  }
}

void ExternalRowSort::SpillRun() {
  std::sort(entries_.begin(), entries_.end(),
            [this](const Entry& a, const Entry& b) { return Before(a, b); });
  auto run = std::make_unique<SpillFile>();
  for (const Entry& e : entries_) WriteRecord(*run, e.key, e.row);
  run->Flush();
  runs_.push_back(std::move(run));
  entries_.clear();
  entries_.shrink_to_fit();
  entryBytes_ = 0;
}

std::unique_ptr<SpillFile> ExternalRowSort::Merge(std::vector<std::unique_ptr<SpillFile>> runs,
                                                  JobControl& job, const RowsOut* out) {
  std::vector<RunReader> readers;
  for (auto& run : runs) {
    run->Rewind();
    readers.push_back({run.get(), {}});
  }
  auto later = [this, &readers](size_t a, size_t b) {
    // The queue gives its greatest first: the one that sorts first is "greatest".
    return Before({readers[b].key, readers[b].row}, {readers[a].key, readers[a].row});
  };
  std::priority_queue<size_t, std::vector<size_t>, decltype(later)> next(later);
  for (size_t i = 0; i < readers.size(); ++i) {
    if (readers[i].Next()) next.push(i);
  }
  std::unique_ptr<SpillFile> merged = out ? nullptr : std::make_unique<SpillFile>();
  std::optional<Batcher> batch;
  if (out) batch.emplace(*out);
  uint64_t given = 0;
  while (!next.empty()) {
    const size_t i = next.top();
    next.pop();
    if (out) {
      batch->Add(readers[i].row);
    } else {
      WriteRecord(*merged, readers[i].key, readers[i].row);
    }
    if (++given % 4096 == 0) job.Checkpoint();
    if (readers[i].Next()) next.push(i);
  }
  if (batch) batch->Flush();
  if (merged) merged->Flush();
  return merged;
}

void ExternalRowSort::Finish(JobControl& job, const RowsOut& out) {
  if (runs_.empty()) {
    // Everything fitted in memory: no file at all.
    std::sort(entries_.begin(), entries_.end(),
              [this](const Entry& a, const Entry& b) { return Before(a, b); });
    Batcher batch(out);
    for (size_t i = 0; i < entries_.size(); ++i) {
      batch.Add(entries_[i].row);
      if (i % 4096 == 4095) job.Checkpoint();
    }
    batch.Flush();
    entries_.clear();
    return;
  }
  if (!entries_.empty()) SpillRun();
  // Rounds of merges until the last fits the fan.
  while (runs_.size() > kMergeFan) {
    std::vector<std::unique_ptr<SpillFile>> group;
    for (size_t i = 0; i < kMergeFan; ++i) group.push_back(std::move(runs_[i]));
    runs_.erase(runs_.begin(), runs_.begin() + kMergeFan);
    runs_.push_back(Merge(std::move(group), job, nullptr));
  }
  Merge(std::move(runs_), job, &out);
  runs_.clear();
}

// ArrangeRows ----------------------------------------------------------------

void ArrangeRows(const std::vector<_SYSCOLUMNS>& columns, std::span<const PageStart> pages,
                 const PageRowsReader& readPage, const ArrangeRequest& request, JobControl& job,
                 const ExternalRowSort::RowsOut& out,
                 const std::function<void(const ArrangeProgress&)>& progress) {
  const RowFilter filter = ParseRowFilter(request.filter, columns);
  const bool sort =
      request.sortColumn >= 0 && static_cast<size_t>(request.sortColumn) < columns.size();
  ExternalRowSort sorter(request.memoryBytes, request.descending);
  Batcher batch(out);
  ArrangeProgress state;
  state.total = pages.size();
  for (const PageStart& page : pages) {
    job.Checkpoint();
    uint64_t row = page.firstRow;
    readPage(page, [&](const RowValues& values) {
      const uint64_t at = row++;
      if (!FilterAccepts(filter, values, columns)) return true;
      ++state.matched;
      if (!sort) {
        batch.Add(at);
      } else {
        sorter.Add(static_cast<size_t>(request.sortColumn) < values.size()
                       ? SortKeyBytes(values[request.sortColumn], columns[request.sortColumn])
                       : std::string(1, kNullRank),
                   at);
      }
      return true;
    });
    ++state.done;
    // The matches of the page go out with it, so that the grid shows them as
    // they are found.
    batch.Flush();
    progress(state);
  }
  if (!sort) return;
  state.sorting = true;
  state.done = 0;
  state.total = sorter.Count();
  progress(state);
  sorter.Finish(job, [&](std::span<const uint64_t> rows) {
    out(rows);
    state.done += rows.size();
    progress(state);
  });
}

}  // namespace mendora
