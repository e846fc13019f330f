#include "engine/CatalogueRecovery2005.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "engine/BootPage.h"
#include "engine/CodePage.h"
#include "engine/ColumnLayouts.h"
#include "engine/LobReader.h"
#include "engine/PageHeader.h"
#include "engine/PfsPage.h"
#include "engine/SysTableDescriptions.h"
#include "engine/SysTables2005.h"
#include "engine/Utf16.h"

namespace mendora {
namespace {

// Index ids of user allocation units start here; pages with such an id in
// their header are user pages even when their object id looks like a system
// table's.
constexpr uint16_t kFirstUserIndexId = 256;

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
  std::vector<_AliasType> aliasTypes;
  std::map<int32_t, std::u16string> schemas;
  struct Value {
    ObjValueRow row;
    uint64_t rowOffset;  // absolute file offset of the row
    // The text as the row holds it, torn-page bits put back; for a text kept
    // off the row, the pointer to it.
    std::vector<std::byte> bytes;
  };
  std::vector<Value> values;
  std::vector<LayoutRow> layoutRows;
  std::vector<RowsetColumnRow> rowsetColumns;
  uint64_t misplacedPages = 0;
  uint64_t pagesThroughBootPage = 0;
  Catalogue::Damage damage;  // its entries only
  // One row per key of each system table: a row found twice (on two pages,
  // or through two slots) is taken once, so joins stay one row per key.
  std::set<std::array<uint64_t, 4>> rowKeys;
  bool First(uint32_t table, uint64_t a, uint64_t b = 0, uint64_t c = 0) {
    return rowKeys.insert({table, a, b, c}).second;
  }
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
    case kSysScalarTypes:
    case kSysClsObjs:
      return true;
    default:
      return false;
  }
}

// The system table of an object id, as the damage report names it.
std::string_view SystemTableName2005(uint32_t objectId) {
  switch (objectId) {
    case kSysRscols:
      return "sysrscols";
    case kSysRowsetColumns:
      return "sysrowsetcolumns";
    case kSysRowsets:
      return "sysrowsets";
    case kSysAllocUnits:
      return "sysallocunits";
    case kSysHobtColumns:
      return "syshobtcolumns";
    case kSysSchObjs:
      return "sysschobjs";
    case kSysColPars:
      return "syscolpars";
    case kSysIdxStats:
      return "sysidxstats";
    case kSysIsCols:
      return "sysiscols";
    case kSysObjValues:
      return "sysobjvalues";
    case kSysSingleObjRefs:
      return "syssingleobjrefs";
    case kSysClsObjs:
      return "sysclsobjs";
    default:
      return "system table";
  }
}

