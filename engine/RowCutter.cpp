#include "engine/RowCutter.h"

namespace mendora {

ColumnLayout DefaultLayout(std::span<const _SYSCOLUMNS> columns) {
  ColumnLayout layout;
  size_t bitColumns = 0;
  for (const auto& c : columns) bitColumns += c.xtype == kXBit;
  uint16_t fixedCursor = 4;
  uint16_t varIndex = 0;
  uint16_t bitBytesAt = 0;
  size_t bitsSeen = 0;
  uint16_t number = 0;
  for (const auto& c : columns) {
    ColumnPlace p;
    p.nullBit = ++number;
    if (c.xtype == kXBit) {
      if (bitsSeen == 0) {
        bitBytesAt = fixedCursor;
        fixedCursor = static_cast<uint16_t>(fixedCursor + (bitColumns + 7) / 8);
      }
      p.kind = ColumnPlace::Kind::Bit;
      p.offset = static_cast<uint16_t>(bitBytesAt + bitsSeen / 8);
      p.bit = static_cast<uint8_t>(bitsSeen % 8);
      p.length = 1;
      ++bitsSeen;
    } else if (IsVariableLengthType(c.xtype, c.length)) {
      p.kind = ColumnPlace::Kind::Variable;
      p.varIndex = varIndex++;
    } else {
      p.kind = ColumnPlace::Kind::Fixed;
      p.offset = fixedCursor;
      p.length = static_cast<uint16_t>(c.length > 0 ? c.length : 0);
      fixedCursor = static_cast<uint16_t>(fixedCursor + p.length);
    }
    layout.columns.push_back(p);
  }
  return layout;
}

namespace {

// A row of the table: a primary or forwarded record that says what it holds.
// A status byte of 0 or a column count of 0 is an empty or damaged slot.
bool IsLiveDataRecord(const Record& r) {
  if (r.statusA == 0 || (r.hasColumnCount && r.columnCount == 0)) return false;
  return r.Type() == kRecordPrimary || r.Type() == kRecordForwarded;
}

}  // namespace

bool CutRowInto(const Record& r, const ColumnLayout& layout, std::vector<CellValue>& cells) {
  if (!IsLiveDataRecord(r)) {
    cells.clear();
    return false;
  }
  // One cell a column, in room kept from row to row.
  cells.resize(layout.columns.size());
  CellValue* out = cells.data();
  for (const auto& p : layout.columns) {
    CellValue& cell = *out++;
    cell = CellValue{};
    // A column past the row's column count was added after the row was written.
    bool stored = !r.hasColumnCount || p.nullBit == 0 || p.nullBit <= r.columnCount;
    cell.isNull = !stored || p.kind == ColumnPlace::Kind::Absent || r.IsNull(p.nullBit);
    if (cell.isNull) continue;
    switch (p.kind) {
      case ColumnPlace::Kind::Fixed: {
        auto bytes = r.Fixed(p.offset, p.length);
        if (!bytes) return false;
        cell.bytes = *bytes;
        break;
      }
      case ColumnPlace::Kind::Bit: {
        auto bytes = r.Fixed(p.offset, 1);
        if (!bytes) return false;
        cell.isBit = true;
        cell.bitValue = static_cast<std::byte>((static_cast<uint8_t>((*bytes)[0]) >> p.bit) & 1);
        break;
      }
      case ColumnPlace::Kind::Variable:
        if (p.varIndex < r.varEnds.size()) {
          cell.bytes = r.Variable(p.varIndex);
          cell.offRow = r.varEnds[p.varIndex].offRow;
        }
        break;
      case ColumnPlace::Kind::Absent:
        break;
    }
  }
  return true;
}

std::optional<std::vector<CellValue>> CutRow(const Record& r, const ColumnLayout& layout) {
  std::vector<CellValue> cells;
  if (!CutRowInto(r, layout, cells)) return std::nullopt;
  return cells;
}

}  // namespace mendora
