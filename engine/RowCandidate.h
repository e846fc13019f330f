// Whether bytes that no slot names as a live row are a row of a given table.
// A deleted record, a ghost and an old version of a row are found by trying
// every place on a page where a record could start, so the test must let
// through only what the server could have written for this table: any page
// holds records of other tables, index rows and plain leftovers too.
//
// A candidate is a row of the table when
//   - its status byte is a primary (or ghost data) record's, with a NULL
//     bitmap, and no bit the server leaves clear is set;
//   - its fixed part is exactly the table's (the column count stands where
//     the table's fixed columns end);
//   - its column count is the table's (hidden columns such as the
//     uniquifier included) and no NOT NULL column is marked NULL;
//   - it stores no more variable columns than the table has, their end
//     offsets rise and stay inside the record and the page;
//   - every value is one its column can hold: fixed-length types their
//     length, variable ones no longer than the column allows, UTF-16 even
//     and well formed, dates and times in range, decimals within their
//     precision, floating point finite, values kept off the row reachable
//     through the table's own large-value pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/ByteReader.h"
#include "engine/CatalogueRecords.h"
#include "engine/Record.h"
#include "engine/RowCutter.h"
#include "engine/Value.h"

namespace mendora {

// What every record of one table looks like before its values are read.
//
// A table altered after its rows were written keeps records of older
// shapes until it is rebuilt, and each is a row:
//   - a column added later (always one that may be NULL: the server writes
//     no row again for it) is missing from the records written before: their
//     column count stops short of its NULL bit and their fixed part ends
//     where the fixed columns they do hold end; the column reads as NULL;
//   - a dropped column keeps its bytes, its variable slot and its NULL bit
//     in every record, older and newer, as the layout's unnamed places say.
// So a record of `c` columns is a row only when every NOT NULL column's NULL
// bit is at most `c`, and its fixed part ends exactly where the places of
// NULL bit at most `c` (named or not) end.
struct RowShape {
  uint16_t fixedEnd = 4;    // the fixed part's end in a record of today's shape
  uint16_t minColumns = 0;  // column counts a record of the table may carry
  uint16_t maxColumns = 0;
  // The fixed part's end in a record of minColumns + i columns; 0 where no
  // record of that count is a row (a fixed place of unknown length).
  std::vector<uint16_t> fixedEndOf;
  std::vector<uint16_t> fixedEnds;    // those ends, each once, in order
  uint16_t maxVariable = 0;           // variable columns a record may store
  std::vector<uint16_t> notNullBits;  // NULL-bitmap positions of NOT NULL columns
};
// `columns` in colid order, `layout` their places.
RowShape ShapeOf(const ColumnLayout& layout, std::span<const _SYSCOLUMNS> columns);

// The quick test on the record's first four bytes: a status a row can have
// and the table's fixed-part end. Most places on a page fail here.
bool MayStartRow(Bytes page, size_t at, const RowShape& shape);

// Whether a parsed record has the shape: the checks of ParseRowCandidate
// after the parse, without changing the record.
bool FitsShape(const Record& record, const RowShape& shape);

// Parses the record at `at` of `page` (cut where the record must end) and
// checks it against the shape. A ghost's record type is made primary in
// `record`, so the row cutter reads it like a live row.
bool ParseRowCandidate(Bytes page, size_t at, const RowShape& shape, Record& record);

// Whether `decoded`, read from `stored`, is a value the server could have
// written in `column`. `offRow`: the value was followed off the row.
bool StoredValueFits(const _SYSCOLUMNS& column, Bytes stored, bool offRow, const Value& decoded);

}  // namespace mendora