void DecodePage2005(Bytes wholePage, uint64_t pageNumber, uint32_t objectId, bool rsColsLayouts,
                    Scan2005& scan) {
  const std::vector<uint16_t> slots = SlotOffsets(wholePage);
  const RecordLimits limits(slots);
  for (uint16_t at : slots) {
    if (at == 0) continue;
    const Bytes page = limits.Bound(wholePage, at);
    switch (objectId) {
      case kSysSchObjs:
        if (auto o = DecodeSysSchObjs(page, at); o && scan.objectIds.insert(o->id).second) {
          scan.objects.push_back(std::move(*o));
        }
        break;
      case kSysColPars:
        if (auto c = DecodeSysColPars(page, at);
            c && scan.First(objectId, static_cast<uint32_t>(c->tableId),
                            static_cast<uint16_t>(c->colid))) {
          scan.columns.push_back(std::move(*c));
        }
        break;
      case kSysRowsets:
        if (auto r = DecodeSysRowsets(page, at);
            r && scan.First(objectId, r->rowsetMid, r->ownerKey)) {
          scan.rowsets.push_back(*r);
        }
        break;
      case kSysAllocUnits:
        if (auto u = DecodeSysAllocUnits(page, at);
            u && scan.First(objectId, u->unitKey, u->unitHigh)) {
          scan.units.push_back(*u);
        }
        break;
      case kSysIdxStats:
        if (auto i = DecodeSysIdxStats(page, at);
            i && scan.First(objectId, static_cast<uint32_t>(i->tableId), i->indid)) {
          scan.indexes.push_back(std::move(*i));
        }
        break;
      case kSysIsCols:
        if (auto key = DecodeSysIsCols(page, at);
            key && scan.keySeen.emplace(key->objectId, key->indexId, key->columnId).second) {
          scan.keys.push_back(*key);
        }
        break;
      case kSysSingleObjRefs:
        if (auto d = DecodeSysSingleObjRefs(page, at);
            d && scan.First(objectId, (uint64_t{d->refClass} << 32) | d->depId, d->depSubId,
                            (uint64_t{d->indepId} << 32) | d->indepSubId)) {
          scan.dependencies.push_back(*d);
        }
        break;
      case kSysScalarTypes:
        if (auto t = DecodeSysScalarTypes(page, at); t && scan.First(objectId, uint32_t(t->id))) {
          scan.aliasTypes.push_back(std::move(*t));
        }
        break;
      case kSysClsObjs:
        // A schema listed twice keeps the name first found.
        if (auto schema = DecodeSysClsObjs(page, at)) {
          scan.schemas.try_emplace(schema->id, std::move(schema->name));
        }
        break;
      case kSysObjValues:
        if (auto v = DecodeSysObjValues(page, at)) {
          const size_t from = at + (v->offRow ? v->valueStart : kValueTextStart);
          const size_t to = at + size_t{v->textEnd};
          std::vector<std::byte> bytes;
          if (from <= to && to <= page.size()) bytes.assign(page.begin() + from, page.begin() + to);
          scan.values.push_back({*v, pageNumber * kPageSize + at, std::move(bytes)});
        }
        break;
      case kSysRscols:
        if (!rsColsLayouts) break;
        if (auto l = DecodeSysRscols(page, at);
            l && scan.First(objectId, l->rowsetId, static_cast<uint32_t>(l->columnId))) {
          scan.layoutRows.push_back(*l);
        }
        break;
      case kSysHobtColumns:
        if (rsColsLayouts) break;
        if (auto l = DecodeSysHobtColumns(page, at);
            l && scan.First(objectId, l->rowsetId, static_cast<uint32_t>(l->columnId))) {
          scan.layoutRows.push_back(*l);
        }
        break;
      case kSysRowsetColumns:
        if (rsColsLayouts) break;
        if (auto r = DecodeSysRowsetColumns(page, at);
            r && scan.First(objectId, r->rowsetId, static_cast<uint32_t>(r->columnId))) {
          scan.rowsetColumns.push_back(*r);
        }
        break;
    }
  }
}

// Reads the file once from the start in large sequential reads and decodes
// every allocated page of a wanted system table.
void ScanFile2005(const DataFile& file, Scan2005& scan, JobControl& job,
                  const ProgressFn& progress) {
  constexpr size_t kPagesPerRead = 128;
  const uint64_t pageCount = file.PageCount();
  const bool rsColsLayouts = file.Version().HasRsColsLayouts();
  std::vector<std::byte> chunk(kPagesPerRead * kPageSize);
  PageBuffer page{};
  PfsPage pfs;  // the allocation bytes of the current interval
  for (uint64_t base = 0; base < pageCount; base += kPagesPerRead) {
    job.Checkpoint();
    size_t got = file.ReadDirect(base * kPageSize, chunk);
    size_t pages = got / kPageSize;
    for (size_t i = 0; i < pages; ++i) {
      job.Checkpoint();
      uint64_t p = base + i;
      Bytes raw(chunk.data() + i * kPageSize, kPageSize);
      if (p == PfsPageOf(p)) {
        std::copy(raw.begin(), raw.end(), page.begin());
        RepairTornPage(page);
        pfs = DecodePfsPage(page, p);
        continue;
      }
      PageHeader h = DecodePageHeader(raw);
      const auto allocated = pfs.IsAllocated(p);
      if (allocated == true && h.thisPage != p) {
        ++scan.misplacedPages;
        scan.damage.Add(p, std::nullopt, std::nullopt,
                        "allocated page whose header names page " + std::to_string(h.thisPage));
      }
      if (!IsWanted2005(h.objectId) || h.indexId >= kFirstUserIndexId || h.type != kPageTypeData) {
        continue;
      }
      // Without a readable PFS page for its interval a page is taken on its header alone.
      if (allocated == false) continue;
      std::copy(raw.begin(), raw.end(), page.begin());
      RepairTornPage(page);
      NoteDamagedSystemRecords(page, p, SystemTableName2005(h.objectId), scan.damage);
      DecodePage2005(page, p, h.objectId, rsColsLayouts, scan);
    }
    ReportProgress(progress, base + pages, pageCount);
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
    x.unique = (row.status & kIdxStatsUnique) != 0;
    x.primaryKey = (row.status & kIdxStatsPrimaryKey) != 0;
    x.uniqueConstraint = (row.status & kIdxStatsUniqueConstraint) != 0;
    x.name = row.name;
    auto rs = tableRowset.find(static_cast<uint32_t>(row.tableId));
    if (rs != tableRowset.end()) {
      x.rowCount = rs->second->rowCount;
      x.compression = rs->second->compression;
    }
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
      copy.allocUnitIndexId = u->unitHigh;
      copy.unitType = u->type;
      c.indexRows.push_back(std::move(copy));
    }
  }
}

