#include "tests/support/SystemRows.h"

#include <stdexcept>

namespace mdftest {
namespace {

// The fixed part of a row, from record offset 4 up to `end`; fields are put at
// their record offsets.
class FixedPart {
 public:
  explicit FixedPart(size_t end) : bytes_(end - 4) {}
  FixedPart& At(size_t offset, const ByteVec& value) {
    if (offset < 4 || offset - 4 + value.size() > bytes_.size()) {
      throw std::logic_error("field outside the fixed part");
    }
    for (size_t i = 0; i < value.size(); ++i) bytes_[offset - 4 + i] = value[i];
    return *this;
  }
  const ByteVec& Bytes() const { return bytes_; }

 private:
  ByteVec bytes_;
};

ByteVec TypeCode(const std::string& type) {
  std::string t = type;
  t.resize(2, ' ');
  return Ascii(t);
}

// A single-byte text as it stands in a row.
ByteVec Text(const std::string& s) { return Ascii(s); }

}  // namespace

ByteVec Encode(const SysObjectsRow& r) {
  FixedPart f(42);
  f.At(4, U32(static_cast<uint32_t>(r.id)))
      .At(8, TypeCode(r.type))
      .At(12, U16(1))
      .At(14, U16(0))
      .At(16, U32(r.status))
      .At(20, U32(r.schemaVersion))
      .At(24, U32(0))
      .At(28, U32(static_cast<uint32_t>(r.parent)))
      .At(32, U64(0x0000915A00C5C1F0ull))
      .At(40, U16(0));
  return RecordBuilder().Fixed(f.Bytes()).Columns(24).Var(Utf16(r.name)).Build();
}

ByteVec Encode(const SysColumnsRow& r) {
  FixedPart f(46);
  f.At(4, U32(static_cast<uint32_t>(r.tableId)))
      .At(8, U8(r.xtype))
      .At(9, U8(r.typestat))
      .At(10, U16(r.xtype))
      .At(12, U16(static_cast<uint16_t>(r.length)))
      .At(14, U8(r.prec))
      .At(15, U8(r.scale))
      .At(16, U16(static_cast<uint16_t>(r.colid)))
      .At(18, U16(static_cast<uint16_t>(r.xoffset)))
      .At(20, U8(r.bitpos))
      .At(34, U16(static_cast<uint16_t>(r.colid)));
  RecordBuilder b;
  b.Fixed(f.Bytes()).Columns(20).Var(Utf16(r.name));
  if (r.secondVariable) b.Var(U32(0x00010001));
  return b.Build();
}

ByteVec Encode(const SysIndexesRow& r) {
  FixedPart f(82);
  f.At(4, U32(static_cast<uint32_t>(r.tableId)))
      .At(8, U32(r.status))
      .At(12, U32(r.firstPage))
      .At(16, U16(r.firstPage ? 1 : 0))
      .At(18, U16(r.indid))
      .At(20, U32(r.root))
      .At(24, U16(r.root ? 1 : 0))
      .At(28, U16(static_cast<uint16_t>(r.keys.size() / 32)))
      .At(30, U16(1))
      .At(44, U64(r.rowCount))
      .At(68, U32(r.firstIam))
      .At(72, U16(r.firstIam ? 1 : 0));
  return RecordBuilder().Fixed(f.Bytes()).Columns(31).Var(r.keys).Var(Utf16(r.name)).Build();
}

ByteVec Encode(const SysSchObjsRow& r) {
  FixedPart f(44);
  f.At(4, U32(static_cast<uint32_t>(r.id)))
      .At(8, U32(1))
      .At(12, U8(0))
      .At(13, U32(r.status))
      .At(17, TypeCode(r.type))
      .At(19, U32(static_cast<uint32_t>(r.parent)))
      .At(23, U8(1))
      .At(24, U32(0))
      .At(28, U64(0x00009A2B00C5C1F0ull))
      .At(36, U64(0x00009A2B00C5C1F0ull));
  return RecordBuilder().Fixed(f.Bytes()).Columns(11).Var(Utf16(r.name)).Build();
}

ByteVec Encode(const SysColParsRow& r) {
  FixedPart f(45);
  f.At(4, U32(static_cast<uint32_t>(r.objectId)))
      .At(8, U16(0))
      .At(10, U32(static_cast<uint32_t>(r.colid)))
      .At(14, U8(r.xtype))
      .At(15, U32(r.xtype))
      .At(19, U16(static_cast<uint16_t>(r.length)))
      .At(21, U8(r.prec))
      .At(22, U8(r.scale))
      .At(23, U32(872468488))
      .At(27, U32(r.status))
      .At(31, U16(static_cast<uint16_t>(r.length)));
  RecordBuilder b;
  b.Fixed(f.Bytes()).Columns(15).Var(Utf16(r.name));
  if (r.secondVariable) b.Var(Ascii("<x/>"));
  return b.Build();
}

ByteVec Encode(const SysRowsetsRow& r) {
  FixedPart f(53);
  f.At(4, U64(r.rowsetId))
      .At(12, U8(1))
      .At(13, U32(static_cast<uint32_t>(r.owner)))
      .At(17, U32(static_cast<uint32_t>(r.indexId)))
      .At(21, U32(1))
      .At(25, U32(0))
      .At(29, U16(1))
      .At(31, U64(r.rowCount))
      .At(40, U8(0));
  return RecordBuilder().Fixed(f.Bytes()).Columns(17).NoVariablePart().Build();
}

ByteVec Encode(const SysAllocUnitsRow& r) {
  FixedPart f(73);
  f.At(4, U64(r.unitId))
      .At(12, U8(r.type))
      .At(13, U64(r.ownerId))
      .At(21, U32(0))
      .At(25, U16(1))
      .At(27, U32(r.firstPage))
      .At(31, U16(r.firstPage ? 1 : 0))
      .At(33, U32(r.root))
      .At(37, U16(r.root ? 1 : 0))
      .At(39, U32(r.firstIam))
      .At(43, U16(r.firstIam ? 1 : 0));
  RecordBuilder b;
  b.Fixed(f.Bytes()).Columns(12).NoVariablePart();
  if (r.ghost) b.Status(0x1C);
  return b.Build();
}

ByteVec Encode(const SysIdxStatsRow& r) {
  FixedPart f(39);
  f.At(4, U32(static_cast<uint32_t>(r.tableId)))
      .At(8, U32(static_cast<uint32_t>(r.indid)))
      .At(12, U32(r.status))
      .At(20, U8(0))
      .At(21, U8(r.indid == 0 ? 0 : r.indid == 1 ? 1 : 2))
      .At(23, U32(1))
      .At(31, U64(r.rowsetId));
  RecordBuilder b;
  b.Fixed(f.Bytes()).Columns(11);
  if (r.indid == 0) {
    b.NoVariablePart();
  } else {
    b.Var(Utf16(r.name));
  }
  return b.Build();
}

ByteVec Encode(const SysIsColsRow& r) {
  FixedPart f(26);
  f.At(4, U32(static_cast<uint32_t>(r.tableId)))
      .At(8, U32(static_cast<uint32_t>(r.indexId)))
      .At(12, U32(static_cast<uint32_t>(r.ordinal)))
      .At(16, U32(2))
      .At(20, U32(static_cast<uint32_t>(r.columnId)));
  return RecordBuilder().Fixed(f.Bytes()).Columns(7).NoVariablePart().Build();
}

ByteVec Encode(const SysSingleObjRefsRow& r) {
  FixedPart f(25);
  f.At(4, U8(r.refClass))
      .At(5, U32(static_cast<uint32_t>(r.depId)))
      .At(9, U32(static_cast<uint32_t>(r.depSubId)))
      .At(13, U32(static_cast<uint32_t>(r.indepId)))
      .At(17, U32(static_cast<uint32_t>(r.indepSubId)))
      .At(21, U32(0));
  return RecordBuilder().Fixed(f.Bytes()).Columns(6).NoVariablePart().Build();
}

ByteVec Encode(const SysObjValuesRow& r) {
  FixedPart f(17);
  f.At(4, U8(1)).At(5, U32(static_cast<uint32_t>(r.objectId))).At(9, U32(0)).At(13, U32(0));
  // The value: a sql_variant int (base type 0x38, version 1) holding 0; a row
  // that is not a text row holds some other value there.
  ByteVec value = r.textMarker ? Concat({U8(0x38), U8(0x01), U32(0)})
                               : Concat({U8(0xA7), U8(0x01), U32(0x00200000)});
  return RecordBuilder().Fixed(f.Bytes()).Columns(6).Var(value).Var(Text(r.text), r.offRow).Build();
}

ByteVec Encode(const SysRscolsRow& r) {
  FixedPart f(58);
  f.At(4, U64(r.rowsetId))
      .At(12, U32(static_cast<uint32_t>(r.colid)))
      .At(16, U32(static_cast<uint32_t>(r.hobtColumn)))
      .At(20, U64(0))
      .At(28, U32(0x38))
      .At(32, U32(static_cast<uint32_t>(r.colid)))
      .At(44, U32(static_cast<uint16_t>(r.offset)))
      .At(48, U32(r.nullBit))
      .At(52, U16(r.bitPos));
  return RecordBuilder().Fixed(f.Bytes()).Columns(14).NoVariablePart().Build();
}

ByteVec Encode(const SysHobtColumnsRow& r) {
  FixedPart f(41);
  f.At(4, U64(r.hobtId))
      .At(12, U32(static_cast<uint32_t>(r.hobtColumn)))
      .At(16, U64(0))
      .At(24, U32(0x38))
      .At(31, U16(static_cast<uint16_t>(r.offset)))
      .At(35, U16(r.bitPos))
      .At(37, U16(r.nullBit));
  return RecordBuilder().Fixed(f.Bytes()).Columns(12).NoVariablePart().Build();
}

ByteVec Encode(const SysRowsetColumnsRow& r) {
  FixedPart f(34);
  f.At(4, U64(r.rowsetId))
      .At(12, U32(static_cast<uint32_t>(r.colid)))
      .At(16, U32(static_cast<uint32_t>(r.hobtColumn)))
      .At(20, U64(0));
  return RecordBuilder().Fixed(f.Bytes()).Columns(6).NoVariablePart().Build();
}

}  // namespace mdftest
