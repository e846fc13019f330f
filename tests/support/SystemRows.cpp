#include "tests/support/SystemRows.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <tuple>

#include "engine/TypeCodes.h"

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
ByteVec Text(const std::string& s) {
  return Ascii(s);
}

}  // namespace

ByteVec Encode(const SysObjectsRow& r) {
  FixedPart f(42);
  f.At(4, U32(static_cast<uint32_t>(r.id)))
      .At(8, TypeCode(r.type))
      .At(12, U16(static_cast<uint16_t>(r.uid)))
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
      .At(22, U16(r.colstat))
      .At(24, U32(static_cast<uint32_t>(r.cdefault)))
      .At(34, U16(static_cast<uint16_t>(r.colid)))
      .At(38, U32(r.collation));
  RecordBuilder b;
  b.Fixed(f.Bytes()).Columns(20).Var(Utf16(r.name));
  if (!r.autoval.empty()) {
    b.Var(r.autoval);
  } else if (r.secondVariable) {
    b.Var(U32(0x00010001));
  }
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
  return RecordBuilder().Fixed(f.Bytes()).Columns(27).Var(r.keys).Var(Utf16(r.name)).Build();
}

ByteVec IndexKeyEntry2000(uint16_t columnId, uint8_t carried) {
  // The rest of the entry is written non-zero, so that a reader taking the
  // column id or the carried mark from a neighbouring byte gets it wrong.
  ByteVec entry(32, std::byte{0});
  for (size_t i = 0; i < 16; ++i) entry[i] = std::byte{static_cast<uint8_t>(0x40 + i)};
  auto id = U16(columnId);
  std::copy(id.begin(), id.end(), entry.begin() + 16);
  entry[18] = std::byte{0x38};  // the column's type
  entry[30] = std::byte{carried};
  return entry;
}

ByteVec Encode(const SysCommentsRow& r) {
  FixedPart f(14);
  f.At(4, U32(static_cast<uint32_t>(r.objectId)))
      .At(8, U16(static_cast<uint16_t>(r.number)))
      .At(10, U16(static_cast<uint16_t>(r.colid)))
      .At(12, U16(r.status));
  return RecordBuilder().Fixed(f.Bytes()).Columns(5).Var(r.text).Build();
}

ByteVec Encode(const SysReferencesRow& r) {
  auto ids = [](const std::vector<int16_t>& columns) {
    ByteVec out;
    for (int16_t c : columns) {
      auto b = U16(static_cast<uint16_t>(c));
      out.insert(out.end(), b.begin(), b.end());
    }
    return out;
  };
  FixedPart f(20);
  f.At(4, U32(static_cast<uint32_t>(r.constraintId)))
      .At(8, U32(static_cast<uint32_t>(r.tableId)))
      .At(12, U32(static_cast<uint32_t>(r.referencedTable)))
      .At(16, U16(static_cast<uint16_t>(r.referencedIndex)))
      .At(18,
          U16(static_cast<uint16_t>(r.keyCount.value_or(static_cast<int16_t>(r.columns.size())))));
  return RecordBuilder()
      .Fixed(f.Bytes())
      .Columns(7)
      .Var(ids(r.columns))
      .Var(ids(r.referencedColumns))
      .Build();
}