void CollectTexts2005(const DataFile& file, Catalogue& c,
                      const std::vector<Scan2005::Value>& values) {
  std::unordered_map<int64_t, const _SYSOBJECTS*> byId;
  for (const auto& o : c.objects) byId.emplace(o.id, &o);
  // The large-value pages of the system tables belong to no unit the
  // catalogue lists; their page type and records are still checked.
  LobReader lobs(file, {});
  std::vector<std::byte> whole;
  std::string error;
  std::vector<const Scan2005::Value*> computed;
  for (const auto& v : values) {
    auto it = byId.find(static_cast<int32_t>(v.row.objectId));
    if (it == byId.end()) continue;
    const auto& type = it->second->type;
    if (type == u"U " && v.row.valueClass == sysobjvalues::kComputedColumnValue) {
      computed.push_back(&v);
      continue;
    }
    const bool check = type == u"C ";
    const bool isDefault = type == u"D ";
    if (!check && !isDefault && !(IsModuleType(type) && v.row.textMarker)) continue;
    std::u16string text;
    uint64_t offset = 0;
    uint16_t length = 0;
    if (v.row.offRow) {
      // A text kept off the row: the row holds a pointer to it, followed to
      // the end; the text has no single place in the file.
      if (!lobs.Read(v.bytes, v.bytes.size() == 16, whole, error)) continue;
      text = v.row.utf16 ? Utf16FromBytes(whole) : FromCodePage(whole);
    } else {
      text = v.row.utf16 ? Utf16FromBytes(v.bytes) : FromCodePage(v.bytes);
      offset = v.rowOffset + (check || isDefault ? kValueTextStart : kValueModuleTextStart);
      length = static_cast<uint16_t>(v.row.textEnd - kValueTextStart);
    }
    if (isDefault) {
      c.defaultTexts.push_back({v.row.objectId, offset, length, std::move(text), false});
    } else if (check) {
      c.checkTexts.push_back({v.row.objectId, offset, length, std::move(text), false});
    } else {
      c.moduleTexts.push_back({v.row.objectId, offset, length, std::move(text), false});
    }
  }
  // A computed column's definition, given to the column of that colid.
  for (const Scan2005::Value* v : computed) {
    if (v->row.offRow) {
      if (!lobs.Read(v->bytes, v->bytes.size() == 16, whole, error)) continue;
    } else {
      whole = v->bytes;
    }
    std::u16string text = v->row.utf16 ? Utf16FromBytes(whole) : FromCodePage(whole);
    for (auto& column : c.columns) {
      if (column.tableId == static_cast<int32_t>(v->row.objectId) && column.colid == v->row.subId) {
        column.computedText = std::move(text);
        break;
      }
    }
  }
}

