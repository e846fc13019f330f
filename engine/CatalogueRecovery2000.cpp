#include "engine/CatalogueRecovery2000.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "engine/AllocationMap.h"
#include "engine/CodePage.h"
#include "engine/ColumnLayouts.h"
#include "engine/PageHeader.h"
#include "engine/RowCutter.h"
#include "engine/SysTables2000.h"
#include "engine/SysTables2005.h"
#include "engine/Utf16.h"

namespace mendora {
namespace {

// The pages of a system table, each once: an extent of the IAM bitmap may
// hold a page its single-page slots name too.
std::vector<uint64_t> SystemTablePages2000(const DataFile& file, uint64_t iam, JobControl& job,
                                           uint64_t fallback = 0) {
  std::vector<uint64_t> pages = ExpandPages(WalkIAM(file, iam, &job, fallback).entries);
  std::unordered_set<uint64_t> seen;
  std::erase_if(pages, [&](uint64_t p) { return !seen.insert(p).second; });
  return pages;
}

constexpr uint32_t kSysComments2000 = 6;
constexpr uint32_t kSysUsers2000 = 10;
constexpr uint32_t kSysReferences2000 = 14;

// The system table of an object id, as the damage report names it.
std::string_view SystemTableName2000(uint32_t objectId) {
  switch (objectId) {
    case kSysObjects2000:
      return "sysobjects";
    case kSysColumns2000:
      return "syscolumns";
    case kSysIndexes2000:
      return "sysindexes";
    case kSysComments2000:
      return "syscomments";
    case kSysReferences2000:
      return "sysreferences";
    case kSysUsers2000:
      return "sysusers";
    default:
      return "system table";
  }
}

// Visits the rows of every page of `pages` that passes the page test: a data
// page of the table, under its 2000 object id or its 2005/2008 one.
// `damage`: where misplaced pages are counted and the records the pages'
// slots name that cannot be read are noted.
template <typename Visit>
void ForEachRow2000(const DataFile& file, const std::vector<uint64_t>& pages,
                    std::pair<uint32_t, uint32_t> objectIds, JobControl& job, Visit visit,
                    Catalogue::Damage* damage = nullptr) {
  PageBuffer page;
  for (uint64_t p : pages) {
    job.Checkpoint();
    file.ReadPage(p, page);
    const std::vector<uint16_t> slots = SlotOffsets(page);
    if (slots.empty()) continue;
    PageHeader h = DecodePageHeader(page);
    if (damage && h.thisPage != p && p < file.PageCount()) {
      ++damage->misplacedPages;
      damage->Add(p, std::nullopt, std::nullopt,
                  "allocated page whose header names page " + std::to_string(h.thisPage));
    }
    bool ours = h.objectId == objectIds.first || h.objectId == objectIds.second;
    if (!ours || h.type != kPageTypeData) continue;
    if (damage) NoteDamagedSystemRecords(page, p, SystemTableName2000(objectIds.first), *damage);
    const RecordLimits limits(slots);
    for (uint16_t at : slots) {
      if (at != 0) visit(limits.Bound(page, at), at);
    }
  }
}

// The rows of a system table cut through the layout its own syscolumns rows
// give, read by column name.
class SelfDescribedTable {
 public:
  SelfDescribedTable(const std::vector<SysColumn2000>& columns) {
    layout_ = LayoutFrom2000Columns(columns);
    std::vector<SysColumn2000> sorted = columns;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const SysColumn2000& a, const SysColumn2000& b) {
                       return a.column.colid < b.column.colid;
                     });
    for (size_t i = 0; i < sorted.size(); ++i) index_[sorted[i].column.name] = i;
  }
  bool Usable() const { return !layout_.columns.empty(); }
  bool Cut(Bytes page, uint16_t at) {
    auto record = ParseRecord(page, at);
    if (!record) return false;
    auto cells = CutRow(*record, layout_);
    if (!cells) return false;
    cells_ = std::move(*cells);
    storedVariables_ = record->varEnds.size();
    return true;
  }
  // The cell's bytes; nothing for a NULL, off-row or absent column, nor for
  // a variable column the row says is not NULL yet does not store: that is a
  // damaged row, whose text piece or column list is lost, not empty.
  std::optional<Bytes> Get(const std::u16string& name) const {
    auto it = index_.find(name);
    if (it == index_.end() || it->second >= cells_.size()) return std::nullopt;
    const CellValue& cell = cells_[it->second];
    if (cell.isNull || cell.offRow) return std::nullopt;
    const ColumnPlace& place = layout_.columns[it->second];
    if (place.kind == ColumnPlace::Kind::Variable && place.varIndex >= storedVariables_) {
      return std::nullopt;
    }
    return cell.Value();
  }
  std::optional<int64_t> Int(const std::u16string& name) const {
    auto bytes = Get(name);
    if (!bytes || bytes->empty() || bytes->size() > 8) return std::nullopt;
    uint64_t v = 0;
    for (size_t i = bytes->size(); i-- > 0;) v = (v << 8) | static_cast<uint8_t>((*bytes)[i]);
    // Sign-extend from the column's width.
    const unsigned bits = static_cast<unsigned>(8 * bytes->size());
    if (bits < 64 && (v >> (bits - 1)) & 1) v |= ~uint64_t{0} << bits;
    return static_cast<int64_t>(v);
  }

