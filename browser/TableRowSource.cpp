#include "browser/TableRowSource.h"

#include <algorithm>
#include <cstdlib>

#include "browser/GridText.h"
#include "engine/TypeCodes.h"
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

// What a row must hold to be shown.
struct RowFilter {
  int column = -1;      // "column = value": that column's text is `text`
  std::u16string text;  // folded to lower case
  bool Empty() const { return column < 0 && text.empty(); }
};

RowFilter ParseFilter(std::u16string_view filter, const std::vector<_SYSCOLUMNS>& columns) {
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

bool Accepts(const RowFilter& f, const RowValues& row, const std::vector<_SYSCOLUMNS>& columns) {
  if (f.Empty()) return true;
  if (f.column >= 0) {
    return static_cast<size_t>(f.column) < row.size() &&
           Folded(GridText(row[f.column], columns[f.column])) == f.text;
  }
  for (size_t c = 0; c < row.size() && c < columns.size(); ++c) {
    if (Folded(GridText(row[c], columns[c])).find(f.text) != std::u16string::npos) return true;
  }
  return false;
}

// A value's place in a sort: NULL first, then numbers and dates by value,
// then everything else by its text.
struct SortKey {
  int rank = 0;
  double number = 0;
  std::u16string text;
  bool operator<(const SortKey& o) const {
    if (rank != o.rank) return rank < o.rank;
    if (rank == 1) return number < o.number;
    return text < o.text;
  }
};

double Seconds(const Value& v) {
  double units = static_cast<double>(v.timeUnits);
  for (int i = 0; i < v.scale; ++i) units /= 10;
  if (v.kind == ValueKind::kDateTime) units = v.timeUnits / 1000.0;
  if (v.kind == ValueKind::kSmallDateTime) units = static_cast<double>(v.timeUnits);
  return static_cast<double>(v.days) * 86400.0 + units;
}

SortKey KeyOf(const Value& v, const _SYSCOLUMNS& column) {
  SortKey k;
  switch (v.kind) {
    case ValueKind::kNull:
      return k;
    case ValueKind::kInteger:
    case ValueKind::kBit:
    case ValueKind::kMoney:
      k.rank = 1;
      k.number = static_cast<double>(v.integer);
      return k;
    case ValueKind::kDecimal:
      k.rank = 1;
      k.number = std::strtod(v.digits.c_str(), nullptr);
      return k;
    case ValueKind::kReal:
      k.rank = 1;
      k.number = v.real;
      return k;
    case ValueKind::kFloat:
      k.rank = 1;
      k.number = v.real8;
      return k;
    case ValueKind::kDateTime:
    case ValueKind::kSmallDateTime:
    case ValueKind::kDate:
    case ValueKind::kTime:
    case ValueKind::kDateTime2:
    case ValueKind::kDateTimeOffset:
      k.rank = 1;
      k.number = Seconds(v) - v.offsetMinutes * 60.0;
      return k;
    default:
      k.rank = 2;
      k.text = Folded(GridText(v, column));
      return k;
  }
}

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

DeletedRowsIndex IndexDeletedRows(const DataFile& file, const Catalogue& catalogue, int64_t tableId,
                                  JobControl& job, DamageReport* damage,
                                  const std::vector<FreedPage>* freedPages) {
  DeletedRowsIndex index;
  DeletedRowReader reader(file, catalogue, tableId, freedPages);
  reader.SetDamageReport(damage);
  reader.Read(job, nullptr, [&index](const RecoveredRow& row) {
    const bool freed = row.foundAs == DeletedWhy::kFreedPage;
    if (index.pages.empty() || index.pages.back().page != row.at.page ||
        index.pages.back().freed != freed) {
      index.pages.push_back({row.at.page, freed, 0});
    }
    ++index.pages.back().rows;
    index.whys.push_back(row.why);
    return true;
  });
  return index;
}

TableRowSource::TableRowSource(const DataFile& file, const Catalogue& catalogue, int64_t tableId)
    : tableId_(tableId), reader_(file, catalogue, tableId), columns_(reader_.Columns()) {}

TableRowSource::TableRowSource(const DataFile& file, const Catalogue& catalogue, int64_t tableId,
                               const DeletedRowsIndex& deleted)
    : tableId_(tableId),
      reader_(file, catalogue, tableId),
      deleted_(std::make_unique<DeletedRowReader>(file, catalogue, tableId)),
      whys_(deleted.whys) {
  _SYSCOLUMNS text;
  text.tableId = tableId;
  text.xtype = kXNVarChar;
  text.length = 64;
  text.status = 0x01;
  text.name = kFoundAtColumn;
  columns_.push_back(text);
  text.name = kWhyColumn;
  columns_.push_back(text);
  columns_.insert(columns_.end(), reader_.Columns().begin(), reader_.Columns().end());
  for (const DeletedPageRows& p : deleted.pages) {
    if (p.rows == 0) continue;
    index_.push_back({p.page, rows_, p.freed});
    rows_ += p.rows;
  }
  // A row count beyond the reasons kept would name rows with none.
  if (rows_ > whys_.size()) rows_ = whys_.size();
  complete_ = true;
}

void TableRowSource::ReadIndexedPage(const IndexEntry& entry, const TableReader::RowSink& onRow) {
  if (!deleted_) {
    reader_.ReadPageRowsAt(entry.page, onRow);
    return;
  }
  uint64_t n = entry.firstRow;
  RowValues row;
  deleted_->ReadPageAt(entry.page, entry.freed, [&](const RecoveredRow& found) {
    if (n >= whys_.size()) return false;
    // The reason the whole read gave: whether a row is an older version of
    // a live one is known only to it.
    const DeletedWhy why = whys_[n++];
    row.assign(2, Value{});
    row[0].kind = row[1].kind = ValueKind::kString;
    const std::string at = FoundAtText(found.at);
    row[0].text.assign(at.begin(), at.end());
    const std::string_view whyText = DeletedWhyText(why);
    row[1].text.assign(whyText.begin(), whyText.end());
    row.insert(row.end(), found.values.begin(), found.values.end());
    return onRow(row);
  });
}

void TableRowSource::AddPages(std::span<const PageRowCount> pages) {
  for (const PageRowCount& p : pages) {
    if (p.rows == 0) continue;
    index_.push_back({p.page, rows_});
    rows_ += p.rows;
  }
}

const TableRowSource::CachedPage& TableRowSource::Decoded(const IndexEntry& entry) {
  const uint64_t page = entry.page;
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
  ReadIndexedPage(entry, [&fresh, &wrongText](const RowValues& row) {
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
  const CachedPage& page = Decoded(*it);
  const uint64_t at = n - it->firstRow;
  return at < page.rows.size() ? &page.rows[at] : nullptr;
}

void TableRowSource::ForEachRow(
    const std::function<void(uint32_t row, const RowValues& values)>& visit) {
  for (const IndexEntry& entry : index_) {
    auto row = static_cast<uint32_t>(entry.firstRow);
    ReadIndexedPage(entry, [&](const RowValues& values) {
      visit(row++, values);
      return true;
    });
  }
}

std::vector<uint32_t> TableRowSource::Arranged(std::u16string_view filter, int sortColumn,
                                               bool descending) {
  const std::vector<_SYSCOLUMNS>& columns = Columns();
  const RowFilter f = ParseFilter(filter, columns);
  const bool sort = sortColumn >= 0 && static_cast<size_t>(sortColumn) < columns.size();
  std::vector<uint32_t> rows;
  std::vector<SortKey> keys;
  if (rows_ > kMaxArrangedRows) return rows;
  ForEachRow([&](uint32_t row, const RowValues& values) {
    if (!Accepts(f, values, columns)) return;
    rows.push_back(row);
    if (sort) keys.push_back(KeyOf(values[sortColumn], columns[sortColumn]));
  });
  if (!sort) return rows;
  std::vector<uint32_t> order(rows.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<uint32_t>(i);
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    return descending ? keys[b] < keys[a] : keys[a] < keys[b];
  });
  std::vector<uint32_t> sorted;
  sorted.reserve(order.size());
  for (uint32_t i : order) sorted.push_back(rows[i]);
  return sorted;
}

std::u16string TableRowSource::CellText(uint64_t row, size_t column) {
  const RowValues* values = Row(row);
  if (!values || column >= values->size() || column >= Columns().size()) return {};
  return GridText((*values)[column], Columns()[column]);
}

}  // namespace mendora