// From 2012 on the file lists the built-in objects of the sys and
// INFORMATION_SCHEMA schemas (procedures and views without text, two
// tables): they belong to the server, not to the database's owner, and are
// left out of the catalogue. Objects a tool marked as shipped in a user
// schema stay.
void DropBuiltInObjects(std::vector<_SYSOBJECTS>& objects) {
  std::erase_if(objects, [](const _SYSOBJECTS& o) {
    return o.schemaId == kSchemaInformationSchema || o.schemaId == kSchemaSys;
  });
}

}  // namespace

// Decodes the pages of one system table along their next-page links from
// `first`, as that table's whatever their headers say. Returns how many of
// them have a header that names another table; a page seen before ends the
// walk. Rows read twice are taken once.
uint64_t FollowChain2005(const DataFile& file, Scan2005& scan, uint32_t table, uint64_t first,
                         JobControl& job) {
  std::unordered_set<uint64_t> seen;
  PageBuffer page{};
  uint64_t pages = 0;
  for (uint64_t p = first; p != 0 && p < file.PageCount() && seen.insert(p).second;) {
    job.Checkpoint();
    file.ReadPage(p, page);
    DecodePage2005(page, p, table, file.Version().HasRsColsLayouts(), scan);
    const PageHeader h = DecodePageHeader(page);
    if (h.objectId != table || h.type != kPageTypeData) ++pages;
    p = h.nextPage;
  }
  return pages;
}

// The object table's pages along the way the boot page leads, for the pages
// the scan did not find by their headers (a header byte changed, say): the
// unit of the object table among the allocation units (found through the
// boot page's pointer to their first page when the scan found none of
// them), and that unit's pages by their links.
void FindObjectsThroughBootPage(const DataFile& file, Scan2005& scan, JobControl& job) {
  auto objectUnit = [&]() -> const _2008IndexPageNumbers* {
    for (const auto& u : scan.units) {
      if (u.ownerMid == kSysSchObjs && u.type == kUnitInRowData) return &u;
    }
    return nullptr;
  };
  if (!objectUnit() && scan.objects.empty()) {
    const BootPage boot = DecodeBootPage(file.ReadPage(kBootPage));
    FollowChain2005(file, scan, kSysAllocUnits, boot.firstSysPage, job);
  }
  if (const _2008IndexPageNumbers* unit = objectUnit()) {
    scan.pagesThroughBootPage += FollowChain2005(file, scan, kSysSchObjs, unit->firstPage, job);
  }
}

void RecoverCatalogue2005(const DataFile& file, Catalogue& c, JobControl& job,
                          const ProgressFn& progress) {
  Scan2005 scan;
  ScanFile2005(file, scan, job, progress);
  FindObjectsThroughBootPage(file, scan, job);
  c.objects = std::move(scan.objects);
  DropBuiltInObjects(c.objects);
  c.schemas = std::move(scan.schemas);
  c.aliasTypes = std::move(scan.aliasTypes);
  ResolveSchemaNames(c, file.Version());
  CollectUserTables(c);
  c.damage.misplacedSystemFields = CountMisplacedSystemFields(scan.columns);
  auto tables = UserTableIds(c);
  for (auto& col : scan.columns) {
    if (tables.count(col.tableId)) c.columns.push_back(std::move(col));
  }
  c.rowsets = std::move(scan.rowsets);
  c.allocationUnits = std::move(scan.units);
  JoinIndexes2005(c, scan.indexes);
  CollectTableStorage(c);
  c.layouts = LayoutsFromRowsets(c, scan.layoutRows, scan.rowsetColumns,
                                 !file.Version().HasRsColsLayouts());
  c.indexKeys = std::move(scan.keys);
  SortIndexKeys(c.indexKeys);
  c.dependencies = std::move(scan.dependencies);
  SortDependencies(c.dependencies);
  CollectTexts2005(file, c, scan.values);
  c.damage.misplacedPages = scan.misplacedPages;
  c.damage.entries = std::move(scan.damage.entries);
  c.damage.entriesNotKept = scan.damage.entriesNotKept;
  if (!c.objects.empty()) c.damage.pagesThroughBootPage = scan.pagesThroughBootPage;
  CountReferencesPastEnd(c, file.PageCount());
}

}  // namespace mendora
