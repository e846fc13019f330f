#include "engine/FormatValue.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "engine/ByteReader.h"
#include "engine/CLongInt.h"
#include "engine/CodePage.h"
#include "engine/TypeCodes.h"
#include "engine/Utf16.h"

namespace mendora {
namespace {

constexpr int64_t kSecondsPerDay = 86400;
// Day numbers of the two epochs counted from 1970-01-01.
constexpr int64_t kDay1900 = -25567;   // datetime, smalldatetime: 1900-01-01
constexpr int64_t kDay0001 = -719162;  // date, datetime2, datetimeoffset: 0001-01-01
// Fractional-second digits of time, datetime2 and datetimeoffset.
constexpr int kMaxTimeScale = 7;

// How many of the value's bytes the type's text is made of: the declared
// length, or the value length for varying values; never more than is present.
size_t WorkingLength(std::span<const std::byte> value, const _SYSCOLUMNS& column) {
  const bool varying = column.xtype == kXVarChar || column.xtype == kXNVarChar ||
                       column.xtype == kXNChar || (column.xtype == kXChar && column.xoffset < 0);
  if (varying) return value.size();
  const size_t declared = column.length > 0 ? static_cast<size_t>(column.length) : 0;
  return std::min(declared, value.size());
}

// ---------------------------------------------------------------- numbers

std::string FixedSix(double v) {
  // "%f" without the C locale's say over the decimal point: the data script
  // must read the same on every machine. 309 integer digits at most.
  std::array<char, 400> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), v, std::chars_format::fixed, 6);
  return std::string(buffer.data(), result.ptr);
}

// An 8-byte float: a whole number prints as "%d" would print it, 0 as "0",
// anything else with "%f".
//
// n is the integer part of v as a 32-bit integer, the type "%d" prints. An
// integer part outside that range (1e20, 3e9) has no such n, so the test
// v / n == 1 fails and the value is printed with "%f", which keeps all of its
// integer digits. Truncating instead of taking the digits "%f" prints before
// the point changes nothing: v / n is exactly 1 only when v equals n.
std::string FloatText(double v) {
  if (v >= -2147483648.0 && v < 2147483648.0) {
    const auto n = static_cast<int32_t>(v);
    if (n != 0 && v / n == 1.0) return std::to_string(n);
  }
  if (v == 0) return "0";
  return FixedSix(v);
}

// The declared length chooses the width; a value cut shorter than that is
// not read as the narrower type.
std::optional<std::string> FloatValue(const ByteReader& reader, int16_t declaredLength) {
  if (declaredLength == 4) {
    const auto bits = reader.u32(0);
    if (!bits) return std::nullopt;
    return FixedSix(std::bit_cast<float>(*bits));
  }
  if (declaredLength == 8) {
    const auto bits = reader.u64(0);
    if (!bits) return std::nullopt;
    return FloatText(std::bit_cast<double>(*bits));
  }
  return std::nullopt;
}

// A stored money count in units of 1/10 000, with exactly four decimals.
std::string TenThousandths(int64_t stored) {
  const uint64_t magnitude =
      stored < 0 ? 0 - static_cast<uint64_t>(stored) : static_cast<uint64_t>(stored);
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%s%llu.%04llu", stored < 0 ? "-" : "",
                static_cast<unsigned long long>(magnitude / 10000),
                static_cast<unsigned long long>(magnitude % 10000));
  return buffer.data();
}

// Sign byte (1 positive, 0 negative), then the magnitude, little-endian, in
// the remaining working-length bytes.
std::optional<std::string> DecimalText(const ByteReader& reader, size_t workingLength,
                                       const _SYSCOLUMNS& column) {
  // A value cut short of its declared length would print a different number.
  if (workingLength < 2 || reader.size() < static_cast<size_t>(column.length)) return std::nullopt;
  const auto magnitude = CLongInt::FromMagnitude(reader.bytes().subspan(1, workingLength - 1));
  // Decimal magnitudes stay below 10^38 < 2^127; a set top bit is no decimal.
  if (!magnitude || magnitude->IsNegative()) return std::nullopt;

  std::string digits = magnitude->ToDecimal();
  const size_t scale = column.scale;
  if (scale > 0) {
    // At least one digit before the point: 5 in decimal(5,2) is 0.05.
    if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
    digits.insert(digits.size() - scale, 1, '.');
  }
  if (*reader.u8(0) == 0) digits.insert(0, 1, '-');
  return digits;
}

