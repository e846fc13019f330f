#include "engine/ColumnLayouts.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace mendora {
namespace {

// A recorded place: offset > 0 is a fixed offset, offset < 0 minus the 1-based
// variable column number, 0 not stored.
ColumnPlace PlaceFrom(const _SYSCOLUMNS& col, int16_t offset, uint16_t nullBit, uint16_t bitPos) {
  ColumnPlace p;
  p.nullBit = nullBit;
  if (offset > 0) {
    p.offset = static_cast<uint16_t>(offset);
    if (col.xtype == kXBit) {
      p.kind = ColumnPlace::Kind::Bit;
      p.bit = static_cast<uint8_t>(bitPos & 7);
      p.length = 1;
    } else {
      p.kind = ColumnPlace::Kind::Fixed;
      p.length = static_cast<uint16_t>(col.length > 0 ? col.length : 0);
    }
  } else if (offset < 0) {
    p.kind = ColumnPlace::Kind::Variable;
    p.varIndex = static_cast<uint16_t>(-offset - 1);
  } else {
    p.kind = ColumnPlace::Kind::Absent;
  }
  return p;
}

// The bytes a fixed column of this type takes, from a layout row's type
// information (type id in the low byte; the length of char, binary and
// nchar, a decimal's precision, a time's scale above it); 0 when unknown.
uint16_t FixedLengthOfTypeInfo(uint32_t typeInfo) {
  const uint32_t more = typeInfo >> 8;
  const uint32_t scale = more & 0xFF;
  const uint16_t timeBytes = scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
  switch (typeInfo & 0xFF) {
    case kXTinyInt:
    case kXBit:
      return 1;
    case kXSmallInt:
      return 2;
    case kXInt:
    case kXReal:
    case kXSmallDateTime:
    case kXSmallMoney:
      return 4;
    case kXBigInt:
    case kXDateTime:
    case kXMoney:
    case kXTimestamp:
      return 8;
    case kXFloat:
      return (more & 0xFF) != 0 && (more & 0xFF) <= 24 ? 4 : 8;
    case kXUniqueIdentifier:
      return 16;
    case kXDate:
      return 3;
    case kXTime:
      return timeBytes;
    case kXDateTime2:
      return static_cast<uint16_t>(timeBytes + 3);
    case kXDateTimeOffset:
      return static_cast<uint16_t>(timeBytes + 5);
    case kXDecimal:
    case kXNumeric: {
      const uint32_t precision = more & 0xFF;
      if (precision == 0 || precision > 38) return 0;
      return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
    }
    case kXChar:
    case kXBinary:
    case kXNChar:
      return static_cast<uint16_t>(more & 0xFFFF);
    default:
      return 0;
  }
}

std::unordered_map<int64_t, std::vector<_SYSCOLUMNS>> ColumnsByTable(const Catalogue& c) {
  std::unordered_map<int64_t, std::vector<_SYSCOLUMNS>> out;
  for (const auto& col : c.columns) out[col.tableId].push_back(col);
  for (auto& [id, cols] : out) {
    std::stable_sort(cols.begin(), cols.end(),
                     [](const _SYSCOLUMNS& a, const _SYSCOLUMNS& b) { return a.colid < b.colid; });
  }
  return out;
}

}  // namespace

std::vector<_SYSCOLUMNS> ColumnsOf(const Catalogue& catalogue, int64_t tableId) {
  std::vector<_SYSCOLUMNS> cols;
  for (const auto& c : catalogue.columns) {
    if (c.tableId == tableId) cols.push_back(c);
  }
  std::stable_sort(cols.begin(), cols.end(),
                   [](const _SYSCOLUMNS& a, const _SYSCOLUMNS& b) { return a.colid < b.colid; });
  return cols;
}

ColumnLayout LayoutFrom2000Columns(std::vector<SysColumn2000> columns) {
  std::stable_sort(columns.begin(), columns.end(),
                   [](const SysColumn2000& a, const SysColumn2000& b) {
                     return a.column.colid < b.column.colid;
                   });
  ColumnLayout layout;
  uint16_t stored = 0;
  for (const auto& c : columns) {
    // The NULL bitmap counts the stored columns in colid order.
    const uint16_t nullBit = c.column.xoffset != 0 ? ++stored : 0;
    layout.columns.push_back(PlaceFrom(c.column, c.column.xoffset, nullBit, c.bitpos));
  }
  return layout;
}

