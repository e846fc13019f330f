#include "engine/SysTables2005.h"

#include "engine/CodePage.h"
#include "engine/Record.h"
#include "engine/SysTables2000.h"

namespace mendora {
namespace {

std::optional<ByteReader> RowAt(Bytes page, uint16_t at) {
  if (at < 96 || at >= page.size()) return std::nullopt;
  return ByteReader(page.subspan(at));
}

// A primary data record (not ghost, not a fragment) with the given fixed-part end.
bool IsPrimaryRow(const ByteReader& row, uint16_t fixedEnd) {
  auto status = row.u8(0);
  return status && (*status & kStatusTypeMask) == kRecordPrimary && row.u16(2) == fixedEnd;
}

// The name from `from` up to the end offset stored at `endAt`; nothing when the
// end offset points before the name or past the page.
std::optional<std::u16string> NameBetween(const ByteReader& row, size_t endAt, size_t from) {
  auto end = row.u16(endAt);
  if (!end || *end < from) return std::nullopt;
  auto bytes = row.Slice(from, *end - from);
  if (!bytes) return std::nullopt;
  return NameFromUtf16(*bytes);
}

}  // namespace

std::optional<_SYSOBJECTS> DecodeSysSchObjs(Bytes page, uint16_t at) {
  auto row = RowAt(page, at);
  if (!row || row->u32(0) != kObjectRowHeader2005) return std::nullopt;
  auto id = row->i32(4);
  auto type = row->Slice(17, 2);
  auto parent = row->i32(19);
  auto name = NameBetween(*row, 50, 52);
  if (!id || !type || !parent || !name) return std::nullopt;
  _SYSOBJECTS o;
  o.id = *id;
  o.type = FromCodePage(*type);
  o.parentId = *parent;
  o.name = std::move(*name);
  return o;
}

std::optional<_SYSCOLUMNS> DecodeSysColPars(Bytes page, uint16_t at) {
  auto row = RowAt(page, at);
  if (!row || row->u32(0) != kColumnRowHeader2005) return std::nullopt;
  auto table = row->i32(4);
  auto colid = row->i16(10);
  auto xtype = row->u8(14);
  auto length = row->i16(19);
  auto prec = row->u8(21);
  auto scale = row->u8(22);
  auto status = row->u8(27);
  auto vars = row->u16(49);
  if (!table || !colid || !xtype || !length || !prec || !scale || !status || !vars) {
    return std::nullopt;
  }
  if (*vars != 1 && *vars != 2) return std::nullopt;
  auto name = NameBetween(*row, 51, *vars == 1 ? 53 : 55);
  if (!name) return std::nullopt;
  _SYSCOLUMNS c;
  c.name = std::move(*name);
  c.tableId = *table;
  c.xtype = *xtype;
  c.length = *length;
  c.colid = *colid;
  c.prec = *prec;
  c.scale = *scale;
  c.status = *status;
  c.twoVarColumns = *vars == 2;
  return c;
}

std::optional<_2008IndexIdentifier> DecodeSysRowsets(Bytes page, uint16_t at) {
  auto row = RowAt(page, at);
  if (!row) return std::nullopt;
  auto mid = row->u32(6);
  auto high = row->u16(10);
  auto owner = row->i32(13);
  auto index = row->i32(17);
  auto rows = row->u32(31);
  if (!mid || !high || !owner || !index || !rows) return std::nullopt;
  _2008IndexIdentifier r;
  r.rowsetMid = *mid;
  r.ownerKey = (static_cast<uint64_t>(static_cast<uint32_t>(*owner)) << 16) | *high;
  r.rowCount = *rows;
  r.indexId = *index;
  return r;
}

std::optional<_2008IndexPageNumbers> DecodeSysAllocUnits(Bytes page, uint16_t at) {
  auto row = RowAt(page, at);
  if (!row || row->u8(0) == 0x1C) return std::nullopt;
  auto unitMid = row->u32(6);
  auto type = row->u8(12);
  auto ownerMid = row->u32(15);
  auto ownerHigh = row->u16(19);
  auto firstPage = row->u32(27);
  auto firstFile = row->u16(31);
  auto firstIam = row->u32(39);
  auto firstIamFile = row->u16(43);
  if (!unitMid || !type || !ownerMid || !ownerHigh || !firstPage || !firstFile || !firstIam ||
      !firstIamFile) {
    return std::nullopt;
  }
  _2008IndexPageNumbers u;
  u.ownerMid = *ownerMid;
  u.unitKey = (static_cast<uint64_t>(*unitMid) << 16) | *ownerHigh;
  u.firstPage = *firstPage;
  u.firstFile = *firstFile;
  u.firstIAM = *firstIam;
  u.firstIAMFile = *firstIamFile;
  u.type = *type;
  return u;
}

std::optional<IdxStatsRow> DecodeSysIdxStats(Bytes page, uint16_t at) {
  auto row = RowAt(page, at);
  if (!row) return std::nullopt;
  auto table = row->i32(4);
  auto indid = row->u16(8);
  auto status = row->u8(12);
  if (!table || !indid || !status) return std::nullopt;
  IdxStatsRow r;
  r.tableId = *table;
  r.indid = *indid;
  r.status = *status;
  if (r.indid != 0) {
    auto end = row->u16(45);
    if (!end || *end == kDroppedIndexName) return std::nullopt;
    if (*end >= 48) {
      auto name = NameBetween(*row, 45, 47);
      if (!name) return std::nullopt;
      r.name = std::move(*name);
    }
  }
  return r;
}

std::optional<_SysIndexKeys> DecodeSysIsCols(Bytes page, uint16_t at) {
  auto row = RowAt(page, at);
  if (!row) return std::nullopt;
  auto object = row->i32(4);
  auto index = row->u16(8);
  auto column = row->u16(20);
  if (!object || !index || !column) return std::nullopt;
  return _SysIndexKeys{static_cast<uint32_t>(*object), *column, *index};
}

std::optional<_SysConstraints> DecodeSysSingleObjRefs(Bytes page, uint16_t at) {
  auto row = RowAt(page, at);
  if (!row) return std::nullopt;
  auto cls = row->u8(4);
  auto dep = row->i32(5);
  auto depSub = row->u8(9);
  auto indep = row->i32(13);
  auto indepSub = row->u16(17);
  if (!cls || !dep || !depSub || !indep || !indepSub || *depSub == 0) return std::nullopt;
  return _SysConstraints{*cls, static_cast<uint32_t>(*dep), static_cast<uint32_t>(*indep),
                         *indepSub};
}

std::optional<ObjValueRow> DecodeSysObjValues(Bytes page, uint16_t at) {
  auto row = RowAt(page, at);
  if (!row || row->u8(0) != 0x30) return std::nullopt;
  auto object = row->i32(5);
  auto record = ParseRecord(page, at);
  if (!object || !record) return std::nullopt;
  ObjValueRow v;
  v.objectId = static_cast<uint32_t>(*object);
  v.textMarker = row->u8(26) == 0x38 && row->u8(27) == 0x01;
  if (record->varEnds.size() >= 2 && record->varEnds[1].end >= kValueTextStart) {
    v.textEnd = record->varEnds[1].end;
    v.offRow = record->varEnds[1].offRow;
  } else {
    v.textEnd = kValueTextStart;
  }
  return v;
}

std::optional<LayoutRow> DecodeSysRscols(Bytes page, uint16_t at) {
  auto row = RowAt(page, at);
  if (!row || !IsPrimaryRow(*row, 0x3A)) return std::nullopt;
  auto rowset = row->u64(4);
  auto column = row->i32(12);
  auto offset = row->i16(44);
  auto nullBit = row->u16(48);
  auto bitPos = row->u16(52);
  if (!rowset || !column || !offset || !nullBit || !bitPos) return std::nullopt;
  return LayoutRow{*rowset, *column, *offset, *nullBit, *bitPos};
}

std::optional<LayoutRow> DecodeSysHobtColumns(Bytes page, uint16_t at) {
  auto row = RowAt(page, at);
  if (!row || !IsPrimaryRow(*row, 0x29)) return std::nullopt;
  auto hobt = row->u64(4);
  auto column = row->i32(12);
  auto offset = row->i16(31);
  auto bitPos = row->u16(35);
  auto nullBit = row->u16(37);
  if (!hobt || !column || !offset || !nullBit || !bitPos) return std::nullopt;
  return LayoutRow{*hobt, *column, *offset, *nullBit, *bitPos};
}

std::optional<RowsetColumnRow> DecodeSysRowsetColumns(Bytes page, uint16_t at) {
  auto row = RowAt(page, at);
  if (!row || !IsPrimaryRow(*row, 0x22)) return std::nullopt;
  auto rowset = row->u64(4);
  auto column = row->i32(12);
  auto hobt = row->i32(16);
  if (!rowset || !column || !hobt) return std::nullopt;
  return RowsetColumnRow{*rowset, *column, *hobt};
}

}  // namespace mendora
