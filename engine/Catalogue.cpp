#include "engine/Catalogue.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "engine/Collation.h"
#include "engine/DataFile.h"
#include "engine/PageHeader.h"
#include "engine/Record.h"
#include "engine/TypeCodes.h"
#include "engine/Utf16.h"

namespace mendora {

bool ReadIdentityValue(const unsigned char* bytes, size_t size, _SYSCOLUMNS& column) {
  const bool exact = column.xtype == kXDecimal || column.xtype == kXNumeric;
  const size_t width = column.length > 0 ? static_cast<size_t>(column.length) : 0;
  // The digits of a decimal identity fit 64 bits up to precision 18.
  if (width == 0 || width > (exact ? 9u : 8u) || size != 3 * width + 1) return false;
  auto value = [&](size_t at) {
    const unsigned char* p = bytes + at * width;
    const size_t from = exact ? 1 : 0;
    uint64_t u = 0;
    for (size_t i = width; i-- > from;) u = (u << 8) | p[i];
    if (exact) return p[0] == 1 ? static_cast<int64_t>(u) : -static_cast<int64_t>(u);
    // Two's complement in the type's width; tinyint is unsigned.
    const size_t bits = 8 * width;
    if (column.xtype != kXTinyInt && bits < 64 && (u >> (bits - 1)) & 1) u |= ~uint64_t{0} << bits;
    return static_cast<int64_t>(u);
  };
  column.identity = true;
  column.identityLast = value(0);
  column.identitySeed = value(1);
  column.identityIncrement = value(2);
  column.identityHasLast = (bytes[3 * width] & 0x01) == 0;
  return true;
}

std::u16string FixedSchemaName(int32_t schemaId, const VersionFlags& version) {
  if (schemaId == 1) return u"dbo";
  if (!version.HasBaseTableCatalogue()) return {};
  switch (schemaId) {
    case 2:
      return u"guest";
    case kSchemaInformationSchema:
      return u"INFORMATION_SCHEMA";
    case kSchemaSys:
      return u"sys";
    default:
      return {};
  }
}

std::vector<std::u16string> UserSchemaNames(const Catalogue& c, const VersionFlags& version) {
  std::vector<std::u16string> names;
  if (!version.HasBaseTableCatalogue()) return names;
  for (const auto& [id, name] : c.schemas) {
    if (id > kSchemaSys && id < kFirstRoleSchema && !name.empty()) names.push_back(name);
  }
  return names;
}

void ResolveSchemaNames(Catalogue& c, const VersionFlags& version) {
  auto resolve = [&](auto& o) {
    auto listed = c.schemas.find(o.schemaId);
    if (listed != c.schemas.end() && !listed->second.empty()) {
      o.schemaName = listed->second;
      return;
    }
    o.schemaName = FixedSchemaName(o.schemaId, version);
    if (o.schemaName.empty()) o.schemaName = u"dbo";
  };
  for (auto& o : c.objects) resolve(o);
  for (auto& t : c.userTables) resolve(t);
  for (auto& t : c.aliasTypes) resolve(t);
}

void SortIndexKeys(std::vector<_SysIndexKeys>& keys) {
  std::map<std::pair<uint32_t, uint32_t>, size_t> firstSeen;
  for (const auto& k : keys) firstSeen.try_emplace({k.objectId, k.indexId}, firstSeen.size());
  std::stable_sort(keys.begin(), keys.end(), [&](const _SysIndexKeys& a, const _SysIndexKeys& b) {
    const size_t ia = firstSeen[{a.objectId, a.indexId}], ib = firstSeen[{b.objectId, b.indexId}];
    if (ia != ib) return ia < ib;
    if (a.included != b.included) return !a.included;
    return a.keyOrdinal < b.keyOrdinal;
  });
}

void SortDependencies(std::vector<_SysConstraints>& dependencies) {
  std::map<uint32_t, size_t> firstSeen;
  for (const auto& d : dependencies) firstSeen.try_emplace(d.depId, firstSeen.size());
  std::stable_sort(dependencies.begin(), dependencies.end(),
                   [&](const _SysConstraints& a, const _SysConstraints& b) {
                     const size_t ia = firstSeen[a.depId], ib = firstSeen[b.depId];
                     if (ia != ib) return ia < ib;
                     if (a.refClass != b.refClass) return a.refClass < b.refClass;
                     return a.depSubId < b.depSubId;
                   });
}

void CountReferencesPastEnd(Catalogue& c, uint64_t pageCount) {
  for (const auto& r : c.indexRows) {
    // Pages of secondary files are judged by the reader of those files.
    const bool primaryPage = r.firstFile <= kPrimaryFileId,
               primaryIam = r.firstIAMFile <= kPrimaryFileId;
    const bool pagePast = primaryPage && r.firstPage != 0 && r.firstPage >= pageCount;
    const bool iamPast = primaryIam && r.firstIAM != 0 && r.firstIAM >= pageCount;
    if (pagePast || iamPast) ++c.damage.referencesPastEnd;
    const std::string table = ToUtf8(ObjectName(c, r.tableId));
    if (pagePast) {
      c.damage.Add(r.firstPage, std::nullopt, std::nullopt,
                   "first page of " + table + " past the end of the file");
    }
    if (iamPast) {
      c.damage.Add(r.firstIAM, std::nullopt, std::nullopt,
                   "first IAM page of " + table + " past the end of the file");
    }
  }
}

void Catalogue::Damage::Add(uint64_t page, std::optional<uint16_t> slot,
                            std::optional<uint32_t> offset, std::string reason) {
  if (entries.size() >= DamageReport::kMaxEntries) {
    ++entriesNotKept;
    return;
  }
  entries.push_back({kPrimaryFileId, page, slot, offset, std::move(reason)});
}

void NoteDamagedSystemRecords(Bytes page, uint64_t pageNumber, std::string_view table,
                              Catalogue::Damage& damage) {
  const std::vector<uint16_t> slots = SlotOffsets(page);
  const RecordLimits limits(slots);
  const size_t bodyEnd = page.size() > 2 * slots.size() ? page.size() - 2 * slots.size() : 0;
  Record record;
  for (size_t k = 0; k < slots.size(); ++k) {
    const uint16_t at = slots[k];
    if (at == 0) continue;  // a slot the server emptied
    const auto slot = static_cast<uint16_t>(k);
    if (at < kPageHeaderSize || at >= bodyEnd) {
      damage.Add(pageNumber, slot, at,
                 std::string(table) + ": slot names offset " + std::to_string(at) +
                     ", outside the page body");
      continue;
    }
    const uint8_t type = std::to_integer<uint8_t>(page[at]) & kStatusTypeMask;
    if (type != kRecordPrimary && type != kRecordGhostData) continue;
    if (!ParseRecordInto(limits.Bound(page, at), at, record)) {
      damage.Add(pageNumber, slot, at, std::string(table) + ": record past its end on the page");
    }
  }
}

bool IsEightBitText(uint8_t xtype) {
  return xtype == kXChar || xtype == kXVarChar || xtype == kXText;
}

void ResolveCodePages(Catalogue& catalogue) {
  for (auto& column : catalogue.columns) {
    if (!IsEightBitText(column.xtype)) continue;
    const uint32_t id = column.collationId ? column.collationId : catalogue.databaseCollation;
    column.codePage = CollationCodePage(id);
  }
}

void UseCodePage(Catalogue& catalogue, uint16_t codePage) {
  for (auto& column : catalogue.columns) {
    if (IsEightBitText(column.xtype)) column.codePage = codePage;
  }
}

std::vector<std::string> DamageWarnings(const Catalogue& c) {
  std::vector<std::string> warnings;
  if (c.damage.misplacedPages) {
    warnings.push_back(std::to_string(c.damage.misplacedPages) +
                       " allocated pages carry another page's header (damaged or misplaced pages)");
  }
  if (c.damage.referencesPastEnd) {
    warnings.push_back(
        std::to_string(c.damage.referencesPastEnd) +
        " catalogue references point past the end of the file (the file is cut short)");
  }
  if (c.damage.misplacedSystemFields) {
    warnings.push_back(std::to_string(c.damage.misplacedSystemFields) +
                       " fields of the system tables are described elsewhere than they are read "
                       "(an unknown or damaged catalogue layout)");
  }
  if (c.damage.pagesThroughBootPage) {
    warnings.push_back(std::to_string(c.damage.pagesThroughBootPage) +
                       " pages of the object table were found only through the boot page "
                       "(their headers are damaged)");
  }
  const auto records = std::count_if(c.damage.entries.begin(), c.damage.entries.end(),
                                     [](const DamageEntry& e) { return e.slot.has_value(); });
  if (records) {
    warnings.push_back(records == 1 ? std::string("1 record of the system tables could not be "
                                                  "read (skipped)")
                                    : std::to_string(records) +
                                          " records of the system tables could not be read "
                                          "(skipped)");
  }
  return warnings;
}

const _SYSOBJECTS* ObjectById(const Catalogue& c, int64_t id) {
  for (const auto& o : c.objects) {
    if (o.id == id) return &o;
  }
  return nullptr;
}

std::u16string ObjectName(const Catalogue& c, int64_t id) {
  const _SYSOBJECTS* o = ObjectById(c, id);
  return o ? o->name : std::u16string();
}

void CollectUserTables(Catalogue& c) {
  for (const auto& o : c.objects) {
    if (o.type == u"U ") c.userTables.push_back(o);
  }
}

std::unordered_set<int64_t> UserTableIds(const Catalogue& c) {
  std::unordered_set<int64_t> ids;
  for (const auto& t : c.userTables) ids.insert(t.id);
  return ids;
}

void CollectTableStorage(Catalogue& c) {
  std::unordered_map<int32_t, size_t> first, inRow;
  for (size_t i = 0; i < c.indexRows.size(); ++i) {
    const auto& r = c.indexRows[i];
    first.try_emplace(r.tableId, i);
    if (HoldsTableRows(r)) inRow.try_emplace(r.tableId, i);
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

const _Check_Constraints* DefaultText(const Catalogue& catalogue, int64_t defaultId) {
  if (defaultId == 0) return nullptr;
  for (const auto& d : catalogue.defaultTexts) {
    if (d.objectId == static_cast<uint32_t>(defaultId)) return &d;
  }
  return nullptr;
}

const _Check_Constraints* CheckText(const Catalogue& catalogue, int64_t checkId) {
  for (const auto& check : catalogue.checkTexts) {
    if (check.objectId == static_cast<uint32_t>(checkId)) return &check;
  }
  return nullptr;
}

const _AliasType* AliasTypeOf(const Catalogue& catalogue, const _SYSCOLUMNS& column) {
  if (column.userType < kFirstUserTypeId) return nullptr;
  for (const auto& type : catalogue.aliasTypes) {
    if (type.id == static_cast<int32_t>(column.userType)) return &type;
  }
  return nullptr;
}

const _SYSCOLUMNS* IdentityColumn(const Catalogue& catalogue, int64_t tableId) {
  for (const auto& column : catalogue.columns) {
    if (column.tableId == tableId && column.identity) return &column;
  }
  return nullptr;
}

const _Procedures* ModuleText(const Catalogue& catalogue, int64_t moduleId) {
  for (const auto& text : catalogue.moduleTexts) {
    if (text.objectId == static_cast<uint32_t>(moduleId)) return &text;
  }
  return nullptr;
}

uint64_t StoredRowCount(const Catalogue& catalogue, int64_t tableId) {
  uint64_t rows = 0;
  for (const auto& storage : catalogue.tableStorage) {
    if (storage.tableId == tableId) rows = storage.rowCount;
  }
  return rows;
}

}  // namespace mendora