// ---------------------------------------------------------------- dates

struct CivilDate {
  int64_t year;
  int month;
  int day;
};

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// The proleptic Gregorian date of a day number counted from 1970-01-01.
// Works in 400-year cycles of 146 097 days, with years starting on 1 March so
// that the leap day falls at the end of the year.
CivilDate CivilFromDays(int64_t days) {
  const int64_t shifted = days + 719468;  // days from 0000-03-01
  const int64_t cycle = FloorDiv(shifted, 146097);
  const int64_t dayOfCycle = shifted - cycle * 146097;  // [0, 146096]
  const int64_t yearOfCycle =
      (dayOfCycle - dayOfCycle / 1460 + dayOfCycle / 36524 - dayOfCycle / 146096) / 365;
  const int64_t dayOfYear = dayOfCycle - (365 * yearOfCycle + yearOfCycle / 4 - yearOfCycle / 100);
  const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;  // [0, 11]
  const int day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  const int month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  const int64_t year = yearOfCycle + cycle * 400 + (month <= 2 ? 1 : 0);
  return {year, month, day};
}

// datetime and smalldatetime: days since 1900-01-01 and seconds from that
// midnight (more than a day's worth carries into the date).
std::string UsDateTimeText(int64_t days1900, int64_t seconds) {
  const int64_t day = days1900 + FloorDiv(seconds, kSecondsPerDay);
  const int64_t secondOfDay = seconds - FloorDiv(seconds, kSecondsPerDay) * kSecondsPerDay;
  const CivilDate date = CivilFromDays(kDay1900 + day);
  std::array<char, 64> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%02d/%02d/%04lld %d:%02d:%02d", date.month, date.day,
                static_cast<long long>(date.year), static_cast<int>(secondOfDay / 3600),
                static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60));
  return buffer.data();
}

// u32 ticks of 1/300 second since midnight, then i32 days since 1900-01-01.
// The instant is ⌊ticks / 3⌋ hundredths after midnight; the text drops the
// fraction of the second.
std::optional<std::string> DateTimeText(const ByteReader& reader) {
  const auto ticks = reader.u32(0);
  const auto days = reader.i32(4);
  if (!ticks || !days) return std::nullopt;
  return UsDateTimeText(*days, static_cast<int64_t>(*ticks) / 300);
}

// u16 minutes since midnight, then u16 days since 1900-01-01.
std::optional<std::string> SmallDateTimeText(const ByteReader& reader) {
  const auto minutes = reader.u16(0);
  const auto days = reader.u16(2);
  if (!minutes || !days) return std::nullopt;
  return UsDateTimeText(*days, static_cast<int64_t>(*minutes) * 60);
}

std::string IsoDate(int64_t days0001) {
  const CivilDate date = CivilFromDays(kDay0001 + days0001);
  std::array<char, 48> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%04lld-%02d-%02d", static_cast<long long>(date.year),
                date.month, date.day);
  return buffer.data();
}

int64_t PowerOfTen(int exponent) {
  int64_t p = 1;
  while (exponent-- > 0) p *= 10;
  return p;
}

// "hh:mm:ss" and, for a scale above 0, "." and exactly `scale` digits.
std::string IsoTime(int64_t units, int scale) {
  const int64_t perSecond = PowerOfTen(scale);
  const int64_t seconds = units / perSecond;
  std::array<char, 64> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%02lld:%02d:%02d",
                static_cast<long long>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60));
  std::string text = buffer.data();
  if (scale > 0) {
    std::string fraction = std::to_string(units % perSecond);
    text += '.';
    text.append(static_cast<size_t>(scale) - fraction.size(), '0');
    text += fraction;
  }
  return text;
}