std::vector<SysColumnsRow> SystemTableColumns2000() {
  // name, xtype, typestat, length, prec, scale, colid, xoffset: > 0 the fixed
  // offset, < 0 minus the variable column number, 0 a column not stored.
  struct C {
    int32_t table;
    const char16_t* name;
    uint8_t xtype, typestat;
    int16_t length;
    uint8_t prec;
    int16_t xoffset;
  };
  constexpr uint8_t kInt = mendora::kXInt, kSmall = mendora::kXSmallInt, kTiny = mendora::kXTinyInt,
                    kBig = mendora::kXBigInt, kBinary = mendora::kXBinary,
                    kVarBinary = mendora::kXVarBinary, kNVarChar = mendora::kXNVarChar,
                    kImage = mendora::kXImage, kBit = mendora::kXBit;
  const C columns[] = {
      {2, u"id", kInt, 1, 4, 10, 4},
      {2, u"status", kInt, 1, 4, 10, 8},
      {2, u"first", kBinary, 1, 6, 0, 12},
      {2, u"indid", kSmall, 1, 2, 5, 18},
      {2, u"root", kBinary, 1, 6, 0, 20},
      {2, u"minlen", kSmall, 1, 2, 5, 26},
      {2, u"keycnt", kSmall, 1, 2, 5, 28},
      {2, u"groupid", kSmall, 1, 2, 5, 30},
      {2, u"dpages", kInt, 1, 4, 10, 32},
      {2, u"reserved", kInt, 1, 4, 10, 36},
      {2, u"used", kInt, 1, 4, 10, 40},
      {2, u"rowcnt", kBig, 1, 8, 19, 44},
      {2, u"rowmodctr", kInt, 1, 4, 10, 52},
      {2, u"reserved3", kTiny, 1, 1, 3, 56},
      {2, u"reserved4", kTiny, 1, 1, 3, 57},
      {2, u"xmaxlen", kSmall, 1, 2, 5, 58},
      {2, u"maxirow", kSmall, 1, 2, 5, 60},
      {2, u"OrigFillFactor", kTiny, 1, 1, 3, 62},
      {2, u"StatVersion", kTiny, 1, 1, 3, 63},
      {2, u"reserved2", kInt, 1, 4, 10, 64},
      {2, u"FirstIAM", kBinary, 1, 6, 0, 68},
      {2, u"impid", kSmall, 1, 2, 5, 74},
      {2, u"lockflags", kSmall, 1, 2, 5, 76},
      {2, u"pgmodctr", kInt, 1, 4, 10, 78},
      {2, u"keys", kVarBinary, 0, 1088, 0, -1},
      {2, u"name", kNVarChar, 1, 256, 0, -2},
      {2, u"statblob", kImage, 0, 16, 0, -3},
      {2, u"maxlen", kInt, 1, 4, 10, 0},
      {2, u"rows", kInt, 0, 4, 10, 0},
      {6, u"id", kInt, 1, 4, 10, 4},
      {6, u"number", kSmall, 1, 2, 5, 8},
      {6, u"colid", kSmall, 1, 2, 5, 10},
      {6, u"status", kSmall, 1, 2, 5, 12},
      {6, u"ctext", kVarBinary, 3, 8000, 0, -1},
      {6, u"texttype", kSmall, 0, 2, 5, 0},
      {6, u"language", kSmall, 0, 2, 5, 0},
      {6, u"encrypted", kBit, 0, 1, 1, 0},
      {6, u"compressed", kBit, 0, 1, 1, 0},
      {6, u"text", kNVarChar, 2, 8000, 0, 0},
      {14, u"constid", kInt, 1, 4, 10, 4},
      {14, u"fkeyid", kInt, 1, 4, 10, 8},
      {14, u"rkeyid", kInt, 1, 4, 10, 12},
      {14, u"rkeyindid", kSmall, 1, 2, 5, 16},
      {14, u"keycnt", kSmall, 1, 2, 5, 18},
      {14, u"forkeys", kVarBinary, 3, 32, 0, -1},
      {14, u"refkeys", kVarBinary, 3, 32, 0, -2},
      {14, u"fkeydbid", kSmall, 0, 2, 5, 0},
      {14, u"rkeydbid", kSmall, 0, 2, 5, 0},
  };
  std::vector<SysColumnsRow> rows;
  std::map<int32_t, int16_t> colid;
  for (const C& c : columns) {
    SysColumnsRow r;
    r.tableId = c.table;
    r.name = c.name;
    r.xtype = c.xtype;
    r.typestat = c.typestat;
    r.length = c.length;
    r.prec = c.prec;
    r.colid = ++colid[c.table];
    r.xoffset = c.xoffset;
    rows.push_back(r);
  }
  // sysreferences' sixteen referencing and sixteen referenced column slots,
  // not stored: the row keeps them in forkeys and refkeys.
  for (const char* side : {"fkey", "rkey"}) {
    for (int k = 1; k <= 16; ++k) {
      SysColumnsRow r;
      r.tableId = 14;
      std::string name = side + std::to_string(k);
      r.name.assign(name.begin(), name.end());
      r.xtype = kSmall;
      r.length = 2;
      r.prec = 5;
      r.colid = ++colid[14];
      r.xoffset = 0;
      rows.push_back(r);
    }
  }
  return rows;
}

ByteVec Encode(const SysUsersRow& r) {
  FixedPart f(26);
  f.At(4, U16(static_cast<uint16_t>(r.uid)))
      .At(6, U16(0))
      .At(8, U64(0x0000915A00C5C1F0ull))
      .At(16, U64(0x0000915A00C5C1F0ull))
      .At(24, U16(0));
  return RecordBuilder().Fixed(f.Bytes()).Columns(9).Var(Utf16(r.name)).Build();
}

