#include "engine/RowCandidate.h"

#include <algorithm>
#include <cmath>

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
  size_t fixedEnd = 4;
  size_t lastNullBit = 0;
  std::vector<bool> varUsed;
  for (size_t i = 0; i < layout.columns.size(); ++i) {
    const ColumnPlace& p = layout.columns[i];
    switch (p.kind) {
      case ColumnPlace::Kind::Fixed:
      case ColumnPlace::Kind::Bit:
        fixedEnd = std::max<size_t>(fixedEnd, size_t{p.offset} + std::max<uint16_t>(p.length, 1));
        break;
      case ColumnPlace::Kind::Variable:
        if (p.varIndex >= varUsed.size()) varUsed.resize(p.varIndex + 1u);
        varUsed[p.varIndex] = true;
        break;
      case ColumnPlace::Kind::Absent:
        break;
    }
    lastNullBit = std::max<size_t>(lastNullBit, p.nullBit);
    if (i < columns.size() && (columns[i].status & 0x01) && p.nullBit != 0) {
      shape.notNullBits.push_back(p.nullBit);
    }
  }
  // Variable places no named column takes are hidden columns (the
  // uniquifier of a non-unique clustered index): counted in the row's
  // column count, and stored. A dropped column keeps its place in the NULL
  // bitmap and in the count of the rows written before it was dropped.
  const auto hidden = static_cast<uint16_t>(std::count(varUsed.begin(), varUsed.end(), false));
  shape.fixedEnd = static_cast<uint16_t>(std::min<size_t>(fixedEnd, 0xFFFF));
  shape.minColumns = static_cast<uint16_t>(layout.columns.size());
  shape.maxColumns = static_cast<uint16_t>(std::max(layout.columns.size(), lastNullBit) + hidden);
  shape.maxVariable = static_cast<uint16_t>(varUsed.size());
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
  return LoadU16(page, at + 2) == shape.fixedEnd;
}

bool FitsShape(const Record& record, const RowShape& shape) {
  const uint8_t type = record.statusA & kStatusTypeMask;
  if ((type != kRecordPrimary && type != kRecordGhostData) || (record.statusA & kStatusNeverSet) ||
      record.fixedEnd != shape.fixedEnd) {
    return false;
  }
  if (!record.hasColumnCount || record.columnCount < shape.minColumns ||
      record.columnCount > shape.maxColumns) {
    return false;
  }
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
