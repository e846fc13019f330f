#include "engine/SysTables2000.h"

#include "engine/CodePage.h"
#include "engine/Record.h"
#include "engine/Utf16.h"

namespace mendora {

std::u16string NameFromUtf16(Bytes bytes) {
  if (bytes.size() > kMaxNameBytes) bytes = bytes.first(kMaxNameBytes);
  return Utf16FromBytes(bytes);
}

namespace {

bool HeaderIs(const ByteReader& row, uint32_t expected) {
  return row.u32(0) == expected;
}

}  // namespace

std::optional<_SYSOBJECTS> DecodeSysObjects2000(Bytes page, uint16_t at) {
  if (at >= page.size()) return std::nullopt;
  ByteReader row(page.subspan(at));
  if (!HeaderIs(row, kObjectRowHeader2000)) return std::nullopt;
  auto record = ParseRecord(page, at);
  auto id = row.i32(4);
  auto type = row.Slice(8, 2);
  auto parent = row.i32(28);
  if (!record || !id || !type || !parent) return std::nullopt;
  _SYSOBJECTS o;
  o.id = *id;
  o.parentId = *parent;
  o.type = FromCodePage(*type);
  o.name = NameFromUtf16(record->Variable(0));
  return o;
}

std::optional<SysColumn2000> DecodeSysColumns2000(Bytes page, uint16_t at) {
  if (at >= page.size()) return std::nullopt;
  ByteReader row(page.subspan(at));
  if (!HeaderIs(row, kColumnRowHeader2000)) return std::nullopt;
  auto record = ParseRecord(page, at);
  auto table = row.i32(4);
  auto xtype = row.u8(8);
  auto status = row.u8(9);
  auto length = row.i16(12);
  auto prec = row.u8(14);
  auto scale = row.u8(15);
  auto colid = row.i16(16);
  auto xoffset = row.i16(18);
  auto bitpos = row.u8(20);
  if (!record || !table || !xtype || !status || !length || !prec || !scale || !colid || !xoffset ||
      !bitpos) {
    return std::nullopt;
  }
  SysColumn2000 c;
  c.column.tableId = *table;
  c.column.xtype = *xtype;
  c.column.status = *status;
  c.column.length = *length;
  c.column.prec = *prec;
  c.column.scale = *scale;
  c.column.colid = *colid;
  c.column.xoffset = *xoffset;
  c.bitpos = *bitpos;
  // The name is the first variable column when the row has one or two.
  if (record->varEnds.size() == 1 || record->varEnds.size() == 2) {
    c.column.name = NameFromUtf16(record->Variable(0));
  }
  return c;
}

std::optional<SysIndex2000> DecodeSysIndexes2000(Bytes page, uint16_t at) {
  if (at >= page.size()) return std::nullopt;
  ByteReader row(page.subspan(at));
  auto record = ParseRecord(page, at);
  auto table = row.i32(4);
  auto status = row.u8(8);
  auto firstPage = row.u32(12);
  auto firstFile = row.u16(16);
  auto indid = row.u16(18);
  auto rows = row.u32(44);
  auto firstIam = row.u32(68);
  auto firstIamFile = row.u16(72);
  if (!record || !table || !status || !firstPage || !firstFile || !indid || !rows || !firstIam ||
      !firstIamFile) {
    return std::nullopt;
  }
  SysIndex2000 s;
  s.index.tableId = *table;
  s.index.status = *status;
  s.index.firstPage = *firstPage;
  s.index.firstFile = *firstFile;
  s.index.indid = s.index.indid2 = *indid;
  s.index.firstIAM = *firstIam;
  s.index.firstIAMFile = *firstIamFile;
  s.index.name = NameFromUtf16(record->Variable(1));
  s.rowCount = *rows;
  return s;
}

}  // namespace mendora