std::vector<SysColumnsRow> SysUsersColumns2000() {
  constexpr uint8_t kSmall = 52, kDateTime = 61, kVarBinary = 165, kNVarChar = 231;
  const std::tuple<const char16_t*, uint8_t, int16_t, int16_t> columns[] = {
      {u"uid", kSmall, 2, 4},
      {u"status", kSmall, 2, 6},
      {u"name", kNVarChar, 256, -1},
      {u"sid", kVarBinary, 85, -2},
      {u"roles", kVarBinary, 2048, -3},
      {u"createdate", kDateTime, 8, 8},
      {u"updatedate", kDateTime, 8, 16},
      {u"altuid", kSmall, 2, 24},
      {u"password", kVarBinary, 256, -4}};
  std::vector<SysColumnsRow> rows;
  int16_t colid = 0;
  for (const auto& [name, type, length, xoffset] : columns) {
    SysColumnsRow r;
    r.tableId = static_cast<int32_t>(kObjSysUsers);
    r.name = name;
    r.xtype = type;
    r.length = length;
    r.prec = 0;
    r.colid = ++colid;
    r.xoffset = xoffset;
    rows.push_back(r);
  }
  return rows;
}

ByteVec Encode(const SysClsObjsRow& r) {
  FixedPart f(35);
  f.At(4, U8(r.cls))
      .At(5, U32(static_cast<uint32_t>(r.id)))
      .At(9, U32(0))
      .At(15, U32(0))
      .At(19, U64(0x00009A2B00C5C1F0ull))
      .At(27, U64(0x00009A2B00C5C1F0ull));
  return RecordBuilder().Fixed(f.Bytes()).Columns(8).Var(Utf16(r.name)).Build();
}

ByteVec Encode(const SysSchObjsRow& r) {
  FixedPart f(r.status2 ? 48 : 44);
  f.At(4, U32(static_cast<uint32_t>(r.id)))
      .At(8, U32(static_cast<uint32_t>(r.schema)))
      .At(12, U8(0))
      .At(13, U32(r.status))
      .At(17, TypeCode(r.type))
      .At(19, U32(static_cast<uint32_t>(r.parent)))
      .At(23, U8(1))
      .At(24, U32(0))
      .At(28, U64(0x00009A2B00C5C1F0ull))
      .At(36, U64(0x00009A2B00C5C1F0ull));
  if (r.status2) f.At(44, U32(r.status2Bits));
  return RecordBuilder().Fixed(f.Bytes()).Columns(r.status2 ? 12 : 11).Var(Utf16(r.name)).Build();
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
      .At(23, U32(r.collation))
      .At(27, U32(r.status))
      .At(31, U16(static_cast<uint16_t>(r.length)))
      .At(37, U32(static_cast<uint32_t>(r.dflt)));
  RecordBuilder b;
  b.Fixed(f.Bytes()).Columns(15).Var(Utf16(r.name));
  if (!r.idtval.empty()) {
    b.Var(r.idtval);
  } else if (r.secondVariable) {
    b.Var(Ascii("<x/>"));
  }
  return b.Build();
}

ByteVec IdentityValue(size_t width, int64_t seed, int64_t increment, std::optional<int64_t> last) {
  ByteVec out;
  for (int64_t v : {last.value_or(seed), seed, increment}) {
    const auto u = static_cast<uint64_t>(v);
    for (size_t i = 0; i < width; ++i) out.push_back(std::byte{static_cast<uint8_t>(u >> (8 * i))});
  }
  out.push_back(std::byte{static_cast<uint8_t>(last ? 0x00 : 0x01)});
  return out;
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
      .At(39, U8(r.compression))
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
      .At(21, U8(r.indid == 0   ? 0
                 : r.indid == 1 ? 1
                                : 2))
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
      .At(20, U32(static_cast<uint32_t>(r.columnId)))
      .At(24, U8(static_cast<uint8_t>(r.ordinal)));
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
  f.At(4, U8(r.valueClass))
      .At(5, U32(static_cast<uint32_t>(r.objectId)))
      .At(9, U32(static_cast<uint32_t>(r.subId)))
      .At(13, U32(0));
  // The value: a sql_variant int (base type 0x38, version 1) saying how the
  // text is kept, 2 one byte per character, 0 UTF-16LE; a row that is not a
  // text row holds some other value there.
  ByteVec value = r.textMarker ? Concat({U8(0x38), U8(0x01), U32(r.utf16 ? 0 : 2)})
                               : Concat({U8(0xA7), U8(0x01), U32(0x00200000)});
  return RecordBuilder()
      .Fixed(f.Bytes())
      .Columns(6)
      .Var(value)
      .Var(r.utf16 ? Utf16(r.wideText) : Text(r.text), r.offRow)
      .Build();
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
