#include "engine/ValueDecoder.h"

#include <bit>
#include <utility>

#include "engine/BinaryXml.h"
#include "engine/ByteReader.h"
#include "engine/CLongInt.h"
#include "engine/CodePage.h"
#include "engine/Collation.h"
#include "engine/TypeCodes.h"
#include "engine/Utf16.h"

namespace mendora {
namespace {

constexpr int64_t kDays0001To1900 = 693595;  // 1900-01-01 counted from 0001-01-01
constexpr int kMaxTimeScale = 7;
constexpr int64_t kLastDay = 3652058;  // 9999-12-31 counted from 0001-01-01
constexpr int16_t kMaxOffsetMinutes = 14 * 60;
constexpr size_t kVariantHeader = 2;  // base type, version

void Unreadable(Value& out, const char* why) {
  out.Reset();
  out.kind = ValueKind::kUnreadable;
  out.error = why;
}

bool Need(const ByteReader& r, size_t count, Value& out) {
  if (r.Has(0, count)) return true;
  Unreadable(out, "value shorter than its type");
  return false;
}

size_t TimeWidth(int scale) {
  return scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
}

uint64_t LittleEndian(std::span<const std::byte> bytes) {
  uint64_t v = 0;
  for (size_t i = bytes.size(); i-- > 0;) v = (v << 8) | static_cast<uint8_t>(bytes[i]);
  return v;
}

void DecodeDecimal(std::span<const std::byte> stored, const _SYSCOLUMNS& column, Value& out) {
  if (stored.size() < 2) return Unreadable(out, "decimal shorter than its sign and magnitude");
  const auto magnitude = CLongInt::FromMagnitude(stored.subspan(1));
  // Decimal magnitudes stay below 10^38 < 2^127; a set top bit is no decimal.
  if (!magnitude || magnitude->IsNegative()) return Unreadable(out, "decimal magnitude too wide");
  // The digits are written in place: the value's buffer is kept from row to row.
  std::string& digits = out.digits;
  digits.clear();
  if (static_cast<uint8_t>(stored[0]) == 0 && !magnitude->IsZero()) digits.push_back('-');
  const size_t start = digits.size();
  magnitude->AppendUnsignedDigits(digits);
  const size_t scale = column.scale;
  if (scale > 0) {
    if (digits.size() - start <= scale)
      digits.insert(start, scale + 1 - (digits.size() - start), '0');
    digits.insert(digits.size() - scale, 1, '.');
  }
  out.kind = ValueKind::kDecimal;
}

// time, datetime2 and datetimeoffset share the time part and the date after it.
void DecodeTimeTypes(std::span<const std::byte> stored, uint8_t xtype, int scale, Value& out) {
  if (scale > kMaxTimeScale) return Unreadable(out, "fraction scale above 7");
  const size_t width = TimeWidth(scale);
  const size_t need = xtype == kXTime ? width : xtype == kXDateTime2 ? width + 3 : width + 5;
  if (stored.size() < need) return Unreadable(out, "value shorter than its type");
  out.scale = static_cast<uint8_t>(scale);
  int64_t perSecond = 1;
  for (int i = 0; i < scale; ++i) perSecond *= 10;
  const int64_t perDay = 86400 * perSecond;
  out.timeUnits = static_cast<int64_t>(LittleEndian(stored.first(width)));
  if (out.timeUnits >= perDay) return Unreadable(out, "time past the end of the day");
  if (xtype == kXTime) {
    out.kind = ValueKind::kTime;
    return;
  }
  out.days = static_cast<int64_t>(LittleEndian(stored.subspan(width, 3)));
  if (out.days > kLastDay) return Unreadable(out, "date past 9999-12-31");
  if (xtype == kXDateTime2) {
    out.kind = ValueKind::kDateTime2;
    return;
  }
  // Stored as UTC; the value as written is the local time at its offset.
  const auto offset = static_cast<int16_t>(LittleEndian(stored.subspan(width + 3, 2)));
  if (offset < -kMaxOffsetMinutes || offset > kMaxOffsetMinutes) {
    return Unreadable(out, "time zone offset beyond 14 hours");
  }
  int64_t local = out.days * perDay + out.timeUnits + int64_t{offset} * 60 * perSecond;
  out.days = local >= 0 ? local / perDay : (local - perDay + 1) / perDay;
  out.timeUnits = local - out.days * perDay;
  out.offsetMinutes = offset;
  out.kind = ValueKind::kDateTimeOffset;
}

void DecodeVariant(std::span<const std::byte> stored, Value& out) {
  if (stored.size() < kVariantHeader) return Unreadable(out, "sql_variant without its base type");
  _SYSCOLUMNS base;
  base.xtype = static_cast<uint8_t>(stored[0]);
  size_t properties = 0;
  switch (base.xtype) {
    case kXDecimal:
    case kXNumeric:
      properties = 2;  // precision, scale
      if (stored.size() >= kVariantHeader + 2) {
        base.prec = static_cast<uint8_t>(stored[2]);
        base.scale = static_cast<uint8_t>(stored[3]);
      }
      break;
    case kXTime:
    case kXDateTime2:
    case kXDateTimeOffset:
      properties = 1;  // scale
      if (stored.size() >= kVariantHeader + 1) base.scale = static_cast<uint8_t>(stored[2]);
      break;
    case kXBinary:
    case kXVarBinary:
      properties = 2;  // maximum length
      break;
    case kXChar:
    case kXVarChar:
    case kXNChar:
    case kXNVarChar:
      properties = 6;  // maximum length, collation id
      if (stored.size() >= kVariantHeader + 6) {
        base.collationId = static_cast<uint32_t>(LittleEndian(stored.subspan(4, 4)));
        base.codePage = CollationCodePage(base.collationId);
      }
      break;
    default:
      break;
  }
  if (stored.size() < kVariantHeader + properties) {
    return Unreadable(out, "sql_variant shorter than its properties");
  }
  if (base.xtype == kXSqlVariant) return Unreadable(out, "sql_variant inside sql_variant");
  const auto value = stored.subspan(kVariantHeader + properties);
  base.length = static_cast<int16_t>(value.size());
  DecodeValue(value, base, out);
  if (out.kind != ValueKind::kUnreadable) out.variantType = base.xtype;
}

}  // namespace

void DecodeValue(std::span<const std::byte> stored, const _SYSCOLUMNS& column, Value& out) {
  out.Reset();
  const ByteReader r(stored);
  switch (column.xtype) {
    case kXTinyInt:
      if (!Need(r, 1, out)) return;
      out.kind = ValueKind::kInteger;
      out.integer = *r.u8(0);
      return;
    case kXSmallInt:
      if (!Need(r, 2, out)) return;
      out.kind = ValueKind::kInteger;
      out.integer = *r.i16(0);
      return;
    case kXInt:
      if (!Need(r, 4, out)) return;
      out.kind = ValueKind::kInteger;
      out.integer = *r.i32(0);
      return;
    case kXBigInt:
      if (!Need(r, 8, out)) return;
      out.kind = ValueKind::kInteger;
      out.integer = *r.i64(0);
      return;
    case kXBit:
      if (!Need(r, 1, out)) return;
      out.kind = ValueKind::kBit;
      out.integer = *r.u8(0) & 1;
      return;
    case kXDecimal:
    case kXNumeric:
      return DecodeDecimal(stored, column, out);
    case kXMoney:
      if (!Need(r, 8, out)) return;
      out.kind = ValueKind::kMoney;
      out.integer = *r.i64(0);
      return;
    case kXSmallMoney:
      if (!Need(r, 4, out)) return;
      out.kind = ValueKind::kMoney;
      out.integer = *r.i32(0);
      return;
    case kXReal:
      if (!Need(r, 4, out)) return;
      out.kind = ValueKind::kReal;
      out.real = std::bit_cast<float>(*r.u32(0));
      return;
    case kXFloat:
      if (stored.size() == 4) {
        out.kind = ValueKind::kReal;
        out.real = std::bit_cast<float>(*r.u32(0));
        return;
      }
      if (!Need(r, 8, out)) return;
      out.kind = ValueKind::kFloat;
      out.real8 = std::bit_cast<double>(*r.u64(0));
      return;
    case kXDateTime: {
      if (!Need(r, 8, out)) return;
      const uint32_t ticks = *r.u32(0);
      // Ticks of 1/300 s rounded to the nearest millisecond.
      out.kind = ValueKind::kDateTime;
      out.scale = 3;
      out.days = kDays0001To1900 + *r.i32(4);
      out.timeUnits = (int64_t{ticks} * 10 + 1) / 3;
      return;
    }
    case kXSmallDateTime:
      if (!Need(r, 4, out)) return;
      out.kind = ValueKind::kSmallDateTime;
      out.days = kDays0001To1900 + *r.u16(2);
      out.timeUnits = int64_t{*r.u16(0)} * 60;
      return;
    case kXDate:
      if (!Need(r, 3, out)) return;
      out.days = static_cast<int64_t>(LittleEndian(stored.first(3)));
      if (out.days > kLastDay) return Unreadable(out, "date past 9999-12-31");
      out.kind = ValueKind::kDate;
      return;
    case kXTime:
    case kXDateTime2:
    case kXDateTimeOffset:
      return DecodeTimeTypes(stored, column.xtype, column.scale, out);
    case kXUniqueIdentifier:
      if (!Need(r, 16, out)) return;
      out.kind = ValueKind::kGuid;
      out.bytes.assign(stored.begin(), stored.begin() + 16);
      return;
    case kXBinary:
    case kXVarBinary:
    case kXImage:
    case kXTimestamp:
    case kXClr:
      out.kind = ValueKind::kBinary;
      out.bytes.assign(stored.begin(), stored.end());
      return;
    case kXChar:
    case kXVarChar:
    case kXText:
      out.kind = ValueKind::kString;
      out.codePageError = !AppendFromCodePage(stored, column.codePage, out.text);
      return;
    case kXNChar:
    case kXNVarChar:
    case kXNText:
      out.kind = ValueKind::kString;
      AppendUtf16FromBytes(stored, out.text);
      return;
    case kXXml:
      // Decoded to its text only where it is shown or saved (XmlText): the
      // grid shows XML-DATA, and counting or sorting never needs the text.
      out.kind = ValueKind::kXml;
      out.bytes.assign(stored.begin(), stored.end());
      return;
    case kXSqlVariant:
      return DecodeVariant(stored, out);
    default:
      return Unreadable(out, "unknown type");
  }
}

CivilDay CivilFromDays0001(int64_t days) {
  // Days from 0001-01-01 to 1970-01-01, then the usual civil-from-days on an
  // era of 400 years starting 0000-03-01.
  const int64_t z = days - 719162 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  CivilDay c;
  c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  c.year = yoe + era * 400 + (c.month <= 2 ? 1 : 0);
  return c;
}

}  // namespace mendora