std::map<int64_t, ColumnLayout> LayoutsFrom2000Columns(const Catalogue& catalogue,
                                                       const std::vector<SysColumn2000>& columns) {
  std::unordered_map<int64_t, std::unordered_map<int16_t, const SysColumn2000*>> byTable;
  for (const auto& c : columns) byTable[c.column.tableId][c.column.colid] = &c;
  std::map<int64_t, ColumnLayout> layouts;
  auto tables = ColumnsByTable(catalogue);
  for (const auto& t : catalogue.userTables) {
    const auto& cols = tables[t.id];
    ColumnLayout layout;
    uint16_t stored = 0;
    for (const auto& col : cols) {
      const SysColumn2000* raw = byTable[t.id][col.colid];
      int16_t offset = raw ? raw->column.xoffset : 0;
      // The NULL bitmap counts the stored columns in colid order.
      uint16_t nullBit = offset != 0 ? ++stored : 0;
      layout.columns.push_back(PlaceFrom(col, offset, nullBit, raw ? raw->bitpos : 0));
    }
    layouts.emplace(t.id, std::move(layout));
  }
  return layouts;
}

std::map<int64_t, ColumnLayout> LayoutsFromRowsets(
    const Catalogue& catalogue, const std::vector<LayoutRow>& layoutRows,
    const std::vector<RowsetColumnRow>& rowsetColumns, bool byHobtColumn) {
  // The full id of each table's heap or clustered rowset.
  std::unordered_map<int64_t, uint64_t> rowsetOfTable;
  for (const auto& r : catalogue.rowsets) {
    if (r.indexId != 0 && r.indexId != 1) continue;
    uint64_t id = (uint64_t{r.ownerKey & 0xFFFF} << 48) | (uint64_t{r.rowsetMid} << 16);
    rowsetOfTable.try_emplace(static_cast<int32_t>(r.ownerKey >> 16), id);
  }
  // 2005 keys its layout rows by hobt column; map them to the table's colids.
  std::unordered_map<uint64_t, std::unordered_map<int32_t, int32_t>> colidOfHobtColumn;
  for (const auto& rc : rowsetColumns) colidOfHobtColumn[rc.rowsetId][rc.hobtColumn] = rc.columnId;

  std::unordered_map<uint64_t, std::unordered_map<int32_t, const LayoutRow*>> recorded;
  for (const auto& row : layoutRows) {
    int32_t colid = row.columnId;
    if (byHobtColumn) {
      auto rs = colidOfHobtColumn.find(row.rowsetId);
      if (rs == colidOfHobtColumn.end()) continue;
      auto c = rs->second.find(row.columnId);
      if (c == rs->second.end()) continue;
      colid = c->second;
    }
    recorded[row.rowsetId].try_emplace(colid, &row);
  }

  std::map<int64_t, ColumnLayout> layouts;
  auto tables = ColumnsByTable(catalogue);
  for (const auto& t : catalogue.userTables) {
    const auto& cols = tables[t.id];
    auto rs = rowsetOfTable.find(t.id);
    auto rec = rs == rowsetOfTable.end() ? recorded.end() : recorded.find(rs->second);
    if (rec == recorded.end()) {
      layouts.emplace(t.id, DefaultLayout(cols));
      continue;
    }
    ColumnLayout layout;
    std::unordered_set<int32_t> named;
    for (const auto& col : cols) {
      auto it = rec->second.find(col.colid);
      if (it == rec->second.end()) {
        layout.columns.push_back(PlaceFrom(col, 0, 0, 0));
      } else {
        const LayoutRow& r = *it->second;
        layout.columns.push_back(PlaceFrom(col, r.offset, r.nullBit, r.bitPos));
        named.insert(col.colid);
      }
    }
    // In colid order, so that the layout is the same however the rows lay.
    std::map<int32_t, const LayoutRow*> unnamed;
    for (const auto& [colid, row] : rec->second) {
      if (!named.count(colid)) unnamed.emplace(colid, row);
    }
    for (const auto& [colid, row] : unnamed) {
      _SYSCOLUMNS kind;
      kind.xtype = static_cast<uint8_t>(row->typeInfo & 0xFF);
      kind.length = static_cast<int16_t>(FixedLengthOfTypeInfo(row->typeInfo));
      layout.unnamed.push_back(PlaceFrom(kind, row->offset, row->nullBit, row->bitPos));
    }
    layouts.emplace(t.id, std::move(layout));
  }
  return layouts;
}

}  // namespace mendora
