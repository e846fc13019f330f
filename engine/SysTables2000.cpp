#include "engine/SysTables2000.h"

#include "engine/CodePage.h"
#include "engine/Record.h"
#include "engine/Utf16.h"

namespace mendora {

std::u16string NameFromUtf16(Bytes bytes) {
  if (bytes.size() > kMaxNameBytes) bytes = bytes.first(kMaxNameBytes);
  return Utf16FromBytes(bytes);
}

std::optional<_SYSOBJECTS> DecodeSysObjects2000(Bytes page, uint16_t at) {
  namespace f = sysobjects2000;
  if (at >= page.size()) return std::nullopt;
  RowReader row(page.subspan(at));
  if (row.U32(f::kHeader) != kObjectRowHeader2000) return std::nullopt;
  auto record = ParseRecord(page, at);
  _SYSOBJECTS o;
  o.id = row.I32(f::kId);
  o.type = FromCodePage(row.Slice(f::kType, f::kTypeSize));
  o.parentId = row.I32(f::kParent);
  o.schemaId = row.I16(f::kOwner);
  o.status = row.U32(f::kStatus);
  if (o.type == u"F " || o.type == u"C ") {
    o.disabled = (o.status & f::kConstraintDisabled) != 0;
    o.notTrusted = (o.status & f::kConstraintNotTrusted) != 0;
  }
  if (!record || !row.Ok()) return std::nullopt;
  o.name = NameFromUtf16(record->Variable(f::kNameVariable));
  return o;
}

std::optional<SysColumn2000> DecodeSysColumns2000(Bytes page, uint16_t at) {
  namespace f = syscolumns2000;
  if (at >= page.size()) return std::nullopt;
  RowReader row(page.subspan(at));
  if (row.U32(f::kHeader) != kColumnRowHeader2000) return std::nullopt;
  auto record = ParseRecord(page, at);
  SysColumn2000 c;
  c.column.tableId = row.I32(f::kTableId);
  c.column.xtype = row.U8(f::kXtype);
  c.column.status = row.U8(f::kTypeStat);
  c.column.length = row.I16(f::kLength);
  c.column.prec = row.U8(f::kPrecision);
  c.column.scale = row.U8(f::kScale);
  c.column.colid = row.I16(f::kColid);
  c.column.xoffset = row.I16(f::kXoffset);
  c.column.collationId = row.U32(f::kCollation);
  c.bitpos = row.U8(f::kBitPos);
  if (!record || !row.Ok()) return std::nullopt;
  // The name is the first variable column when the row has one or two.
  if (record->varEnds.size() == 1 || record->varEnds.size() == 2) {
    c.column.name = NameFromUtf16(record->Variable(f::kNameVariable));
  }
  const uint16_t colstat = row.U16(f::kColStat);
  c.column.userType = row.U16(f::kUserType);
  c.column.defaultId = row.I32(f::kDefault);
  if (!row.Ok()) return std::nullopt;
  c.column.computed = (colstat & f::kColStatComputed) != 0;
  // An identity column keeps its identity value in the second variable column.
  if ((colstat & f::kColStatIdentity) && record->varEnds.size() == 2 &&
      !record->varEnds[f::kIdentityVariable].offRow) {
    const Bytes value = record->Variable(f::kIdentityVariable);
    ReadIdentityValue(reinterpret_cast<const unsigned char*>(value.data()), value.size(), c.column);
  }
  return c;
}

std::optional<SysIndex2000> DecodeSysIndexes2000(Bytes page, uint16_t at) {
  namespace f = sysindexes2000;
  if (at >= page.size()) return std::nullopt;
  RowReader row(page.subspan(at));
  auto record = ParseRecord(page, at);
  SysIndex2000 s;
  s.index.tableId = row.I32(f::kTableId);
  s.index.status = row.U8(f::kStatus);
  s.index.firstPage = row.U32(f::kFirstPage);
  s.index.firstFile = row.U16(f::kFirstFile);
  s.index.indid = s.index.indid2 = row.U16(f::kIndid);
  s.rowCount = row.U32(f::kRowCount);
  s.index.firstIAM = row.U32(f::kFirstIam);
  s.index.firstIAMFile = row.U16(f::kFirstIamFile);
  if (!record || !row.Ok()) return std::nullopt;
  s.index.name = NameFromUtf16(record->Variable(f::kNameVariable));
  return s;
}

}  // namespace mendora