// Bytes of the time part for a fractional-second scale: 3 for 0-2, 4 for
// 3-4, 5 for 5-7.
size_t TimeWidth(int scale) {
  return scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
}

// The time part: a little-endian count of 10^-scale second units since midnight.
std::optional<int64_t> TimeUnits(const ByteReader& reader, int scale) {
  const size_t width = TimeWidth(scale);
  if (!reader.Has(0, width)) return std::nullopt;
  int64_t units = 0;
  for (size_t i = width; i-- > 0;) units = (units << 8) | *reader.u8(i);
  return units;
}

// Three little-endian bytes of days since 0001-01-01.
std::optional<int64_t> DateDays(const ByteReader& reader, size_t offset) {
  if (!reader.Has(offset, 3)) return std::nullopt;
  return static_cast<int64_t>(*reader.u8(offset)) |
         (static_cast<int64_t>(*reader.u8(offset + 1)) << 8) |
         (static_cast<int64_t>(*reader.u8(offset + 2)) << 16);
}

std::optional<std::string> DateText(const ByteReader& reader) {
  const auto days = DateDays(reader, 0);
  if (!days) return std::nullopt;
  return IsoDate(*days);
}

std::optional<std::string> TimeText(const ByteReader& reader, int scale) {
  if (scale > kMaxTimeScale) return std::nullopt;
  const auto units = TimeUnits(reader, scale);
  if (!units) return std::nullopt;
  return IsoTime(*units, scale);
}

// A date and time counted in 10^-scale second units from 0001-01-01 00:00.
std::string IsoDateTime(int64_t units, int scale) {
  const int64_t perDay = kSecondsPerDay * PowerOfTen(scale);
  const int64_t days = FloorDiv(units, perDay);
  return IsoDate(days) + " " + IsoTime(units - days * perDay, scale);
}

std::optional<std::string> DateTime2Text(const ByteReader& reader, int scale) {
  if (scale > kMaxTimeScale) return std::nullopt;
  const auto units = TimeUnits(reader, scale);
  const auto days = DateDays(reader, TimeWidth(scale));
  if (!units || !days) return std::nullopt;
  return IsoDateTime(*days * kSecondsPerDay * PowerOfTen(scale) + *units, scale);
}

// The stored date and time are UTC; the i16 offset in minutes that follows
// them gives the local time, which is what the value was written as and what
// the text shows: UTC 2021-06-12 00:00:01 with offset -360 is
// "2021-06-11 18:00:01 -06:00". Printing the UTC time beside the offset would
// name a different instant.
std::optional<std::string> DateTimeOffsetText(const ByteReader& reader, int scale) {
  if (scale > kMaxTimeScale) return std::nullopt;
  const size_t width = TimeWidth(scale);
  const auto units = TimeUnits(reader, scale);
  const auto days = DateDays(reader, width);
  const auto offset = reader.i16(width + 3);
  if (!units || !days || !offset) return std::nullopt;
  const int64_t perSecond = PowerOfTen(scale);
  const int64_t local =
      *days * kSecondsPerDay * perSecond + *units + int64_t{*offset} * 60 * perSecond;
  const int minutes = *offset < 0 ? -*offset : *offset;
  std::array<char, 16> buffer{};
  std::snprintf(buffer.data(), buffer.size(), " %c%02d:%02d", *offset < 0 ? '-' : '+', minutes / 60,
                minutes % 60);
  return IsoDateTime(local, scale) + buffer.data();
}

// ---------------------------------------------------------------- bytes

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

void AppendHex(std::string& text, std::byte b) {
  const auto v = static_cast<uint8_t>(b);
  text.push_back(kHexDigits[v >> 4]);
  text.push_back(kHexDigits[v & 0x0F]);
}

// Two digits for every byte, so that the text gives back exactly the stored
// bytes (one digit for 0x0A would make 0A FF and AF 0F the same "AFF").
std::string BinaryText(std::span<const std::byte> bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::byte b : bytes) AppendHex(text, b);
  return text;
}

