// The data record: the rows of system tables and of user tables.
//
// OFFSET        | SIZE    | FIELD
// --------------+---------+-----------------------------------------------------
//             0 | 1       | status A: bits 1-3 record type (0 primary, 1 forwarded,
//               |         | 2 forwarding stub, 3 index, 4 blob fragment, 5 ghost
//               |         | index, 6 ghost data), 0x10 NULL bitmap present,
//               |         | 0x20 variable part present, 0x40 version tag
//             1 | 1       | status B
//             2 | 2       | fixed-part end f: where the column count stands
//             4 | f - 4   | fixed-length columns
//             f | 2       | column count n                     (with 0x10)
//         f + 2 | ⌈n/8⌉   | NULL bitmap, least significant bit first; bit j of
//               |         | byte b is column 8b + j + 1        (with 0x10)
//          next | 2       | variable column count v            (with 0x20)
//          next | 2v      | end offsets from the record start; bit 0x8000 marks a
//               |         | value kept off the row (its in-row part is a pointer)
//          next | ...     | variable column data
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/ByteReader.h"

namespace mendora {

inline constexpr uint8_t kStatusTypeMask = 0x0E;
inline constexpr uint8_t kStatusNullBitmap = 0x10;
inline constexpr uint8_t kStatusVariablePart = 0x20;

inline constexpr uint8_t kRecordPrimary = 0x00;
inline constexpr uint8_t kRecordForwarded = 0x02;
inline constexpr uint8_t kRecordForwardingStub = 0x04;
inline constexpr uint8_t kRecordBlobFragment = 0x08;
inline constexpr uint8_t kRecordGhostData = 0x0C;

inline constexpr uint16_t kOffRowBit = 0x8000;

struct VariableEnd {
  uint16_t end = 0;     // record offset where the value's in-row bytes end
  bool offRow = false;  // the in-row bytes are a pointer to the value
};

// A record checked against its page: every offset it holds lies inside the page.
struct Record {
  size_t start = 0;  // page offset of the record
  uint8_t statusA = 0;
  uint16_t fixedEnd = 0;
  bool hasColumnCount = false;
  uint16_t columnCount = 0;
  Bytes nullBitmap;
  std::vector<VariableEnd> varEnds;
  uint16_t varDataStart = 0;  // record offset of the first variable column's bytes
  Bytes bytes;                // from the record start to the end of its last variable column

  uint8_t Type() const { return statusA & kStatusTypeMask; }
  // Column numbers are 1-based, in NULL-bitmap order. A column beyond the
  // bitmap is not NULL by the bitmap's word.
  // Defined here, as every column of every row asks.
  bool IsNull(unsigned columnNumber) const {
    if (columnNumber == 0) return false;
    const size_t bit = columnNumber - 1;
    if (bit / 8 >= nullBitmap.size()) return false;
    return (static_cast<uint8_t>(nullBitmap[bit / 8]) >> (bit % 8)) & 1;
  }
  // The in-row bytes of variable column i (0-based), empty when i is past the
  // columns the row stores.
  Bytes Variable(size_t i) const {
    if (i >= varEnds.size()) return {};
    const size_t from = i == 0 ? varDataStart : varEnds[i - 1].end;
    return bytes.subspan(from, varEnds[i].end - from);
  }
  // Fixed-part bytes at a record offset, or nothing when they are not all in
  // the fixed part.
  std::optional<Bytes> Fixed(size_t offset, size_t length) const {
    if (offset < 4 || offset > fixedEnd || length > fixedEnd - offset) return std::nullopt;
    return bytes.subspan(offset, length);
  }
};

// Checks and decodes the record at page offset `at`. Nothing when the offset
// is outside the records' area or any count or offset of the record points
// past the page: such a record is damaged and the caller skips it.
std::optional<Record> ParseRecord(Bytes page, size_t at);
// The same into `record`, whose room is kept from row to row; false for a
// damaged record (then `record` holds nothing to use).
bool ParseRecordInto(Bytes page, size_t at, Record& record);

}  // namespace mendora
