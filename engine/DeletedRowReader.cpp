#include "engine/DeletedRowReader.h"

#include <algorithm>
#include <array>
#include <functional>
#include <string_view>

#include "engine/ColumnLayouts.h"
#include "engine/PageHeader.h"
#include "engine/PfsPage.h"
#include "engine/ValueDecoder.h"

namespace mendora {
namespace {

constexpr size_t kStubSize = 9;  // a forwarding stub: status, page, file, slot

// The columns (colid order positions) of the key that tells an older version
// of a row from another row: the primary key, else a unique clustered
// index, else any unique index. Empty when the table has none.
std::vector<size_t> KeyColumns(const Catalogue& catalogue, int64_t tableId,
                               const std::vector<_SYSCOLUMNS>& columns) {
  const _SYSINDEXES* key = nullptr;
  int rank = 0;
  for (const auto& r : catalogue.indexRows) {
    if (r.tableId != tableId || !r.unique || r.indid == 0) continue;
    const int here = r.primaryKey ? 3 : r.indid == 1 ? 2 : 1;
    if (here > rank) {
      rank = here;
      key = &r;
    }
  }
  if (!key) return {};
  // The index's columns in key order (the catalogue keeps them so); a key
  // whose columns all read as included has them all as its key.
  std::vector<size_t> keyed, all;
  for (const auto& k : catalogue.indexKeys) {
    if (k.objectId != static_cast<uint32_t>(tableId) || k.indexId != key->indid) continue;
    for (size_t i = 0; i < columns.size(); ++i) {
      if (columns[i].colid != static_cast<int16_t>(k.columnId)) continue;
      all.push_back(i);
      if (!k.included) keyed.push_back(i);
    }
  }
  return keyed.empty() ? all : keyed;
}

}  // namespace

const char* DeletedWhyText(DeletedWhy why) {
  switch (why) {
    case DeletedWhy::kGhost:
      return "ghost";
    case DeletedWhy::kUnreferenced:
      return "unreferenced";
    case DeletedWhy::kFreedPage:
      return "freed page";
    case DeletedWhy::kSuperseded:
      return "superseded";
  }
  return "";
}

std::string FoundAtText(const FoundAt& at) {
  std::string text = std::to_string(at.file) + ':' + std::to_string(at.page);
  if (at.slot) return text + '/' + std::to_string(*at.slot);
  return text + "@+" + std::to_string(at.offset);
}

std::vector<FreedPage> FindFreedDataPages(const DataFile& file, JobControl* job) {
  std::vector<FreedPage> pages;
  PfsMap pfs(file);
  std::array<std::byte, kPageHeaderSize> header{};
  const uint64_t count = file.PageCount();
  for (uint64_t p = 0; p < count; ++p) {
    if (job && p % 4096 == 0) job->Checkpoint();
    if (pfs.MayBeAllocated(p)) continue;
    if (file.ReadDirect(p * kPageSize, header) < header.size()) continue;
    const PageHeader h = DecodePageHeader(header);
    // A page that names another page as itself is a stray copy, not this one.
    if (h.type != kPageTypeData || h.thisPage != p || h.slotCount == 0) continue;
    pages.push_back({p, {h.objectId, h.indexId}});
  }
  return pages;
}

DeletedRowReader::DeletedRowReader(const DataFile& file, const Catalogue& catalogue,
                                   int64_t tableId, const std::vector<FreedPage>* freedPages)
    : file_(file), live_(file, catalogue, tableId), freedPages_(freedPages) {
  if (!live_.CanRead()) return;
  shape_ = ShapeOf(*live_.Layout(), live_.Columns());
  lobs_.emplace(file, live_.Storage()->largeValues);
  keyColumns_ = KeyColumns(catalogue, tableId, live_.Columns());
}

std::optional<uint64_t> DeletedRowReader::KeyOf(const RowValues& row) const {
  if (keyColumns_.empty()) return std::nullopt;
  // Each key value's kind, numbers and bytes, hashed and combined: the
  // values a live row and a recovered one decode to, so both are keyed alike.
  uint64_t h = 0;
  auto mix = [&h](uint64_t part) { h = (h ^ part) * 0x9E3779B97F4A7C15ull + (h >> 29); };
  auto bytes = [](const void* data, size_t size) {
    return std::hash<std::string_view>{}(std::string_view(static_cast<const char*>(data), size));
  };
  for (size_t i : keyColumns_) {
    if (i >= row.size()) return std::nullopt;
    const Value& v = row[i];
    mix(static_cast<uint64_t>(v.kind));
    mix(static_cast<uint64_t>(v.integer));
    mix(static_cast<uint64_t>(v.days) * 31 + static_cast<uint64_t>(v.timeUnits));
    if (!v.text.empty()) mix(bytes(v.text.data(), v.text.size() * sizeof(char16_t)));
    if (!v.bytes.empty()) mix(bytes(v.bytes.data(), v.bytes.size()));
    if (!v.digits.empty()) mix(bytes(v.digits.data(), v.digits.size()));
  }
  return h;
}

void DeletedRowReader::Read(JobControl& job, const TableReader::RowSink& onLive,
                            const RecoveredSink& onRecovered) {
  stats_ = {};
  found_.clear();
  liveKeys_.clear();
  walked_.clear();
  keysSorted_ = giveNow_ = stop_ = false;
  if (!CanRead()) return;
  bool stopped = false;
  live_.SetPageSink([this](uint64_t p, const PageBuffer& page) { WalkPage(p, page, false); });
  live_.Read(job, [&](const RowValues& row) {
    if (const auto key = KeyOf(row)) liveKeys_.push_back(*key);
    if (onLive && !onLive(row)) stopped = true;
    return !stopped;
  });
  live_.SetPageSink(nullptr);
  if (stopped) return;

  if (!freedPages_) {
    ownFreedPages_ = FindFreedDataPages(file_, &job);
    freedPages_ = &ownFreedPages_;
  }
  PageHeader named;
  named.type = kPageTypeData;
  PageBuffer page;
  // What the live pages left behind, now that every live key is known;
  // then the freed pages, each row given as it is found, so a freed table
  // of any size is never held whole.
  onRecovered_ = &onRecovered;
  for (Found& f : found_) {
    if (!Give(f)) return;
  }
  found_.clear();
  giveNow_ = true;
  for (const FreedPage& f : *freedPages_) {
    if (stop_) return;
    named.objectId = f.unit.objectId;
    named.indexId = f.unit.indexId;
    if (!NamesRowUnit(named, live_.Storage()->rows) || walked_.count(f.page)) continue;
    job.Checkpoint();
    file_.ReadPage(f.page, page);
    WalkPage(f.page, page, true);
  }
}

void DeletedRowReader::ReadPageAt(uint64_t pageNumber, bool freed,
                                  const RecoveredSink& onRecovered) {
  if (!CanRead()) return;
  PageBuffer page;
  file_.ReadPage(pageNumber, page);
  // One page on its own: its rows are given as they are found, in the
  // order a whole Read finds them.
  walked_.erase(pageNumber);
  stats_ = {};
  stop_ = false;
  giveNow_ = true;
  keysSorted_ = true;
  liveKeys_.clear();
  onRecovered_ = &onRecovered;
  WalkPage(pageNumber, page, freed);
  walked_.erase(pageNumber);
}

bool DeletedRowReader::Give(Found& f) {
  if (stop_) return false;
  if (!keysSorted_) {
    std::sort(liveKeys_.begin(), liveKeys_.end());
    keysSorted_ = true;
  }
  if (f.key && std::binary_search(liveKeys_.begin(), liveKeys_.end(), *f.key)) {
    f.row.why = DeletedWhy::kSuperseded;
  }
  switch (f.row.why) {
    case DeletedWhy::kGhost:
      ++stats_.ghost;
      break;
    case DeletedWhy::kUnreferenced:
      ++stats_.unreferenced;
      break;
    case DeletedWhy::kFreedPage:
      ++stats_.freedPage;
      break;
    case DeletedWhy::kSuperseded:
      ++stats_.superseded;
      break;
  }
  if (!(*onRecovered_)(f.row)) stop_ = true;
  return !stop_;
}

void DeletedRowReader::WalkPage(uint64_t pageNumber, const PageBuffer& page, bool freed) {
  if (!walked_.insert(pageNumber).second) return;
  ++(freed ? stats_.freedPages : stats_.pagesWalked);
  const Bytes bytes(page);
  const std::vector<uint16_t> slots = SlotOffsets(page);
  const RecordLimits limits(slots);

  // What the slots name: live records (their keys kept), ghosts, stubs.
  extents_.clear();
  for (size_t k = 0; k < slots.size(); ++k) {
    const uint16_t at = slots[k];
    if (at < kPageHeaderSize) continue;
    const Bytes bound = limits.Bound(bytes, at);
    const uint8_t type = std::to_integer<uint8_t>(bytes[at]) & kStatusTypeMask;
    if (type == kRecordForwardingStub) {
      extents_.emplace_back(at, static_cast<uint16_t>(std::min(at + kStubSize, bound.size())));
      continue;
    }
    if (!ParseRecordInto(bound, at, record_)) {
      // Damaged: the table reader says so; its bytes are no gap.
      extents_.emplace_back(at, static_cast<uint16_t>(bound.size()));
      continue;
    }
    extents_.emplace_back(at, static_cast<uint16_t>(at + record_.bytes.size()));
    if (!freed && (type == kRecordPrimary || type == kRecordForwarded)) {
      if (type == kRecordPrimary && !FitsShape(record_, shape_)) ++stats_.liveOutsideRules;
      continue;
    }
    if (type != kRecordGhostData && !(freed && type == kRecordPrimary)) continue;
    if (ParseRowCandidate(bound, at, shape_, record_)) {
      TryCandidate(bytes, pageNumber, at, static_cast<uint16_t>(k),
                   freed ? DeletedWhy::kFreedPage : DeletedWhy::kGhost, record_);
    }
  }

  // The gaps between them, up to the slot array: every place a row of the
  // table parses, cut at the gap's end so no candidate reaches into a live
  // record or past the page.
  std::sort(extents_.begin(), extents_.end());
  const size_t bodyEnd = kPageSize - 2 * slots.size();
  extents_.emplace_back(static_cast<uint16_t>(bodyEnd), static_cast<uint16_t>(bodyEnd));
  size_t cursor = kPageHeaderSize;
  for (const auto& [start, end] : extents_) {
    const size_t gapEnd = std::min<size_t>(start, bodyEnd);
    if (cursor < gapEnd) {
      const Bytes gap = bytes.first(gapEnd);
      for (size_t o = cursor; o + 4 <= gapEnd;) {
        if (MayStartRow(gap, o, shape_) && ParseRowCandidate(gap, o, shape_, record_) &&
            TryCandidate(bytes, pageNumber, static_cast<uint16_t>(o), std::nullopt,
                         freed ? DeletedWhy::kFreedPage : DeletedWhy::kUnreferenced, record_)) {
          o += std::max<size_t>(record_.bytes.size(), 1);
        } else {
          ++o;
        }
      }
    }
    cursor = std::max<size_t>(cursor, end);
  }
}

bool DeletedRowReader::TryCandidate(Bytes, uint64_t pageNumber, uint16_t at,
                                    std::optional<uint16_t> slot, DeletedWhy why,
                                    const Record& record) {
  if (!CutRowInto(record, *live_.Layout(), cells_)) return false;
  const auto& columns = live_.Columns();
  Found found;
  found.row.values.resize(columns.size());
  for (size_t i = 0; i < columns.size(); ++i) {
    const CellValue& cell = cells_[i];
    Value& value = found.row.values[i];
    if (cell.isNull) continue;
    if (cell.offRow) {
      if (!lobs_->Read(cell.bytes, cell.bytes.size() == 16, lobBytes_, lobError_)) return false;
      DecodeValue(lobBytes_, columns[i], value);
      if (!StoredValueFits(columns[i], lobBytes_, true, value)) return false;
    } else {
      DecodeValue(cell.Value(), columns[i], value);
      if (!StoredValueFits(columns[i], cell.Value(), false, value)) return false;
    }
  }
  found.key = KeyOf(found.row.values);
  found.row.at = {1, pageNumber, slot, at};
  found.row.why = found.row.foundAs = why;
  if (giveNow_) {
    Give(found);
  } else {
    found_.push_back(std::move(found));
  }
  return true;
}

}  // namespace mendora