// The first three groups are stored little-endian: bytes 3 2 1 0 - 5 4 - 7 6,
// then 8 9 - 10 to 15 in order.
std::optional<std::string> GuidText(std::span<const std::byte> bytes) {
  if (bytes.size() < 16) return std::nullopt;
  constexpr std::array<int, 16> kOrder = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string text;
  for (size_t i = 0; i < kOrder.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
    AppendHex(text, bytes[kOrder[i]]);
  }
  return text;
}

// UTF-16 code units; an odd last byte is half a unit and is left out. The
// right single quotation mark U+2019 becomes an apostrophe.
std::u16string Utf16Text(std::span<const std::byte> bytes) {
  std::u16string text = Utf16FromBytes(bytes);
  std::replace(text.begin(), text.end(), u'\u2019', u'\'');
  return text;
}

std::optional<std::string> BitText(const ByteReader& reader) {
  const auto b = reader.u8(0);
  if (!b) return std::nullopt;
  return (*b == 0 || *b == 2 || *b == 9) ? "FALSE" : "TRUE";
}

template <typename T>
std::optional<std::string> IntegerText(std::optional<T> value) {
  if (!value) return std::nullopt;
  return std::to_string(*value);
}

// Every type whose text is plain ASCII.
std::optional<std::string> AsciiText(std::span<const std::byte> value, const _SYSCOLUMNS& column) {
  const ByteReader reader(value);
  const size_t working = WorkingLength(value, column);
  const int scale = column.scale;
  switch (column.xtype) {
    case kXTinyInt:
      return IntegerText(reader.u8(0));
    case kXSmallInt:
      return IntegerText(reader.i16(0));
    case kXInt:
      return IntegerText(reader.i32(0));
    case kXBigInt:
      return IntegerText(reader.i64(0));
    case kXBit:
      return BitText(reader);
    case kXReal: {
      const auto bits = reader.u32(0);
      if (!bits) return std::nullopt;
      return FixedSix(std::bit_cast<float>(*bits));
    }
    case kXFloat:
      return FloatValue(reader, column.length);
    case kXMoney: {
      const auto stored = reader.i64(0);
      if (!stored) return std::nullopt;
      return TenThousandths(*stored);
    }
    case kXSmallMoney: {
      const auto stored = reader.i32(0);
      if (!stored) return std::nullopt;
      return TenThousandths(*stored);
    }
    case kXDateTime:
      return DateTimeText(reader);
    case kXSmallDateTime:
      return SmallDateTimeText(reader);
    case kXDate:
      return DateText(reader);
    case kXTime:
      return TimeText(reader, scale);
    case kXDateTime2:
      return DateTime2Text(reader, scale);
    case kXDateTimeOffset:
      return DateTimeOffsetText(reader, scale);
    case kXDecimal:
    case kXNumeric:
      return DecimalText(reader, working, column);
    case kXUniqueIdentifier:
      return GuidText(value.first(working));
    case kXBinary:
      return BinaryText(value.first(working));
    default:
      return std::nullopt;
  }
}

}  // namespace

std::u16string FormatValue(std::span<const std::byte> value, const _SYSCOLUMNS& column) {
  switch (column.xtype) {
    case kXVarChar: {
      std::u16string text;
      AppendFromCodePage(value, column.codePage, text);
      return text;
    }
    // char bytes are in the same code page as varchar bytes; taking them as
    // character codes 0-255 would turn the 27 characters the code page keeps
    // in 0x80-0x9F (the euro sign, curly quotes, dashes) into control codes
    // that no script can carry.
    case kXChar: {
      std::u16string text;
      AppendFromCodePage(value.first(WorkingLength(value, column)), column.codePage, text);
      return text;
    }
    case kXNVarChar:
    case kXNChar:
      return Utf16Text(value);
    default:
      return WidenAscii(AsciiText(value, column).value_or(std::string()));
  }
}

}  // namespace mendora
