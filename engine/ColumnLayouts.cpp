#include "engine/ColumnLayouts.h"

#include <algorithm>
#include <unordered_map>

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
    for (const auto& col : cols) {
      auto it = rec->second.find(col.colid);
      if (it == rec->second.end()) {
        layout.columns.push_back(PlaceFrom(col, 0, 0, 0));
      } else {
        const LayoutRow& r = *it->second;
        layout.columns.push_back(PlaceFrom(col, r.offset, r.nullBit, r.bitPos));
      }
    }
    layouts.emplace(t.id, std::move(layout));
  }
  return layouts;
}

}  // namespace mendora