 private:
  ColumnLayout layout_;
  std::map<std::u16string, size_t> index_;
  std::vector<CellValue> cells_;
  size_t storedVariables_ = 0;
};

// sysindexes status bits of 2000 files.
constexpr uint32_t kIndexUnique2000 = 0x02;
constexpr uint32_t kIndexPrimaryKey2000 = 0x800;
constexpr uint32_t kIndexUniqueConstraint2000 = 0x1000;
// sysindexes.keys: 32-byte entries, the column id at +16; +30 is 1 on the
// clustering-key columns a nonclustered index carries along (3 where such a
// column is also one of its own key columns).
constexpr size_t kKeyEntrySize = 32;
constexpr size_t kKeyEntryColumn = 16;
constexpr size_t kKeyEntryCarried = 30;
// syscomments status bit: one byte per character instead of UTF-16.
constexpr int64_t kCommentCompressed = 0x02;

constexpr uint32_t kSysTypes2000 = 4;
// systypes status bit: values of the type may not be NULL.
constexpr int64_t kTypeNotNull2000 = 0x01;

// The pages of a 2000 system table found through its own sysindexes row.
std::vector<uint64_t> PagesThroughSysIndexes(const DataFile& file, const Catalogue& c,
                                             uint32_t tableId, JobControl& job) {
  for (const auto& r : c.indexRows) {
    if (r.tableId == static_cast<int32_t>(tableId) && r.indid <= 1 && r.firstIAM != 0) {
      return SystemTablePages2000(file, r.firstIAM, job);
    }
  }
  return {};
}

void CollectIndexKeys2000(const SysIndex2000& s, const std::optional<Bytes>& keys, int64_t keyCount,
                          std::vector<_SysIndexKeys>& out) {
  const _SYSINDEXES& x = s.index;
  const bool statistics = (x.status & 0x60) != 0;
  if (x.indid == 0 || x.indid == 255 || statistics || !keys) return;
  const ByteReader r(*keys);
  uint16_t ordinal = 0;
  for (int64_t i = 0; i < keyCount; ++i) {
    const size_t at = static_cast<size_t>(i) * kKeyEntrySize;
    auto column = r.u16(at + kKeyEntryColumn);
    auto carried = r.u8(at + kKeyEntryCarried);
    if (!column || !carried) break;
    // The uniquifier (column 0) and the carried clustering key are no key columns.
    if (*column == 0 || *carried != 0) continue;
    _SysIndexKeys k;
    k.objectId = static_cast<uint32_t>(x.tableId);
    k.indexId = x.indid;
    k.columnId = *column;
    k.keyOrdinal = ++ordinal;
    out.push_back(k);
  }
}

