#include "browser/TableRowSource.h"

#include <algorithm>

#include "browser/GridText.h"

namespace mendora {
namespace {

size_t ValueBytes(const Value& value) {
  return sizeof(Value) + value.bytes.size() + value.text.size() * sizeof(char16_t);
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

TableRowSource::TableRowSource(const DataFile& file, const Catalogue& catalogue, int64_t tableId)
    : tableId_(tableId), file_(file), catalogue_(catalogue), reader_(file, catalogue, tableId) {}

void TableRowSource::AddPages(std::span<const PageRowCount> pages) {
  for (const PageRowCount& p : pages) {
    if (p.rows == 0) continue;
    index_.push_back({p.page, rows_});
    rows_ += p.rows;
  }
}

const TableRowSource::CachedPage& TableRowSource::Decoded(uint64_t page) {
  for (CachedPage& c : cache_) {
    if (c.page == page) {
      c.lastUse = ++useClock_;
      return c;
    }
  }
  CachedPage fresh;
  fresh.page = page;
  fresh.lastUse = ++useClock_;
  uint64_t wrongText = 0;
  reader_.ReadPageRowsAt(page, [&fresh, &wrongText](const RowValues& row) {
    fresh.rows.push_back(row);
    for (const Value& v : row) {
      fresh.bytes += ValueBytes(v);
      wrongText += v.codePageError;
    }
    return true;
  });
  if (wrongText && pagesWithCodePageErrors_.insert(page).second) codePageErrors_ += wrongText;
  cachedBytes_ += fresh.bytes;
  cache_.push_back(std::move(fresh));
  Evict();
  return *std::max_element(
      cache_.begin(), cache_.end(),
      [](const CachedPage& a, const CachedPage& b) { return a.lastUse < b.lastUse; });
}

void TableRowSource::Evict() {
  while (cache_.size() > 1 && (cache_.size() > kCachedPages || cachedBytes_ > kCacheBytes)) {
    auto oldest = std::min_element(
        cache_.begin(), cache_.end(),
        [](const CachedPage& a, const CachedPage& b) { return a.lastUse < b.lastUse; });
    cachedBytes_ -= oldest->bytes;
    cache_.erase(oldest);
  }
}

const RowValues* TableRowSource::Row(uint64_t n) {
  if (n >= rows_) return nullptr;
  // The last entry whose first row is at or before n.
  auto it = std::upper_bound(index_.begin(), index_.end(), n,
                             [](uint64_t row, const IndexEntry& e) { return row < e.firstRow; });
  if (it == index_.begin()) return nullptr;
  --it;
  const CachedPage& page = Decoded(it->page);
  const uint64_t at = n - it->firstRow;
  return at < page.rows.size() ? &page.rows[at] : nullptr;
}

std::vector<PageStart> TableRowSource::PageStarts() const {
  std::vector<PageStart> out;
  out.reserve(index_.size());
  for (const IndexEntry& e : index_) out.push_back({e.page, e.firstRow});
  return out;
}

std::u16string TableRowSource::CellText(uint64_t row, size_t column) {
  const RowValues* values = Row(row);
  if (!values || column >= values->size() || column >= Columns().size()) return {};
  return GridText((*values)[column], Columns()[column]);
}

}  // namespace mendora
