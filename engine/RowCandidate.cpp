#include "engine/RowCandidate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/TypeCodes.h"

namespace mendora {
namespace {

// Status bits no data record of a user table carries.
constexpr uint8_t kStatusNeverSet = 0x81;

// datetime: days from 1900-01-01 between 1753-01-01 and 9999-12-31, ticks of
// 1/300 s within one day. smalldatetime: up to 2079-06-06, minutes in a day.
constexpr int32_t kFirstDateTimeDay = -53690;
constexpr int32_t kLastDateTimeDay = 2958463;
constexpr uint32_t kTicksPerDay = 300u * 86400u;
constexpr uint16_t kLastSmallDateTimeDay = 65378;
constexpr uint16_t kMinutesPerDay = 1440;

size_t DecimalBytes(uint8_t precision) {
  return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
}

bool WellFormedUtf16(Bytes stored) {
  if (stored.size() % 2 != 0) return false;
  const ByteReader r(stored);
  for (size_t i = 0; i < stored.size(); i += 2) {
    const uint16_t u = *r.u16(i);
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 2 >= stored.size()) return false;
      const uint16_t low = *r.u16(i + 2);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      i += 2;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

size_t SignificantDigits(const std::string& digits) {
  size_t count = 0;
  bool leading = true;
  for (char c : digits) {
    if (c < '0' || c > '9') continue;
    if (leading && c == '0') continue;
    leading = false;
    ++count;
  }
  return count;
}

}  // namespace

RowShape ShapeOf(const ColumnLayout& layout, std::span<const _SYSCOLUMNS> columns) {
  RowShape shape;
  // Every place a record of the table has: its columns' and the unnamed ones.
  std::vector<ColumnPlace> places = layout.columns;
  places.insert(places.end(), layout.unnamed.begin(), layout.unnamed.end());
  size_t lastNullBit = 0;
  size_t firstCount = 1;  // no NOT NULL column is missing from a record of this many
  std::vector<bool> varUsed;
  for (size_t i = 0; i < places.size(); ++i) {
    const ColumnPlace& p = places[i];
    if (p.kind == ColumnPlace::Kind::Variable) {
      if (p.varIndex >= varUsed.size()) varUsed.resize(p.varIndex + 1u);
      varUsed[p.varIndex] = true;
    }
    lastNullBit = std::max<size_t>(lastNullBit, p.nullBit);
    if (i < columns.size() && (columns[i].status & 0x01) && p.nullBit != 0) {
      shape.notNullBits.push_back(p.nullBit);
      firstCount = std::max<size_t>(firstCount, p.nullBit);
    }
  }
  // Variable places no column takes are hidden columns (the uniquifier of a
  // non-unique clustered index where the layout does not record it):
  // counted in the row's column count, and stored.
  const auto hidden = static_cast<uint16_t>(std::count(varUsed.begin(), varUsed.end(), false));
  const size_t lastCount = std::max(places.size(), lastNullBit) + hidden;
  shape.minColumns = static_cast<uint16_t>(std::min<size_t>(firstCount, lastCount));
  shape.maxColumns = static_cast<uint16_t>(std::min<size_t>(lastCount, 0xFFFF));
  shape.maxVariable = static_cast<uint16_t>(varUsed.size());
  // The fixed part's end for each column count: the places it holds end
  // there (a place without a NULL bit is in every record). A dropped
  // column's length is known only from its type; where it is not, no
  // record that holds it is taken.
  struct FixedPlace {
    size_t nullBit;
    size_t end;
    bool known;
  };
  // Fixed columns lie one after the other, so such a column ends where the
  // next one starts.
  auto isFixed = [](const ColumnPlace& p) {
    return p.kind == ColumnPlace::Kind::Fixed || p.kind == ColumnPlace::Kind::Bit;
  };
  std::vector<FixedPlace> fixed;
  for (size_t i = 0; i < places.size(); ++i) {
    const ColumnPlace& p = places[i];
    if (!isFixed(p)) continue;
    size_t length = std::max<uint16_t>(p.length, 1);
    bool known = i < layout.columns.size() || p.length != 0;
    if (!known) {
      size_t next = SIZE_MAX;
      for (const ColumnPlace& q : places) {
        if (isFixed(q) && q.offset > p.offset) next = std::min<size_t>(next, q.offset);
      }
      if (next != SIZE_MAX) {
        length = next - p.offset;
        known = true;
      }
    }
    fixed.push_back({p.nullBit, size_t{p.offset} + length, known});
  }
  std::sort(fixed.begin(), fixed.end(),
            [](const FixedPlace& a, const FixedPlace& b) { return a.nullBit < b.nullBit; });
  size_t end = 4, next = 0;
  bool known = true;
  for (size_t count = shape.minColumns; count <= shape.maxColumns; ++count) {
    for (; next < fixed.size() && fixed[next].nullBit <= count; ++next) {
      end = std::max(end, fixed[next].end);
      known = known && fixed[next].known;
    }
    shape.fixedEndOf.push_back(known && end <= 0xFFFF ? static_cast<uint16_t>(end) : 0);
  }
  if (!shape.fixedEndOf.empty()) shape.fixedEnd = shape.fixedEndOf.back();
  for (uint16_t end : shape.fixedEndOf) {
    if (end != 0) shape.fixedEnds.push_back(end);
  }
  std::sort(shape.fixedEnds.begin(), shape.fixedEnds.end());
  shape.fixedEnds.erase(std::unique(shape.fixedEnds.begin(), shape.fixedEnds.end()),
                        shape.fixedEnds.end());
  return shape;
}

bool MayStartRow(Bytes page, size_t at, const RowShape& shape) {
  if (at + 4 > page.size()) return false;
  const auto status = std::to_integer<uint8_t>(page[at]);
  const uint8_t type = status & kStatusTypeMask;
  if ((type != kRecordPrimary && type != kRecordGhostData) || (status & kStatusNeverSet) ||
      !(status & kStatusNullBitmap)) {
    return false;
  }
  return std::binary_search(shape.fixedEnds.begin(), shape.fixedEnds.end(), LoadU16(page, at + 2));
}

bool FitsShape(const Record& record, const RowShape& shape) {
  const uint8_t type = record.statusA & kStatusTypeMask;
  if ((type != kRecordPrimary && type != kRecordGhostData) || (record.statusA & kStatusNeverSet)) {
    return false;
  }
  if (!record.hasColumnCount || record.columnCount < shape.minColumns ||
      record.columnCount > shape.maxColumns) {
    return false;
  }
  const uint16_t fixedEnd = shape.fixedEndOf[record.columnCount - shape.minColumns];
  if (fixedEnd == 0 || record.fixedEnd != fixedEnd) return false;
  for (uint16_t bit : shape.notNullBits) {
    if (record.IsNull(bit)) return false;
  }
  return record.varEnds.size() <= shape.maxVariable;
}

bool ParseRowCandidate(Bytes page, size_t at, const RowShape& shape, Record& record) {
  if (!MayStartRow(page, at, shape) || !ParseRecordInto(page, at, record) ||
      !FitsShape(record, shape)) {
    return false;
  }
  record.statusA = static_cast<uint8_t>(record.statusA & ~kStatusTypeMask);
  return true;
}

bool StoredValueFits(const _SYSCOLUMNS& column, Bytes stored, bool offRow, const Value& decoded) {
  if (decoded.kind == ValueKind::kUnreadable) return false;
  const bool variable = IsVariableLengthType(column.xtype, column.length);
  if (!variable && offRow) return false;
  // A variable value kept in the row is no longer than its column.
  if (variable && !offRow && column.length > 0 && column.xtype != kXText &&
      column.xtype != kXNText && column.xtype != kXImage && stored.size() > size_t(column.length)) {
    return false;
  }
  const ByteReader r(stored);
  switch (column.xtype) {
    case kXNChar:
    case kXNVarChar:
    case kXNText:
      return WellFormedUtf16(stored);
    case kXDateTime: {
      if (stored.size() != 8) return false;
      const int32_t days = *r.i32(4);
      return *r.u32(0) < kTicksPerDay && days >= kFirstDateTimeDay && days <= kLastDateTimeDay;
    }
    case kXSmallDateTime:
      return stored.size() == 4 && *r.u16(0) < kMinutesPerDay && *r.u16(2) <= kLastSmallDateTimeDay;
    case kXDecimal:
    case kXNumeric: {
      const auto sign = std::to_integer<uint8_t>(stored[0]);
      if (sign > 1) return false;
      if (column.prec == 0) return true;
      return stored.size() == DecimalBytes(column.prec) &&
             SignificantDigits(decoded.digits) <= column.prec;
    }
    case kXReal:
      return std::isfinite(decoded.real);
    case kXFloat:
      return decoded.kind == ValueKind::kReal ? std::isfinite(decoded.real)
                                              : std::isfinite(decoded.real8);
    case kXUniqueIdentifier:
      return stored.size() == 16;
    default:
      return true;
  }
}

}  // namespace mendora
