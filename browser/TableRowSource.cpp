#include "browser/TableRowSource.h"

#include <algorithm>

#include "browser/GridText.h"
#include "engine/TypeCodes.h"
#include "ui/TreeControl.h"

namespace mendora {
namespace {

size_t ValueBytes(const Value& value) {
  return sizeof(Value) + value.bytes.size() + value.text.size() * sizeof(char16_t);
}

}  // namespace

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

namespace {

// The recovered rows of one page as the grid shows them: `_found_at`, `_why`
// (the reason the whole read gave: whether a row is an older version of a
// live one is known only to it), then the table's columns.
void ReadDeletedPage(DeletedRowReader& reader, const std::vector<DeletedWhy>& whys,
                     const PageStart& page, const TableReader::RowSink& onRow) {
  uint64_t n = page.firstRow;
  RowValues row;
  reader.ReadPageAt(page.page, page.freed, [&](const RecoveredRow& found) {
    if (n >= whys.size()) return false;
    const DeletedWhy why = whys[n++];
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

}  // namespace

TableRowSource::TableRowSource(const DataFile& file, const Catalogue& catalogue, int64_t tableId)
    : tableId_(tableId),
      file_(file),
      catalogue_(catalogue),
      reader_(file, catalogue, tableId),
      columns_(reader_.Columns()) {}

TableRowSource::TableRowSource(const DataFile& file, const Catalogue& catalogue, int64_t tableId,
                               const DeletedRowsIndex& deleted)
    : tableId_(tableId),
      file_(file),
      catalogue_(catalogue),
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
  ReadDeletedPage(*deleted_, whys_, {entry.page, entry.firstRow, entry.freed}, onRow);
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

std::vector<PageStart> TableRowSource::PageStarts() const {
  std::vector<PageStart> out;
  out.reserve(index_.size());
  for (const IndexEntry& e : index_) out.push_back({e.page, e.firstRow, e.freed});
  return out;
}

PageRowsReader TableRowSource::ReaderForAnotherThread() const {
  // The readers are made on the thread that reads, at its first page.
  const DataFile* file = &file_;
  const Catalogue* catalogue = &catalogue_;
  const int64_t table = tableId_;
  if (!deleted_) {
    auto reader = std::make_shared<std::unique_ptr<TableReader>>();
    return [=](const PageStart& page, const TableReader::RowSink& onRow) {
      if (!*reader) *reader = std::make_unique<TableReader>(*file, *catalogue, table);
      (*reader)->ReadPageRowsAt(page.page, onRow);
    };
  }
  auto reader = std::make_shared<std::unique_ptr<DeletedRowReader>>();
  auto whys = std::make_shared<const std::vector<DeletedWhy>>(whys_);
  return [=](const PageStart& page, const TableReader::RowSink& onRow) {
    if (!*reader) *reader = std::make_unique<DeletedRowReader>(*file, *catalogue, table);
    ReadDeletedPage(**reader, *whys, page, onRow);
  };
}

std::u16string TableRowSource::CellText(uint64_t row, size_t column) {
  const RowValues* values = Row(row);
  if (!values || column >= values->size() || column >= Columns().size()) return {};
  return GridText((*values)[column], Columns()[column]);
}

}  // namespace mendora
