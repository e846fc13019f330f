#include "engine/Record.h"

#include "engine/PageLayout.h"

namespace mendora {

bool ParseRecordInto(Bytes page, size_t at, Record& r) {
  if (at < kPageHeaderSize || at >= page.size()) return false;
  ByteReader row(page.subspan(at));
  r.varEnds.clear();
  r.hasColumnCount = false;
  r.columnCount = r.varDataStart = 0;
  r.nullBitmap = {};
  r.start = at;
  r.statusA = *row.u8(0);
  auto fixedEnd = row.u16(2);
  if (!fixedEnd || *fixedEnd < 4) return false;
  r.fixedEnd = *fixedEnd;
  size_t cursor = r.fixedEnd;
  if (!row.Has(0, cursor)) return false;
  if (r.statusA & kStatusNullBitmap) {
    auto n = row.u16(cursor);
    if (!n) return false;
    r.hasColumnCount = true;
    r.columnCount = *n;
    cursor += 2;
    size_t bitmapBytes = (r.columnCount + 7u) / 8u;
    auto bitmap = row.Slice(cursor, bitmapBytes);
    if (!bitmap) return false;
    r.nullBitmap = *bitmap;
    cursor += bitmapBytes;
  }
  size_t end = cursor;
  if (r.statusA & kStatusVariablePart) {
    auto v = row.u16(cursor);
    if (!v) return false;
    cursor += 2;
    if (!row.Has(cursor, 2u * *v)) return false;
    r.varDataStart = static_cast<uint16_t>(cursor + 2u * *v);
    size_t previous = r.varDataStart;
    r.varEnds.reserve(*v);
    for (uint16_t i = 0; i < *v; ++i) {
      uint16_t raw = *row.u16(cursor + 2u * i);
      VariableEnd e{static_cast<uint16_t>(raw & ~kOffRowBit), (raw & kOffRowBit) != 0};
      // Each value ends at or after the previous one and inside the page.
      if (e.end < previous || !row.Has(0, e.end)) return false;
      previous = e.end;
      r.varEnds.push_back(e);
    }
    end = previous;
  }
  r.bytes = page.subspan(at, end);
  return true;
}

std::optional<Record> ParseRecord(Bytes page, size_t at) {
  Record r;
  if (!ParseRecordInto(page, at, r)) return std::nullopt;
  return r;
}

}  // namespace mendora
