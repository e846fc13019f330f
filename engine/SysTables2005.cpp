#include "engine/SysTables2005.h"

#include "engine/CodePage.h"
#include "engine/PageLayout.h"
#include "engine/Record.h"
#include "engine/SysTables2000.h"

namespace mendora {
namespace {

// A reader over the row at `at`, or nothing when the offset is outside the
// records' area of the page.
std::optional<RowReader> RowAt(Bytes page, uint16_t at) {
  if (at < kPageHeaderSize || at >= page.size()) return std::nullopt;
  return RowReader(page.subspan(at));
}

// A primary data record (not ghost, not a fragment) whose fixed part holds
// at least the fields up to `fixedEnd`: later releases append columns.
bool IsPrimaryRow(RowReader& row, uint16_t fixedEnd) {
  const uint8_t status = row.U8(0);
  return (status & kStatusTypeMask) == kRecordPrimary && row.U16(2) >= fixedEnd && row.Ok();
}

// The name from `from` up to the end offset stored at `endAt`; nothing when the
// end offset points before the name or past the page.
std::optional<std::u16string> NameBetween(RowReader& row, size_t endAt, size_t from) {
  const uint16_t end = row.U16(endAt);
  if (!row.Ok() || end < from) return std::nullopt;
  auto bytes = row.Row().Slice(from, end - from);
  if (!bytes) return std::nullopt;
  return NameFromUtf16(*bytes);
}

}  // namespace

std::optional<_SYSOBJECTS> DecodeSysSchObjs(Bytes page, uint16_t at) {
  namespace f = sysschobjs;
  auto row = RowAt(page, at);
  if (!row) return std::nullopt;
  const uint32_t header = row->U32(f::kHeader);
  if (header != kObjectRowHeader2005 && header != kObjectRowHeader2012) return std::nullopt;
  _SYSOBJECTS o;
  o.id = row->I32(f::kId);
  o.type = FromCodePage(row->Slice(f::kType, f::kTypeSize));
  o.parentId = row->I32(f::kParent);
  o.schemaId = row->I32(f::kSchema);
  o.status = row->U32(f::kStatus);
  if (o.type == u"F " || o.type == u"C ") {
    o.disabled = (o.status & f::kConstraintDisabled) != 0;
    o.notForReplication = (o.status & f::kConstraintNotForReplication) != 0;
    o.notTrusted = (o.status & f::kConstraintNotTrusted) != 0;
  }
  if (o.type == u"F ") {
    o.updateAction = static_cast<uint8_t>((o.status >> f::kUpdateActionShift) & 3);
    o.deleteAction = static_cast<uint8_t>((o.status >> f::kDeleteActionShift) & 3);
  }
  if (header == kObjectRowHeader2012) {
    o.memoryOptimized = (row->U32(f::kStatus2) & f::kMemoryOptimized) != 0;
  }
  const std::optional<Record> record = ParseRecord(page, at);
  if (!row->Ok() || !record || record->varEnds.empty() || record->varEnds[0].offRow) {
    return std::nullopt;
  }
  o.name = NameFromUtf16(record->Variable(0));
  return o;
}

std::optional<_SYSCOLUMNS> DecodeSysColPars(Bytes page, uint16_t at) {
  namespace f = syscolpars;
  auto row = RowAt(page, at);
  if (!row || row->U32(f::kHeader) != kColumnRowHeader2005) return std::nullopt;
  _SYSCOLUMNS c;
  c.tableId = row->I32(f::kTableId);
  c.colid = row->I16(f::kColid);
  c.xtype = row->U8(f::kXtype);
  c.length = row->I16(f::kLength);
  c.prec = row->U8(f::kPrecision);
  c.scale = row->U8(f::kScale);
  c.collationId = row->U32(f::kCollation);
  const uint32_t status = row->U32(f::kStatus);
  c.status = static_cast<uint8_t>(status);
  c.filestream = (status & f::kFilestream) != 0;
  c.sparse = (status & f::kSparse) != 0;
  c.columnSet = (status & f::kColumnSet) != 0;
  c.rowGuidCol = (status & f::kStatusRowGuidCol) != 0;
  c.computed = (status & f::kStatusComputed) != 0;
  c.persisted = c.computed && (status & f::kStatusPersisted) != 0;
  const uint16_t vars = row->U16(f::kVariableCount);
  if (!row->Ok() || (vars != 1 && vars != 2)) return std::nullopt;
  auto name =
      NameBetween(*row, f::kNameEnd, vars == 1 ? f::kNameAfterOneEnd : f::kNameAfterTwoEnds);
  if (!name) return std::nullopt;
  c.name = std::move(*name);
  c.twoVarColumns = vars == 2;
  c.userType = static_cast<uint32_t>(row->I32(f::kUserType));
  c.defaultId = row->I32(f::kDefault);
  if (!row->Ok()) return std::nullopt;
  // An identity column keeps its identity value in the second variable column.
  if ((status & f::kStatusIdentity) && vars == 2) {
    if (auto record = ParseRecord(page, at);
        record && record->varEnds.size() == 2 && !record->varEnds[f::kIdentityVariable].offRow) {
      const Bytes value = record->Variable(f::kIdentityVariable);
      ReadIdentityValue(reinterpret_cast<const unsigned char*>(value.data()), value.size(), c);
    }
  }
  return c;
}

std::optional<_2008IndexIdentifier> DecodeSysRowsets(Bytes page, uint16_t at) {
  namespace f = sysrowsets;
  auto row = RowAt(page, at);
  if (!row) return std::nullopt;
  _2008IndexIdentifier r;
  r.rowsetMid = row->U32(f::kIdMid);
  const uint16_t high = row->U16(f::kIdHigh);
  const auto owner = static_cast<uint32_t>(row->I32(f::kOwner));
  r.ownerKey = (static_cast<uint64_t>(owner) << 16) | high;
  r.indexId = row->I32(f::kIndexId);
  r.rowCount = row->U32(f::kRowCount);
  // 2005 rows end before the compression level.
  if (row->U16(2) >= f::kFixedEndWithCompression) r.compression = row->U8(f::kCompression);
  if (!row->Ok()) return std::nullopt;
  return r;
}

std::optional<_2008IndexPageNumbers> DecodeSysAllocUnits(Bytes page, uint16_t at) {
  namespace f = sysallocunits;
  auto row = RowAt(page, at);
  if (!row || row->U8(f::kStatus) == kGhostAllocUnitStatus) return std::nullopt;
  _2008IndexPageNumbers u;
  const uint32_t unitMid = row->U32(f::kIdMid);
  u.unitHigh = row->U16(f::kIdHigh);
  u.type = row->U8(f::kType);
  u.ownerMid = row->U32(f::kOwnerMid);
  const uint16_t ownerHigh = row->U16(f::kOwnerHigh);
  u.unitKey = (static_cast<uint64_t>(unitMid) << 16) | ownerHigh;
  u.firstPage = row->U32(f::kFirstPage);
  u.firstFile = row->U16(f::kFirstFile);
  u.firstIAM = row->U32(f::kFirstIam);
  u.firstIAMFile = row->U16(f::kFirstIamFile);
  if (!row->Ok()) return std::nullopt;
  return u;
}

std::optional<IdxStatsRow> DecodeSysIdxStats(Bytes page, uint16_t at) {
  namespace f = sysidxstats;
  auto row = RowAt(page, at);
  if (!row) return std::nullopt;
  IdxStatsRow r;
  r.tableId = row->I32(f::kTableId);
  r.indid = row->U16(f::kIndexId);
  r.status = row->U8(f::kStatus);
  if (!row->Ok()) return std::nullopt;
  if (r.indid != 0) {
    const uint16_t end = row->U16(f::kNameEnd);
    if (!row->Ok() || end == kDroppedIndexName) return std::nullopt;
    if (end > f::kName) {
      auto name = NameBetween(*row, f::kNameEnd, f::kName);
      if (!name) return std::nullopt;
      r.name = std::move(*name);
    }
  }
  return r;
}

std::optional<_SysIndexKeys> DecodeSysIsCols(Bytes page, uint16_t at) {
  namespace f = sysiscols;
  auto row = RowAt(page, at);
  if (!row) return std::nullopt;
  _SysIndexKeys k;
  k.objectId = static_cast<uint32_t>(row->I32(f::kTableId));
  k.indexId = row->U16(f::kIndexId);
  k.columnId = row->U16(f::kColumnId);
  const uint32_t status = row->U32(f::kStatus);
  k.keyOrdinal = row->U8(f::kKeyOrdinal);
  if (!row->Ok()) return std::nullopt;
  k.descending = (status & f::kDescending) != 0;
  k.included = k.keyOrdinal == 0 || (status & f::kKeyColumn) == 0;
  return k;
}

std::optional<_SysConstraints> DecodeSysSingleObjRefs(Bytes page, uint16_t at) {
  namespace f = syssingleobjrefs;
  auto row = RowAt(page, at);
  if (!row) return std::nullopt;
  _SysConstraints d;
  d.refClass = row->U8(f::kClass);
  d.depId = static_cast<uint32_t>(row->I32(f::kDependentId));
  const uint8_t depSub = row->U8(f::kDependentSubId);
  d.indepId = static_cast<uint32_t>(row->I32(f::kReferencedId));
  d.indepSubId = row->U16(f::kReferencedSubId);
  d.depSubId = depSub;
  if (!row->Ok() || depSub == 0) return std::nullopt;
  return d;
}

std::optional<ObjValueRow> DecodeSysObjValues(Bytes page, uint16_t at) {
  namespace f = sysobjvalues;
  auto row = RowAt(page, at);
  if (!row || row->U8(f::kStatus) != kObjValueStatus || !row->Ok()) return std::nullopt;
  ObjValueRow v;
  v.objectId = static_cast<uint32_t>(row->I32(f::kObjectId));
  v.valueClass = row->U8(f::kValueClass);
  v.subId = row->I32(f::kSubId);
  auto record = ParseRecord(page, at);
  if (!row->Ok() || !record) return std::nullopt;
  // The marker is looked at only where the row holds it.
  v.textMarker = row->Row().u8(f::kMarker) == f::kMarkerFirst &&
                 row->Row().u8(f::kMarker + 1) == f::kMarkerSecond;
  v.utf16 = v.textMarker && row->Row().u32(f::kTextForm) == f::kTextFormUtf16;
  if (record->varEnds.size() > f::kTextVariable &&
      record->varEnds[f::kTextVariable].end >= kValueTextStart) {
    v.textEnd = record->varEnds[f::kTextVariable].end;
    v.offRow = record->varEnds[f::kTextVariable].offRow;
    v.valueStart = record->varEnds[f::kTextVariable - 1].end;
  } else {
    v.textEnd = kValueTextStart;
  }
  return v;
}

std::optional<_AliasType> DecodeSysScalarTypes(Bytes page, uint16_t at) {
  namespace f = sysscalartypes;
  auto row = RowAt(page, at);
  if (!row || !IsPrimaryRow(*row, f::kFixedEnd)) return std::nullopt;
  _AliasType t;
  t.id = row->I32(f::kId);
  t.schemaId = row->I32(f::kSchema);
  t.xtype = row->U8(f::kXtype);
  t.length = row->I16(f::kLength);
  t.prec = row->U8(f::kPrecision);
  t.scale = row->U8(f::kScale);
  t.notNull = (row->U32(f::kStatus) & f::kStatusNotNull) != 0;
  auto record = ParseRecord(page, at);
  if (!row->Ok() || !record || record->varEnds.empty() || record->varEnds[0].offRow ||
      t.id < static_cast<int32_t>(kFirstUserTypeId)) {
    return std::nullopt;
  }
  t.name = NameFromUtf16(record->Variable(f::kNameVariable));
  if (t.name.empty()) return std::nullopt;
  return t;
}

std::optional<SchemaRow> DecodeSysClsObjs(Bytes page, uint16_t at) {
  namespace f = sysclsobjs;
  auto row = RowAt(page, at);
  if (!row || !IsPrimaryRow(*row, f::kFixedEnd) || row->U8(f::kClass) != f::kSchemaClass) {
    return std::nullopt;
  }
  SchemaRow r;
  r.id = row->I32(f::kId);
  auto record = ParseRecord(page, at);
  if (!row->Ok() || !record || record->varEnds.empty() || record->varEnds[0].offRow) {
    return std::nullopt;
  }
  r.name = NameFromUtf16(record->Variable(f::kNameVariable));
  if (r.name.empty()) return std::nullopt;
  return r;
}

std::optional<LayoutRow> DecodeSysRscols(Bytes page, uint16_t at) {
  namespace f = sysrscols;
  auto row = RowAt(page, at);
  if (!row || !IsPrimaryRow(*row, f::kFixedEnd)) return std::nullopt;
  LayoutRow l;
  l.rowsetId = row->U64(f::kRowsetId);
  l.columnId = row->I32(f::kColumnId);
  l.offset = row->I16(f::kOffset);
  l.nullBit = row->U16(f::kNullBit);
  l.bitPos = row->U16(f::kBitPos);
  l.typeInfo = row->U32(f::kTypeInfo);
  if (!row->Ok()) return std::nullopt;
  return l;
}

std::optional<LayoutRow> DecodeSysHobtColumns(Bytes page, uint16_t at) {
  namespace f = syshobtcolumns;
  auto row = RowAt(page, at);
  if (!row || !IsPrimaryRow(*row, f::kFixedEnd)) return std::nullopt;
  LayoutRow l;
  l.rowsetId = row->U64(f::kHobtId);
  l.columnId = row->I32(f::kColumnId);
  l.offset = row->I16(f::kOffset);
  l.bitPos = row->U16(f::kBitPos);
  l.nullBit = row->U16(f::kNullBit);
  if (!row->Ok()) return std::nullopt;
  return l;
}

std::optional<RowsetColumnRow> DecodeSysRowsetColumns(Bytes page, uint16_t at) {
  namespace f = sysrowsetcolumns;
  auto row = RowAt(page, at);
  if (!row || !IsPrimaryRow(*row, f::kFixedEnd)) return std::nullopt;
  RowsetColumnRow r;
  r.rowsetId = row->U64(f::kRowsetId);
  r.columnId = row->I32(f::kColumnId);
  r.hobtColumn = row->I32(f::kHobtColumn);
  if (!row->Ok()) return std::nullopt;
  return r;
}

}  // namespace mendora
