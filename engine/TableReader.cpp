#include "engine/TableReader.h"

#include <algorithm>
#include <array>
#include <unordered_set>

#include "engine/AllocationMap.h"
#include "engine/ByteReader.h"
#include "engine/ColumnLayouts.h"
#include "engine/PageHeader.h"
#include "engine/PfsPage.h"
#include "engine/Record.h"
#include "engine/RowCutter.h"
#include "engine/TypeCodes.h"
#include "engine/Utf16.h"
#include "engine/ValueDecoder.h"

namespace mendora {
namespace {

// 2000 data pages carry index id 0, text/image pages 255.
constexpr uint16_t kDataIndexId2000 = 0;
constexpr uint16_t kTextIndexId2000 = 255;

// A forwarding stub: status byte, then the forwarded record's page u32, file
// u16 and slot u16.
constexpr size_t kStubPage = 1;
constexpr size_t kStubFile = 5;
constexpr size_t kStubSlot = 7;
constexpr size_t kStubSize = 9;

// text, ntext and image values are reached through a 16-byte text pointer;
// a root of the (max) types is 12 bytes and 12 per link, never 16. An image
// column may hold such a root too, so the shape decides, not the type.
bool IsTextPointer(Bytes pointer) {
  return pointer.size() == 16;
}

}  // namespace

std::optional<TableStorage> FindTableStorage(const Catalogue& catalogue,
                                             const VersionFlags& version, int64_t tableId) {
  TableStorage s;
  s.tableId = tableId;
  bool found = false;
  for (const auto& r : catalogue.indexRows) {
    if (r.tableId != tableId || r.indid > 1) continue;
    if (version.HasSysObjectsCatalogue()) {
      if (found) continue;
      s.rows = {static_cast<uint32_t>(tableId), kDataIndexId2000};
      s.largeValues = {{static_cast<uint32_t>(tableId), kTextIndexId2000}};
    } else if (r.unitType == kUnitLargeObjects || r.unitType == kUnitRowOverflow) {
      s.largeValues.push_back({r.allocUnitObjId, r.allocUnitIndexId});
      continue;
    } else if (found || !HoldsTableRows(r)) {
      continue;
    } else {
      s.rows = {r.allocUnitObjId, r.allocUnitIndexId};
    }
    found = true;
    s.clustered = r.indid == 1;
    s.firstPage = PageKey(r.firstPage, static_cast<uint16_t>(r.firstFile));
    s.firstIam = PageKey(r.firstIAM, static_cast<uint16_t>(r.firstIAMFile));
    s.compression = r.compression;
  }
  if (!found) return std::nullopt;
  return s;
}

std::string RowsNotReadReason(const DataFile& file, const TableStorage& storage) {
  switch (storage.compression) {
    case kCompressionNone:
      break;
    case kCompressionRow:
      return "rows stored with row compression are not read";
    case kCompressionPage:
      return "rows stored with page compression are not read";
    default:
      return "rows stored in a columnstore are not read";
  }
  for (uint64_t first : {storage.firstIam, storage.firstPage}) {
    const uint16_t fileId = FileIdOf(first);
    if (first != 0 && !file.HasFile(fileId)) {
      return "rows are in data file " + std::to_string(fileId) +
             ", which was not found beside the primary file";
    }
  }
  return {};
}

std::string TableFormNotReadReason(const Catalogue& catalogue, int64_t tableId) {
  const _SYSOBJECTS* table = ObjectById(catalogue, tableId);
  if (table && table->memoryOptimized) {
    return "rows of a memory-optimized table are kept outside the data file and are not read";
  }
  bool sparse = false;
  for (const auto& c : catalogue.columns) {
    if (c.tableId != tableId) continue;
    if (c.filestream) return "rows with FILESTREAM data kept outside the data file are not read";
    sparse = sparse || c.sparse || c.columnSet;
  }
  // Sparse values are kept together in one vector at the end of the record,
  // outside the layout the file records for the other columns.
  if (sparse) return "rows stored with sparse columns are not read";
  return {};
}

TableReader::TableReader(const DataFile& file, const Catalogue& catalogue, int64_t tableId)
    : file_(file),
      columns_(ColumnsOf(catalogue, tableId)),
      tableName_(ToUtf8(ObjectName(catalogue, tableId))) {
  if (auto it = catalogue.layouts.find(tableId); it != catalogue.layouts.end()) {
    if (it->second.columns.size() == columns_.size()) layout_ = &it->second;
  }
  storage_ = FindTableStorage(catalogue, file.Version(), tableId);
  notRead_ = TableFormNotReadReason(catalogue, tableId);
  if (storage_ && notRead_.empty()) notRead_ = RowsNotReadReason(file, *storage_);
  if (storage_ && notRead_.empty() && storage_->firstIam != 0) {
    // Rows that begin in the files found may go on in one that was not: the
    // rows found would be taken for the whole table.
    missingFilePage_ = WalkIAM(file, storage_->firstIam).missingFilePage;
    if (missingFilePage_ != 0) {
      notRead_ = "some rows are in data file " + std::to_string(FileIdOf(missingFilePage_)) +
                 ", which was not found beside the primary file";
    }
  }
  for (uint64_t first : {storage_ ? storage_->firstIam : 0, storage_ ? storage_->firstPage : 0}) {
    if (missingFilePage_ == 0 && first != 0 && !file.HasFile(FileIdOf(first))) {
      missingFilePage_ = first;
    }
  }
  if (storage_) lobs_.emplace(file, storage_->largeValues);
  pfs_.emplace(file);
  row_.resize(columns_.size());
}

bool NamesRowUnit(const PageHeader& h, const UnitKey& rows) {
  if (h.type != kPageTypeData || h.objectId != rows.objectId) return false;
  return h.indexId == rows.indexId || (h.indexId == kDataIndexId2000 && rows.indexId == 1);
}

bool TableReader::Accepts(const PageBuffer& page, uint64_t pageNumber) {
  return NamesRowUnit(DecodePageHeader(page), storage_->rows) && pfs_->MayBeAllocated(pageNumber);
}

void TableReader::NoteDamage(size_t at, const std::string& reason) {
  if (damage_) {
    damage_->Add(pageNumber_, slot_, static_cast<uint32_t>(at), tableName_ + ": " + reason);
  }
}

void TableReader::WalkPages(JobControl& job, const PageVisit& visit) {
  if (!CanRead()) return;
  std::unordered_set<uint64_t> visited;
  PageBuffer page;

  // The leaf level of a clustered table, in key order.
  if (storage_->clustered) {
    uint64_t p = storage_->firstPage;
    while (p != 0 && file_.HasPage(p) && visited.insert(p).second) {
      job.Checkpoint();
      file_.ReadPage(p, page);
      if (!Accepts(page, p)) break;
      pageNumber_ = p;
      if (!visit(page, p)) return;
      const PageHeader h = DecodePageHeader(page);
      p = PageKey(h.nextPage, h.nextFile);
    }
  }

  // A heap's pages, and any page of the unit the leaf chain did not reach.
  if (storage_->firstIam == 0) return;
  std::vector<uint64_t> pages = ExpandPages(WalkIAM(file_, storage_->firstIam, &job).entries);
  std::sort(pages.begin(), pages.end());
  pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
  for (uint64_t p : pages) {
    if (p == 0 || !file_.HasPage(p) || !visited.insert(p).second) continue;
    job.Checkpoint();
    file_.ReadPage(p, page);
    if (!Accepts(page, p)) continue;
    pageNumber_ = p;
    if (!visit(page, p)) return;
  }
}

void TableReader::Read(JobControl& job, const RowSink& onRow) {
  stats_ = {};
  countOnly_ = false;
  WalkPages(job, [&](const PageBuffer& page, uint64_t) { return ReadPageRows(page, onRow); });
}

void TableReader::CountPageRows(JobControl& job, const PageRowCount& onPage) {
  stats_ = {};
  countOnly_ = true;
  uint32_t rows = 0;
  const RowSink count = [&rows](const RowValues&) {
    ++rows;
    return true;
  };
  WalkPages(job, [&](const PageBuffer& page, uint64_t pageNumber) {
    rows = 0;
    ReadPageRows(page, count);
    return onPage(pageNumber, rows);
  });
  countOnly_ = false;
}

void TableReader::ListPages(JobControl& job,
                            const std::function<void(uint64_t pageNumber)>& onPage) {
  WalkPages(job, [&](const PageBuffer&, uint64_t pageNumber) {
    onPage(pageNumber);
    return true;
  });
}

void TableReader::ReadPageRowsAt(uint64_t pageNumber, const RowSink& onRow) {
  countOnly_ = false;
  if (!CanRead() || PageNumberOf(pageNumber) == 0 || !file_.HasPage(pageNumber)) return;
  PageBuffer page;
  file_.ReadPage(pageNumber, page);
  pageNumber_ = pageNumber;
  if (Accepts(page, pageNumber)) ReadPageRows(page, onRow);
}

bool TableReader::ReadPageRows(const PageBuffer& page, const RowSink& onRow) {
  ++stats_.pages;
  SlotOffsetsInto(page, slots_);
  limits_.Reset(slots_);
  for (size_t k = 0; k < slots_.size(); ++k) {
    const uint16_t at = slots_[k];
    if (at == 0) continue;
    slot_ = static_cast<uint16_t>(k);
    if (!EmitRecord(limits_.Bound(page, at), at, onRow)) return false;
  }
  if (onPage_) onPage_(pageNumber_, page);
  return true;
}

bool TableReader::EmitRecord(Bytes page, size_t at, const RowSink& onRow) {
  // A forwarding stub has no fixed part: its bytes 2..3 are part of the page
  // number, not a fixed-part end, so it is known by its status byte before
  // any parsing.
  const bool isStub = at < page.size() && (std::to_integer<uint8_t>(page[at]) & kStatusTypeMask) ==
                                              kRecordForwardingStub;
  Record& record = record_;
  if (isStub) {
    // The row lives on another page of the table; it is read here, once.
    const ByteReader stub(page.subspan(at));
    if (!stub.Has(0, kStubSize)) {
      NoteDamage(at, "forwarding stub past the record's end");
      ++stats_.skippedRecords;
      return true;
    }
    const uint64_t target = PageKey(*stub.u32(kStubPage), *stub.u16(kStubFile));
    const uint16_t slot = *stub.u16(kStubSlot);
    if (PageNumberOf(target) == 0 || !file_.HasPage(target)) {
      NoteDamage(at, "forwarding stub pointing past the end of the file");
      ++stats_.skippedRecords;
      return true;
    }
    // Rows forwarded from one page often share their target page: the last
    // one read is kept.
    if (target != forwardedPage_) {
      file_.ReadPage(target, forwarded_);
      SlotOffsetsInto(forwarded_, forwardedSlots_);
      forwardedLimits_.Reset(forwardedSlots_);
      forwardedAccepted_ = Accepts(forwarded_, target);
      forwardedPage_ = target;
    }
    const std::vector<uint16_t>& slots = forwardedSlots_;
    const bool parsed =
        slot < slots.size() && forwardedAccepted_ &&
        ParseRecordInto(forwardedLimits_.Bound(forwarded_, slots[slot]), slots[slot], record);
    if (!parsed || record.Type() != kRecordForwarded) {
      NoteDamage(at, "forwarding stub leading to no forwarded record");
      ++stats_.skippedRecords;
      return true;
    }
    ++stats_.forwardedRows;
  } else {
    if (!ParseRecordInto(page, at, record)) {
      NoteDamage(at, "record past its end on the page");
      ++stats_.skippedRecords;
      return true;
    }
    // Forwarded records are read at their stubs; ghosts, index and
    // large-object records are no rows.
    if (record.Type() != kRecordPrimary) return true;
  }
  if (!CutRowInto(record, *layout_, cells_)) {
    if (record.statusA != 0) {
      NoteDamage(at, "row whose columns lie outside the record");
      ++stats_.skippedRecords;
    }
    return true;
  }
  if (countOnly_) {
    ++stats_.rows;
    return onRow(row_);
  }
  auto columnName = [&](size_t i) { return "column " + std::to_string(columns_[i].colid) + ": "; };
  for (size_t i = 0; i < columns_.size(); ++i) {
    const CellValue& cell = cells_[i];
    Value& value = row_[i];
    if (cell.isNull) {
      value.Reset();
      continue;
    }
    if (cell.offRow) {
      if (!lobs_->Read(cell.bytes, IsTextPointer(cell.bytes), lobBytes_, lobError_)) {
        value.Reset();
        value.kind = ValueKind::kUnreadable;
        value.error = lobError_;
        NoteDamage(at, columnName(i) + lobError_);
        ++stats_.unreadableCells;
        continue;
      }
      DecodeValue(lobBytes_, columns_[i], value);
    } else {
      DecodeValue(cell.Value(), columns_[i], value);
    }
    if (value.kind == ValueKind::kUnreadable) {
      NoteDamage(at, columnName(i) + value.error);
      ++stats_.unreadableCells;
    }
    if (value.codePageError) {
      NoteDamage(at, columnName(i) + "bytes outside the column's code page");
      ++stats_.codePageErrors;
    }
  }
  ++stats_.rows;
  return onRow(row_);
}

}  // namespace mendora
