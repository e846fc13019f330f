#include "engine/SysTableDescriptions.h"

#include <algorithm>
#include <map>

#include "engine/SysTables2005.h"
#include "engine/TypeCodes.h"

namespace mendora {
namespace {

struct ReadField {
  uint32_t table;
  const char16_t* column;
  size_t offset;
  int16_t length;
};

// Every field the 2005-and-later decoders read at a fixed offset, by the
// name its table's description gives it.
constexpr ReadField kReadFields[] = {
    {kSysSchObjs, u"id", sysschobjs::kId, 4},
    {kSysSchObjs, u"nsid", sysschobjs::kSchema, 4},
    {kSysSchObjs, u"status", sysschobjs::kStatus, 4},
    {kSysSchObjs, u"type", sysschobjs::kType, 2},
    {kSysSchObjs, u"pid", sysschobjs::kParent, 4},
    {kSysSchObjs, u"status2", sysschobjs::kStatus2, 4},
    {kSysColPars, u"id", syscolpars::kTableId, 4},
    {kSysColPars, u"colid", syscolpars::kColid, 4},
    {kSysColPars, u"xtype", syscolpars::kXtype, 1},
    {kSysColPars, u"length", syscolpars::kLength, 2},
    {kSysColPars, u"prec", syscolpars::kPrecision, 1},
    {kSysColPars, u"scale", syscolpars::kScale, 1},
    {kSysColPars, u"status", syscolpars::kStatus, 4},
    {kSysRowsets, u"rowsetid", 4, 8},
    {kSysRowsets, u"idmajor", sysrowsets::kOwner, 4},
    {kSysRowsets, u"idminor", sysrowsets::kIndexId, 4},
    {kSysRowsets, u"rcrows", sysrowsets::kRowCount, 8},
    {kSysRowsets, u"cmprlevel", sysrowsets::kCompression, 1},
    {kSysAllocUnits, u"auid", 4, 8},
    {kSysAllocUnits, u"type", sysallocunits::kType, 1},
    {kSysAllocUnits, u"ownerid", 13, 8},
    {kSysAllocUnits, u"pgfirst", sysallocunits::kFirstPage, 6},
    {kSysAllocUnits, u"pgfirstiam", sysallocunits::kFirstIam, 6},
    {kSysIdxStats, u"id", sysidxstats::kTableId, 4},
    {kSysIdxStats, u"indid", sysidxstats::kIndexId, 4},
    {kSysIdxStats, u"status", sysidxstats::kStatus, 4},
    {kSysIsCols, u"idmajor", sysiscols::kTableId, 4},
    {kSysIsCols, u"idminor", sysiscols::kIndexId, 4},
    {kSysIsCols, u"status", sysiscols::kStatus, 4},
    {kSysIsCols, u"intprop", sysiscols::kColumnId, 4},
    {kSysIsCols, u"tinyprop1", sysiscols::kKeyOrdinal, 1},
    {kSysSingleObjRefs, u"class", syssingleobjrefs::kClass, 1},
    {kSysSingleObjRefs, u"depid", syssingleobjrefs::kDependentId, 4},
    {kSysSingleObjRefs, u"depsubid", syssingleobjrefs::kDependentSubId, 4},
    {kSysSingleObjRefs, u"indepid", syssingleobjrefs::kReferencedId, 4},
    {kSysSingleObjRefs, u"indepsubid", syssingleobjrefs::kReferencedSubId, 4},
    {kSysObjValues, u"valclass", sysobjvalues::kValueClass, 1},
    {kSysObjValues, u"objid", sysobjvalues::kObjectId, 4},
    {kSysObjValues, u"subobjid", sysobjvalues::kSubId, 4},
    {kSysClsObjs, u"class", sysclsobjs::kClass, 1},
    {kSysClsObjs, u"id", sysclsobjs::kId, 4},
    {kSysRscols, u"rsid", sysrscols::kRowsetId, 8},
    {kSysRscols, u"rscolid", sysrscols::kColumnId, 4},
    {kSysRscols, u"offset", sysrscols::kOffset, 4},
    {kSysRscols, u"nullbit", sysrscols::kNullBit, 4},
    {kSysRscols, u"bitpos", sysrscols::kBitPos, 2},
};

struct Described {
  size_t offset = 0;
  int16_t length = 0;
};

}  // namespace

size_t CountMisplacedSystemFields(const std::vector<_SYSCOLUMNS>& columns) {
  // Each described system table's columns in colid order.
  std::map<uint32_t, std::vector<const _SYSCOLUMNS*>> tables;
  for (const auto& c : columns) {
    for (const auto& f : kReadFields) {
      if (c.tableId == f.table) {
        tables[f.table].push_back(&c);
        break;
      }
    }
  }
  std::map<std::pair<uint32_t, std::u16string>, Described> described;
  for (auto& [table, list] : tables) {
    std::sort(list.begin(), list.end(), [](auto* a, auto* b) { return a->colid < b->colid; });
    size_t offset = 4;  // after the status bytes and the fixed-part end
    for (const _SYSCOLUMNS* c : list) {
      if (IsVariableLengthType(c->xtype, c->length)) continue;
      described[{table, c->name}] = {offset, c->length};
      offset += c->length > 0 ? static_cast<size_t>(c->length) : 0;
    }
  }
  size_t misplaced = 0;
  for (const auto& f : kReadFields) {
    auto it = described.find({f.table, f.column});
    if (it == described.end()) continue;
    // A field read as fewer bytes than described (an id's low 32 bits) is
    // where it is read; one described shorter than it is read is not.
    if (it->second.offset != f.offset || it->second.length < f.length) {
      ++misplaced;
    }
  }
  return misplaced;
}

}  // namespace mendora