void CollectTexts2000(const DataFile& file, Catalogue& c, const std::vector<SysColumn2000>& layout,
                      JobControl& job) {
  SelfDescribedTable comments(layout);
  if (!comments.Usable()) return;
  struct Piece {
    int64_t number, colid;
    std::u16string text;
  };
  std::map<int64_t, std::vector<Piece>> byObject;
  ForEachRow2000(file, PagesThroughSysIndexes(file, c, kSysComments2000, job),
                 {kSysComments2000, kSysComments2000}, job, [&](Bytes page, uint16_t at) {
                   if (!comments.Cut(page, at)) return;
                   auto id = comments.Int(u"id");
                   auto number = comments.Int(u"number");
                   auto colid = comments.Int(u"colid");
                   auto status = comments.Int(u"status");
                   auto text = comments.Get(u"ctext");
                   if (!id || !number || !colid || !status || !text) return;
                   Piece piece{*number, *colid, {}};
                   piece.text =
                       (*status & kCommentCompressed) ? FromCodePage(*text) : Utf16FromBytes(*text);
                   byObject[*id].push_back(std::move(piece));
                 });
  std::unordered_map<int64_t, const _SYSOBJECTS*> objects;
  for (const auto& o : c.objects) objects.emplace(o.id, &o);
  for (auto& [id, pieces] : byObject) {
    auto object = objects.find(id);
    if (object == objects.end()) continue;
    const bool check = object->second->type == u"C ";
    const bool isDefault = object->second->type == u"D ";
    // A table's rows hold the definitions of its computed columns, each
    // numbered by its column's colid.
    const bool table = object->second->type == u"U ";
    if (!check && !isDefault && !table && !IsModuleType(object->second->type)) continue;
    std::stable_sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) {
      return a.number != b.number ? a.number < b.number : a.colid < b.colid;
    });
    if (table) {
      for (auto& column : c.columns) {
        if (column.tableId != id || !column.computed) continue;
        for (const auto& p : pieces) {
          if (p.number == column.colid) column.computedText += p.text;
        }
      }
      continue;
    }
    // Each numbered part's rows run 1, 2, 3, ...; a missing row ends the text.
    std::u16string text;
    bool incomplete = false;
    int64_t number = -1, expected = 1;
    for (const auto& p : pieces) {
      if (p.number != number) {
        number = p.number;
        expected = 1;
      }
      if (p.colid != expected) {
        incomplete = true;
        break;
      }
      ++expected;
      text += p.text;
    }
    const auto objectId = static_cast<uint32_t>(id);
    if (isDefault) {
      c.defaultTexts.push_back({objectId, 0, 0, std::move(text), incomplete});
    } else if (check) {
      c.checkTexts.push_back({objectId, 0, 0, std::move(text), incomplete});
    } else {
      c.moduleTexts.push_back({objectId, 0, 0, std::move(text), incomplete});
    }
  }
}

// The user's alias types (xusertype from 257) from systypes, cut through its
// own description.
void CollectAliasTypes2000(const DataFile& file, Catalogue& c,
                           const std::vector<SysColumn2000>& layout, JobControl& job) {
  SelfDescribedTable types(layout);
  if (!types.Usable()) return;
  std::set<int32_t> seen;
  ForEachRow2000(file, PagesThroughSysIndexes(file, c, kSysTypes2000, job),
                 {kSysTypes2000, kSysTypes2000}, job, [&](Bytes page, uint16_t at) {
                   if (!types.Cut(page, at)) return;
                   auto id = types.Int(u"xusertype");
                   auto xtype = types.Int(u"xtype");
                   auto status = types.Int(u"status");
                   auto length = types.Int(u"length");
                   auto name = types.Get(u"name");
                   if (!id || !xtype || !status || !length || !name) return;
                   const auto userType = static_cast<int32_t>(*id & 0xFFFF);
                   if (userType < static_cast<int32_t>(kFirstUserTypeId)) return;
                   if (!seen.insert(userType).second) return;
                   _AliasType t;
                   t.id = userType;
                   t.schemaId = static_cast<int32_t>(types.Int(u"uid").value_or(1));
                   t.name = NameFromUtf16(*name);
                   t.xtype = static_cast<uint8_t>(*xtype);
                   t.length = static_cast<int16_t>(*length);
                   t.prec = static_cast<uint8_t>(types.Int(u"xprec").value_or(0));
                   t.scale = static_cast<uint8_t>(types.Int(u"xscale").value_or(0));
                   t.notNull = (*status & kTypeNotNull2000) != 0;
                   if (!t.name.empty()) c.aliasTypes.push_back(std::move(t));
                 });
}

// The users that own objects (sysusers uid and name, dbo uid 1), cut
// through the table's own description, and each object's owner named.
void CollectOwners2000(const DataFile& file, Catalogue& c, const std::vector<SysColumn2000>& layout,
                       JobControl& job) {
  SelfDescribedTable users(layout);
  if (users.Usable()) {
    ForEachRow2000(file, PagesThroughSysIndexes(file, c, kSysUsers2000, job),
                   {kSysUsers2000, kSysUsers2000}, job, [&](Bytes page, uint16_t at) {
                     if (!users.Cut(page, at)) return;
                     auto uid = users.Int(u"uid");
                     auto name = users.Get(u"name");
                     if (!uid || !name) return;
                     c.schemas.try_emplace(static_cast<int32_t>(*uid), NameFromUtf16(*name));
                   });
  }
  ResolveSchemaNames(c, file.Version());
}

