// Cuts a user-table row into its column values through a column layout. The
// grid and the data script both cut rows here, so a value reads the same on
// screen and in a script.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/ByteReader.h"
#include "engine/CatalogueRecords.h"
#include "engine/Record.h"
#include "engine/TypeCodes.h"

namespace mendora {

// Where one column's bytes stand in a row.
struct ColumnPlace {
  enum class Kind : uint8_t {
    Fixed,     // `length` bytes at record offset `offset`
    Bit,       // bit `bit` of the byte at record offset `offset`
    Variable,  // variable column number `varIndex` (0-based)
    Absent,    // not stored in the row (a computed column): always NULL
  };
  Kind kind = Kind::Fixed;
  uint16_t offset = 0;
  uint16_t length = 0;
  uint16_t varIndex = 0;
  uint8_t bit = 0;
  uint16_t nullBit = 0;  // 1-based position in the NULL bitmap; 0 when the column has none
};

// One place per column of the table, in colid order.
struct ColumnLayout {
  std::vector<ColumnPlace> columns;
  // Places the file records for the table's rows that no column of the
  // table takes: a dropped column keeps its place (its bytes and its NULL
  // bit stay in every record until the table is rebuilt), and so does a
  // hidden uniquifier. Never cut into values; they tell what shapes the
  // table's records may have.
  std::vector<ColumnPlace> unnamed;
};

// The layout of a table whose physical layout the file does not record: the
// columns in colid order, fixed columns one after the other from record offset
// 4, all bit columns sharing bytes where the first bit column stands, every
// variable-length column taking the next variable slot, and column n (in colid
// order) at NULL-bitmap position n. `columns` must be in colid order.
ColumnLayout DefaultLayout(std::span<const _SYSCOLUMNS> columns);

struct CellValue {
  bool isNull = false;
  bool offRow = false;  // `bytes` are the in-row pointer to a value kept elsewhere
  bool isBit = false;
  std::byte bitValue{0};  // a bit column's value, 0 or 1
  Bytes bytes;

  // The value's bytes: a bit column gives its one bit as a byte 0 or 1. The
  // span lives as long as this cell.
  Bytes Value() const { return isBit ? Bytes(&bitValue, 1) : bytes; }
};

// The values of the row of `record`, one per layout column, or nothing
// when the slot holds no live row (empty, ghost, forwarding stub, not a data
// record) or the row is damaged: a column whose bytes would lie outside the
// row is damage, never read. Columns the row does not store (added to the
// table after the row was written, or trailing variable columns the row
// omits) read as NULL when the bitmap says so or is too short to say, and as
// empty otherwise.
std::optional<std::vector<CellValue>> CutRow(const Record& record, const ColumnLayout& layout);
// The same into `cells`, whose room is kept from row to row; false when the
// slot holds no live row or the row is damaged.
bool CutRowInto(const Record& record, const ColumnLayout& layout, std::vector<CellValue>& cells);

}  // namespace mendora
