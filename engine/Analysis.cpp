#include "engine/Analysis.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "engine/AllocationMap.h"
#include "engine/BootPage.h"
#include "engine/ColumnLayouts.h"
#include "engine/PageHeader.h"
#include "engine/SysTables2000.h"
#include "engine/SysTables2005.h"

namespace mendora {
namespace {

// Index ids of user allocation units start here; pages with such an id in
// their header are user pages even when their object id looks like a system
// table's.
constexpr uint16_t kFirstUserIndexId = 256;
// The PFS page: page 1, then every 8088 pages; one byte per page after its
// 4-byte record header, bit 0x40 set when the page is allocated.
constexpr uint64_t kPfsInterval = 8088;
constexpr size_t kPfsBytes = 100;
constexpr uint8_t kPfsAllocated = 0x40;

void Report(const ProgressFn& progress, uint64_t done, uint64_t total) {
  if (progress && total) progress(static_cast<int>(std::min<uint64_t>(100, done * 100 / total)));
}

std::unordered_set<int64_t> UserTableIds(const Catalogue& c) {
  std::unordered_set<int64_t> ids;
  for (const auto& t : c.userTables) ids.insert(t.id);
  return ids;
}

void CollectUserTables(Catalogue& c) {
  for (const auto& o : c.objects) {
    if (o.type == u"U ") c.userTables.push_back(o);
  }
}

// For each user table, its first index row; a heap or clustered index's
// in-row data unit is preferred, since the table's rows live there.
void CollectTableStorage(Catalogue& c) {
  std::unordered_map<int32_t, size_t> first, inRow;
  for (size_t i = 0; i < c.indexRows.size(); ++i) {
    const auto& r = c.indexRows[i];
    first.try_emplace(r.tableId, i);
    bool tableRows = r.indid <= 1 && (r.unitType == 0 || r.unitType == kUnitInRowData);
    if (tableRows) inRow.try_emplace(r.tableId, i);
  }
  for (const auto& t : c.userTables) {
    auto id = static_cast<int32_t>(t.id);
    if (auto i = inRow.find(id); i != inRow.end()) {
      c.tableStorage.push_back(c.indexRows[i->second]);
    } else if (auto f = first.find(id); f != first.end()) {
      c.tableStorage.push_back(c.indexRows[f->second]);
    }
  }
}

// ---------------------------------------------------------------- 2000 files

std::vector<uint64_t> SystemTablePages2000(DataFile& file, uint64_t iam, JobControl& job,
                                           uint64_t fallback = 0) {
  return ExpandPages(WalkIAM(file, iam, &job, fallback).entries);
}

// Visits the rows of every page of `pages` that passes the page test: a data
// page of the table, under its 2000 object id or its 2005/2008 one.
template <typename Visit>
void ForEachRow2000(DataFile& file, const std::vector<uint64_t>& pages,
                    std::pair<uint32_t, uint32_t> objectIds, JobControl& job, Visit visit) {
  for (uint64_t p : pages) {
    job.Checkpoint();
    const auto& slots = file.ReadSlotOffsets(p);
    if (slots.empty()) continue;
    PageHeader h = DecodePageHeader(file.Page());
    bool ours = h.objectId == objectIds.first || h.objectId == objectIds.second;
    if (!ours || h.type != kPageTypeData) continue;
    for (uint16_t at : slots) {
      if (at != 0) visit(Bytes(file.Page()), at);
    }
  }
}

void Recover2000(DataFile& file, Catalogue& c, JobControl& job, const ProgressFn& progress) {
  std::unordered_set<int64_t> seen;
  auto objectPages = SystemTablePages2000(file, kSysObjectsIam2000, job, kSysObjectsFirstPage2000);
  ForEachRow2000(file, objectPages, {kSysObjects2000, kSysSchObjs}, job,
                 [&](Bytes page, uint16_t at) {
                   auto o = DecodeSysObjects2000(page, at);
                   if (o && seen.insert(o->id).second) c.objects.push_back(std::move(*o));
                 });
  CollectUserTables(c);
  Report(progress, 1, 4);

  auto tables = UserTableIds(c);
  std::vector<SysColumn2000> columns;
  ForEachRow2000(file, SystemTablePages2000(file, kSysColumnsIam2000, job),
                 {kSysColumns2000, kSysColPars}, job, [&](Bytes page, uint16_t at) {
                   auto col = DecodeSysColumns2000(page, at);
                   if (col && tables.count(col->column.tableId)) columns.push_back(*col);
                 });
  for (const auto& col : columns) c.columns.push_back(col.column);
  Report(progress, 2, 4);

  std::vector<SysIndex2000> indexes;
  ForEachRow2000(file, SystemTablePages2000(file, kSysIndexesIam2000, job),
                 {kSysIndexes2000, kSysIdxStats}, job, [&](Bytes page, uint16_t at) {
                   if (auto s = DecodeSysIndexes2000(page, at)) indexes.push_back(std::move(*s));
                 });
  // A table's row count stands on its heap or clustered row only; every index
  // row of the table carries it.
  std::unordered_map<int32_t, uint32_t> rowCounts;
  for (const auto& s : indexes) {
    if (s.index.indid <= 1) rowCounts.try_emplace(s.index.tableId, s.rowCount);
  }
  for (auto& s : indexes) {
    auto it = rowCounts.find(s.index.tableId);
    s.index.rowCount = it == rowCounts.end() ? 0 : it->second;
    c.indexRows.push_back(std::move(s.index));
  }
  CollectTableStorage(c);
  c.layouts = LayoutsFrom2000Columns(c, columns);
  Report(progress, 3, 4);
}

// ----------------------------------------------------------- 2005/2008 files

// Everything the one pass over the file collects, in page and slot order.
struct Scan2005 {
  std::vector<_SYSOBJECTS> objects;
  std::unordered_set<int64_t> objectIds;
  std::vector<_SYSCOLUMNS> columns;
  std::vector<_2008IndexIdentifier> rowsets;
  std::vector<_2008IndexPageNumbers> units;
  std::vector<IdxStatsRow> indexes;
  std::vector<_SysIndexKeys> keys;
  std::set<std::tuple<uint32_t, uint32_t, uint32_t>> keySeen;
  std::vector<_SysConstraints> dependencies;
  struct Value {
    ObjValueRow row;
    uint64_t rowOffset;  // absolute file offset of the row
  };
  std::vector<Value> values;
  std::vector<LayoutRow> layoutRows;
  std::vector<RowsetColumnRow> rowsetColumns;
};

bool IsWanted2005(uint32_t objectId) {
  switch (objectId) {
    case kSysRscols:
    case kSysRowsetColumns:
    case kSysRowsets:
    case kSysAllocUnits:
    case kSysHobtColumns:
    case kSysSchObjs:
    case kSysColPars:
    case kSysIdxStats:
    case kSysIsCols:
    case kSysObjValues:
    case kSysSingleObjRefs:
      return true;
    default:
      return false;
  }
}

void DecodePage2005(Bytes page, uint64_t pageNumber, uint32_t objectId, bool v655, Scan2005& scan) {
  uint16_t count = LoadU16(page, kHeaderSlotCount);
  if (count == 0 || count > kMaxSlots) return;
  for (uint16_t k = 0; k < count; ++k) {
    uint16_t at = LoadU16(page, kPageSize - 2 - 2 * k);
    if (at == 0) continue;
    switch (objectId) {
      case kSysSchObjs:
        if (auto o = DecodeSysSchObjs(page, at); o && scan.objectIds.insert(o->id).second) {
          scan.objects.push_back(std::move(*o));
        }
        break;
      case kSysColPars:
        if (auto c = DecodeSysColPars(page, at)) scan.columns.push_back(std::move(*c));
        break;
      case kSysRowsets:
        if (auto r = DecodeSysRowsets(page, at)) scan.rowsets.push_back(*r);
        break;
      case kSysAllocUnits:
        if (auto u = DecodeSysAllocUnits(page, at)) scan.units.push_back(*u);
        break;
      case kSysIdxStats:
        if (auto i = DecodeSysIdxStats(page, at)) scan.indexes.push_back(std::move(*i));
        break;
      case kSysIsCols:
        if (auto key = DecodeSysIsCols(page, at);
            key && scan.keySeen.emplace(key->objectId, key->indexId, key->columnId).second) {
          scan.keys.push_back(*key);
        }
        break;
      case kSysSingleObjRefs:
        if (auto d = DecodeSysSingleObjRefs(page, at)) scan.dependencies.push_back(*d);
        break;
      case kSysObjValues:
        if (auto v = DecodeSysObjValues(page, at)) {
          scan.values.push_back({*v, pageNumber * kPageSize + at});
        }
        break;
      case kSysRscols:
        if (!v655) break;
        if (auto l = DecodeSysRscols(page, at)) scan.layoutRows.push_back(*l);
        break;
      case kSysHobtColumns:
        if (v655) break;
        if (auto l = DecodeSysHobtColumns(page, at)) scan.layoutRows.push_back(*l);
        break;
      case kSysRowsetColumns:
        if (v655) break;
        if (auto r = DecodeSysRowsetColumns(page, at)) scan.rowsetColumns.push_back(*r);
        break;
    }
  }
}

// Reads the file once from the start in large sequential reads and decodes
// every allocated page of a wanted system table.
void ScanFile2005(DataFile& file, Scan2005& scan, JobControl& job, const ProgressFn& progress) {
  constexpr size_t kPagesPerRead = 128;
  const uint64_t pageCount = file.PageCount();
  const bool v655 = file.Version().Version655;
  std::vector<std::byte> chunk(kPagesPerRead * kPageSize);
  PageBuffer page{};
  std::vector<uint8_t> pfs;  // allocation bytes of the current PFS interval
  uint64_t pfsInterval = UINT64_MAX;
  for (uint64_t base = 0; base < pageCount; base += kPagesPerRead) {
    job.Checkpoint();
    size_t got = file.ReadDirect(base * kPageSize, chunk);
    size_t pages = got / kPageSize;
    for (size_t i = 0; i < pages; ++i) {
      job.Checkpoint();
      uint64_t p = base + i;
      Bytes raw(chunk.data() + i * kPageSize, kPageSize);
      uint64_t pfsPage = p < kPfsInterval ? 1 : p - p % kPfsInterval;
      if (p == pfsPage) {
        std::copy(raw.begin(), raw.end(), page.begin());
        RepairTornPage(page);
        pfsInterval = p / kPfsInterval;
        pfs.clear();
        if (DecodePageHeader(page).type == kPageTypePfs) {
          for (size_t b = kPfsBytes; b < kPageSize; ++b)
            pfs.push_back(static_cast<uint8_t>(page[b]));
        }
        continue;
      }
      PageHeader h = DecodePageHeader(raw);
      if (!IsWanted2005(h.objectId) || h.indexId >= kFirstUserIndexId || h.type != kPageTypeData) {
        continue;
      }
      // Without a readable PFS page for its interval a page is taken on its header alone.
      if (pfsInterval == p / kPfsInterval && !pfs.empty()) {
        size_t at = p % kPfsInterval;
        if (at < pfs.size() && !(pfs[at] & kPfsAllocated)) continue;
      }
      std::copy(raw.begin(), raw.end(), page.begin());
      RepairTornPage(page);
      DecodePage2005(page, p, h.objectId, v655, scan);
    }
    Report(progress, base + pages, pageCount);
    if (got < chunk.size()) break;
  }
}

void JoinIndexes2005(Catalogue& c, const std::vector<IdxStatsRow>& rows) {
  // The table's rowset is its heap (index id 0) or clustered index (1);
  // nonclustered indexes have rowsets of their own with the same owner.
  std::unordered_map<int64_t, const _2008IndexIdentifier*> tableRowset;
  for (const auto& r : c.rowsets) {
    if (r.indexId == 0 || r.indexId == 1) tableRowset.try_emplace(int64_t(r.ownerKey >> 16), &r);
  }
  std::multimap<std::pair<uint32_t, uint16_t>, const _2008IndexPageNumbers*> unitsByOwner;
  for (const auto& u : c.allocationUnits) {
    unitsByOwner.emplace(std::make_pair(u.ownerMid, uint16_t(u.unitKey & 0xFFFF)), &u);
  }
  for (const auto& row : rows) {
    _SYSINDEXES x;
    x.tableId = row.tableId;
    x.indid = x.indid2 = row.indid;
    x.status = row.status;
    x.name = row.name;
    auto rs = tableRowset.find(static_cast<uint32_t>(row.tableId));
    if (rs != tableRowset.end()) x.rowCount = rs->second->rowCount;
    if (row.indid > 1) {
      c.indexRows.push_back(std::move(x));
      continue;
    }
    if (rs == tableRowset.end()) continue;
    // One record per allocation unit of the table's rowset, in the units' order.
    auto key = std::make_pair(rs->second->rowsetMid, uint16_t(rs->second->ownerKey & 0xFFFF));
    auto [from, to] = unitsByOwner.equal_range(key);
    std::vector<const _2008IndexPageNumbers*> units;
    for (auto it = from; it != to; ++it) units.push_back(it->second);
    std::sort(units.begin(), units.end());  // pointers into the list: list order
    for (const auto* u : units) {
      _SYSINDEXES copy = x;
      copy.firstPage = u->firstPage;
      copy.firstFile = u->firstFile;
      copy.firstIAM = u->firstIAM;
      copy.firstIAMFile = u->firstIAMFile;
      copy.allocUnitObjId = static_cast<uint32_t>(u->unitKey >> 16);
      copy.unitType = u->type;
      c.indexRows.push_back(std::move(copy));
    }
  }
}

bool IsModuleType(const std::u16string& t) {
  return t == u"P " || t == u"X " || t == u"FN" || t == u"IF" || t == u"TF" || t == u"TR" ||
         t == u"V ";
}

void CollectTexts2005(Catalogue& c, const std::vector<Scan2005::Value>& values) {
  std::unordered_map<int64_t, const _SYSOBJECTS*> byId;
  for (const auto& o : c.objects) byId.emplace(o.id, &o);
  for (const auto& v : values) {
    auto it = byId.find(static_cast<int32_t>(v.row.objectId));
    if (it == byId.end()) continue;
    // A text kept off the row leaves only a pointer in the row: taking the
    // pointer's bytes for the text would show garbage, so no entry is made.
    if (v.row.offRow) continue;
    auto length = static_cast<uint16_t>(v.row.textEnd - kValueTextStart);
    const auto& type = it->second->type;
    if (type == u"C ") {
      c.checkTexts.push_back({v.row.objectId, v.rowOffset + kValueTextStart, length});
    } else if (IsModuleType(type) && v.row.textMarker) {
      c.moduleTexts.push_back({v.row.objectId, v.rowOffset + 26, length});
    }
  }
}

void Recover2005(DataFile& file, Catalogue& c, JobControl& job, const ProgressFn& progress) {
  Scan2005 scan;
  ScanFile2005(file, scan, job, progress);
  c.objects = std::move(scan.objects);
  CollectUserTables(c);
  auto tables = UserTableIds(c);
  for (auto& col : scan.columns) {
    if (tables.count(col.tableId)) c.columns.push_back(std::move(col));
  }
  c.rowsets = std::move(scan.rowsets);
  c.allocationUnits = std::move(scan.units);
  JoinIndexes2005(c, scan.indexes);
  CollectTableStorage(c);
  c.layouts =
      LayoutsFromRowsets(c, scan.layoutRows, scan.rowsetColumns, !file.Version().Version655);
  c.indexKeys = std::move(scan.keys);
  c.dependencies = std::move(scan.dependencies);
  CollectTexts2005(c, scan.values);
}

}  // namespace

std::u16string CutDatabaseName(std::u16string_view units) {
  constexpr char16_t kPad = 0x2020;
  const size_t n = units.size();
  auto at = [&](size_t i) -> char16_t { return i < n ? units[i] : 0; };
  size_t cut = std::u16string_view::npos;
  for (size_t i = 0; i < n; i += 2) {
    if (at(i) == kPad && at(i + 1) == kPad) {
      cut = i;
    } else if (at(i) == kPad) {
      cut = i == 0 ? 0 : i - 1;
    } else if (i + 3 < n && at(i) == u' ' && at(i + 1) == u' ' && at(i + 2) == u' ' &&
               at(i + 3) == u' ') {
      cut = i;
    } else {
      continue;
    }
    break;
  }
  std::u16string name;
  if (cut != std::u16string_view::npos) {
    name = units.substr(0, cut);
  } else {
    name = units.substr(0, std::min(n, units.find(u'\0')));
  }
  name = name.substr(0, std::min(name.size(), name.find(kPad)));
  std::replace(name.begin(), name.end(), u' ', u'_');
  return name;
}

std::u16string ReadDatabaseName(DataFile& file) {
  BootPage boot = DecodeBootPage(file.ReadPage(kBootPage));
  return CutDatabaseName(boot.name);
}

void RunAnalysis(DataFile& file, Catalogue& catalogue, JobControl& job,
                 const ProgressFn& progress) {
  catalogue.Clear();
  Report(progress, 0, 1);
  catalogue.databaseName = ReadDatabaseName(file);
  if (file.Version().HasSysObjectsCatalogue()) {
    Recover2000(file, catalogue, job, progress);
  } else if (file.Version().HasBaseTableCatalogue()) {
    Recover2005(file, catalogue, job, progress);
  }
  Report(progress, 1, 1);
}

std::vector<uint64_t> TablePages(DataFile& file, const Catalogue& catalogue, int64_t tableId,
                                 JobControl* job) {
  const _SYSINDEXES* entry = nullptr;
  for (const auto& r : catalogue.indexRows) {
    if (r.tableId == tableId && r.indid <= 1 && r.firstIAM >= 1 &&
        (r.unitType == 0 || r.unitType == kUnitInRowData)) {
      entry = &r;
      break;
    }
  }
  if (!entry) return {};
  AllocationWalk walk = WalkIAM(file, entry->firstIAM, job);
  // 2000 pages carry the table's object id; 2005/2008 pages their unit's.
  uint32_t owner =
      file.Version().HasSysObjectsCatalogue() ? walk.iamObjectId : entry->allocUnitObjId;
  std::vector<uint64_t> pages;
  std::unordered_set<uint64_t> seen;
  for (uint64_t p : ExpandPages(walk.entries)) {
    if (p == 0 || p >= file.PageCount() || !seen.insert(p).second) continue;
    if (job) job->Checkpoint();
    std::array<std::byte, 32> header{};
    if (file.ReadDirect(p * kPageSize, header) < header.size()) continue;
    if (LoadU32(header, kHeaderObjectId) == owner) pages.push_back(p);
  }
  return pages;
}

}  // namespace mendora