void CollectForeignKeys2000(const DataFile& file, Catalogue& c,
                            const std::vector<SysColumn2000>& layout, JobControl& job) {
  SelfDescribedTable refs(layout);
  if (!refs.Usable()) return;
  ForEachRow2000(file, PagesThroughSysIndexes(file, c, kSysReferences2000, job),
                 {kSysReferences2000, kSysReferences2000}, job, [&](Bytes page, uint16_t at) {
                   if (!refs.Cut(page, at)) return;
                   auto constid = refs.Int(u"constid");
                   auto fkeyid = refs.Int(u"fkeyid");
                   auto rkeyid = refs.Int(u"rkeyid");
                   auto keycnt = refs.Int(u"keycnt");
                   auto forkeys = refs.Get(u"forkeys");
                   auto refkeys = refs.Get(u"refkeys");
                   if (!constid || !fkeyid || !rkeyid || !keycnt || !forkeys || !refkeys) return;
                   const ByteReader f(*forkeys), r(*refkeys);
                   for (int64_t i = 0; i < *keycnt; ++i) {
                     auto from = f.u16(2 * static_cast<size_t>(i));
                     auto to = r.u16(2 * static_cast<size_t>(i));
                     if (!from || !to) break;
                     const auto ordinal = static_cast<uint32_t>(i + 1);
                     c.dependencies.push_back({kReferencingColumn, static_cast<uint32_t>(*constid),
                                               static_cast<uint32_t>(*fkeyid), *from, ordinal});
                     c.dependencies.push_back({kReferencedColumn, static_cast<uint32_t>(*constid),
                                               static_cast<uint32_t>(*rkeyid), *to, ordinal});
                   }
                 });
  SortDependencies(c.dependencies);
}

}  // namespace

void RecoverCatalogue2000(const DataFile& file, Catalogue& c, JobControl& job,
                          const ProgressFn& progress) {
  std::unordered_set<int64_t> seen;
  auto objectPages = SystemTablePages2000(file, kSysObjectsIam2000, job, kSysObjectsFirstPage2000);
  ForEachRow2000(
      file, objectPages, {kSysObjects2000, kSysSchObjs}, job,
      [&](Bytes page, uint16_t at) {
        auto o = DecodeSysObjects2000(page, at);
        if (o && seen.insert(o->id).second) c.objects.push_back(std::move(*o));
      },
      &c.damage);
  CollectUserTables(c);
  ReportProgress(progress, 1, 4);

  auto tables = UserTableIds(c);
  std::vector<SysColumn2000> columns;
  std::map<uint32_t, std::vector<SysColumn2000>> systemColumns;
  std::set<std::pair<int64_t, int16_t>> columnSeen;
  ForEachRow2000(
      file, SystemTablePages2000(file, kSysColumnsIam2000, job), {kSysColumns2000, kSysColPars},
      job,
      [&](Bytes page, uint16_t at) {
        auto col = DecodeSysColumns2000(page, at);
        if (!col) return;
        // One row per column: a row read twice is taken once.
        if (!columnSeen.emplace(col->column.tableId, col->column.colid).second) return;
        if (tables.count(col->column.tableId)) columns.push_back(*col);
        // The system tables whose rows are cut by their own description.
        switch (col->column.tableId) {
          case kSysIndexes2000:
          case kSysComments2000:
          case kSysReferences2000:
          case kSysTypes2000:
          case kSysUsers2000:
            systemColumns[static_cast<uint32_t>(col->column.tableId)].push_back(*col);
        }
      },
      &c.damage);
  for (const auto& col : columns) c.columns.push_back(col.column);
  ReportProgress(progress, 2, 4);

  std::vector<SysIndex2000> indexes;
  std::set<std::pair<int32_t, uint16_t>> indexSeen;
  SelfDescribedTable sysindexes(systemColumns[kSysIndexes2000]);
  ForEachRow2000(
      file, SystemTablePages2000(file, kSysIndexesIam2000, job), {kSysIndexes2000, kSysIdxStats},
      job,
      [&](Bytes page, uint16_t at) {
        auto s = DecodeSysIndexes2000(page, at);
        if (!s || !indexSeen.emplace(s->index.tableId, s->index.indid).second) return;
        if (sysindexes.Usable() && sysindexes.Cut(page, at)) {
          const auto status = static_cast<uint32_t>(sysindexes.Int(u"status").value_or(0));
          s->index.unique = (status & kIndexUnique2000) != 0;
          s->index.primaryKey = (status & kIndexPrimaryKey2000) != 0;
          s->index.uniqueConstraint = (status & kIndexUniqueConstraint2000) != 0;
          CollectIndexKeys2000(*s, sysindexes.Get(u"keys"), sysindexes.Int(u"keycnt").value_or(0),
                               c.indexKeys);
        }
        indexes.push_back(std::move(*s));
      },
      &c.damage);
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
  CountReferencesPastEnd(c, file.PageCount());
  CollectTexts2000(file, c, systemColumns[kSysComments2000], job);
  CollectForeignKeys2000(file, c, systemColumns[kSysReferences2000], job);
  CollectAliasTypes2000(file, c, systemColumns[kSysTypes2000], job);
  CollectOwners2000(file, c, systemColumns[kSysUsers2000], job);
  ReportProgress(progress, 3, 4);
}

}  // namespace mendora
