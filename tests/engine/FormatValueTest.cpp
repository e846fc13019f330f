#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ByteReader.h"
#include "engine/CatalogueRecords.h"
#include "engine/FormatValue.h"
#include "engine/Utf16.h"

namespace mendora {
namespace {

// Column type codes as stored in the catalogue.
constexpr uint8_t kUniqueIdentifier = 36, kDate = 40, kTime = 41, kDateTime2 = 42,
                  kDateTimeOffset = 43, kTinyInt = 48, kSmallInt = 52, kInt = 56,
                  kSmallDateTime = 58, kReal = 59, kMoney = 60, kDateTime = 61, kFloat = 62,
                  kBit = 104, kDecimal = 106, kNumeric = 108, kSmallMoney = 122, kBigInt = 127,
                  kVarBinary = 165, kVarChar = 167, kBinary = 173, kChar = 175, kNVarChar = 231,
                  kNChar = 239;

_SYSCOLUMNS Column(uint8_t xtype, int16_t length, uint8_t scale = 0, int16_t xoffset = 4) {
  _SYSCOLUMNS column;
  column.xtype = xtype;
  column.length = length;
  column.scale = scale;
  column.xoffset = xoffset;
  return column;
}

std::vector<std::byte> Bytes(std::initializer_list<int> values) {
  std::vector<std::byte> out;
  for (int v : values) out.push_back(static_cast<std::byte>(v));
  return out;
}

template <typename T>
std::vector<std::byte> Le(T value, size_t width = sizeof(T)) {
  std::vector<std::byte> out;
  auto bits = static_cast<uint64_t>(value);
  for (size_t i = 0; i < width; ++i)
    out.push_back(static_cast<std::byte>((bits >> (8 * i)) & 0xFF));
  return out;
}

std::vector<std::byte> Concat(std::initializer_list<std::vector<std::byte>> parts) {
  std::vector<std::byte> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// The text as UTF-8, so that failures print readably.
std::string Text(const std::vector<std::byte>& value, const _SYSCOLUMNS& column) {
  // An exact-size heap copy: a read past the end shows up under AddressSanitizer.
  std::vector<std::byte> exact(value.begin(), value.end());
  return ToUtf8(FormatValue(exact, column));
}

// ---------------------------------------------------------------- integers

TEST(FormatValueIntegers, UnsignedTinyintSignedOthers) {
  EXPECT_EQ(Text(Bytes({0xFF}), Column(kTinyInt, 1)), "255");
  EXPECT_EQ(Text(Bytes({0x00}), Column(kTinyInt, 1)), "0");
  EXPECT_EQ(Text(Bytes({0xFF, 0xFF}), Column(kSmallInt, 2)), "-1");
  EXPECT_EQ(Text(Bytes({0x00, 0x80}), Column(kSmallInt, 2)), "-32768");
  EXPECT_EQ(Text(Bytes({0xFF, 0x7F}), Column(kSmallInt, 2)), "32767");
  EXPECT_EQ(Text(Bytes({0x00, 0x00, 0x00, 0x80}), Column(kInt, 4)), "-2147483648");
  EXPECT_EQ(Text(Bytes({0x08, 0x28, 0x00, 0x00}), Column(kInt, 4)), "10248");
  EXPECT_EQ(Text(Le<int64_t>(INT64_MIN), Column(kBigInt, 8)), "-9223372036854775808");
  EXPECT_EQ(Text(Le<int64_t>(INT64_MAX), Column(kBigInt, 8)), "9223372036854775807");
}

TEST(FormatValueIntegers, ShortValuesGiveEmptyText) {
  EXPECT_EQ(Text({}, Column(kTinyInt, 1)), "");
  EXPECT_EQ(Text(Bytes({0xFF}), Column(kSmallInt, 2)), "");
  EXPECT_EQ(Text(Bytes({1, 2, 3}), Column(kInt, 4)), "");
  EXPECT_EQ(Text(Bytes({1, 2, 3, 4, 5, 6, 7}), Column(kBigInt, 8)), "");
}

// ---------------------------------------------------------------- bit

TEST(FormatValueBit, FalseOnlyForZeroTwoAndNine) {
  EXPECT_EQ(Text(Bytes({0}), Column(kBit, 1)), "FALSE");
  EXPECT_EQ(Text(Bytes({1}), Column(kBit, 1)), "TRUE");
  EXPECT_EQ(Text(Bytes({2}), Column(kBit, 1)), "FALSE");
  EXPECT_EQ(Text(Bytes({3}), Column(kBit, 1)), "TRUE");
  EXPECT_EQ(Text(Bytes({9}), Column(kBit, 1)), "FALSE");
  EXPECT_EQ(Text(Bytes({0xFF}), Column(kBit, 1)), "TRUE");
  EXPECT_EQ(Text({}, Column(kBit, 1)), "");
}

// ---------------------------------------------------------------- real and float

TEST(FormatValueReal, AlwaysSixDecimals) {
  EXPECT_EQ(Text(Bytes({0x00, 0x00, 0x40, 0x40}), Column(kReal, 4)), "3.000000");
  EXPECT_EQ(Text(Bytes({0x00, 0x00, 0x20, 0xC0}), Column(kReal, 4)), "-2.500000");
  EXPECT_EQ(Text(Bytes({0x00, 0x00, 0x00, 0x00}), Column(kReal, 4)), "0.000000");
  // 1234.123 is held as the float 1234.123046875.
  EXPECT_EQ(Text(Bytes({0xF0, 0x43, 0x9A, 0x44}), Column(kReal, 4)), "1234.123047");
  EXPECT_EQ(Text(Bytes({0xF0, 0x43, 0x9A}), Column(kReal, 4)), "");
}

TEST(FormatValueFloat, WholeNumbersPrintAsIntegers) {
  const auto f8 = Column(kFloat, 8);
  EXPECT_EQ(Text(Bytes({0, 0, 0, 0, 0, 0, 0x08, 0x40}), f8), "3");
  EXPECT_EQ(Text(Bytes({0, 0, 0, 0, 0, 0, 0x28, 0xC0}), f8), "-12");
  EXPECT_EQ(Text(Bytes({0, 0, 0xC0, 0xFF, 0xFF, 0xFF, 0xDF, 0x41}), f8), "2147483647");
  EXPECT_EQ(Text(Bytes({0, 0, 0, 0, 0, 0, 0xE0, 0xC1}), f8), "-2147483648");
}

TEST(FormatValueFloat, FractionsAndLargeValuesPrintWithSixDecimals) {
  const auto f8 = Column(kFloat, 8);
  EXPECT_EQ(Text(Bytes({0, 0, 0, 0, 0, 0, 0x04, 0x40}), f8), "2.500000");
  EXPECT_EQ(Text(Bytes({0, 0, 0, 0, 0, 0, 0xE0, 0x3F}), f8), "0.500000");
  EXPECT_EQ(Text(Bytes({0x54, 0xE3, 0xA5, 0x9B, 0x44, 0x4A, 0x93, 0x40}), f8), "1234.567000");
  // 2^31 is whole but has no 32-bit integer part.
  EXPECT_EQ(Text(Bytes({0, 0, 0, 0, 0, 0, 0xE0, 0x41}), f8), "2147483648.000000");
  // 1e20: twenty-one digits, a point and six zeros.
  EXPECT_EQ(Text(Bytes({0x40, 0x8C, 0xB5, 0x78, 0x1D, 0xAF, 0x15, 0x44}), f8),
            "100000000000000000000.000000");
}

TEST(FormatValueFloat, ZeroPrintsAsZero) {
  const auto f8 = Column(kFloat, 8);
  EXPECT_EQ(Text(Bytes({0, 0, 0, 0, 0, 0, 0, 0}), f8), "0");
  EXPECT_EQ(Text(Bytes({0, 0, 0, 0, 0, 0, 0, 0x80}), f8), "0");  // -0.0
}

TEST(FormatValueFloat, WorkingLengthChoosesTheWidth) {
  // Declared 4 bytes: read as real, even with more bytes present.
  EXPECT_EQ(Text(Bytes({0x00, 0x00, 0x40, 0x40, 0x11, 0x22, 0x33, 0x44}), Column(kFloat, 4)),
            "3.000000");
  EXPECT_EQ(Text(Bytes({0, 0, 0, 0, 0, 0, 0x08, 0x40}), Column(kFloat, 5)), "");
  // Declared 8 but only 4 bytes present.
  EXPECT_EQ(Text(Bytes({0x00, 0x00, 0x40, 0x40}), Column(kFloat, 8)), "");
}

// ---------------------------------------------------------------- money

TEST(FormatValueMoney, FourDecimalsBothSigns) {
  const auto money = Column(kMoney, 8);
  EXPECT_EQ(Text(Le<int64_t>(123456), money), "12.3456");
  EXPECT_EQ(Text(Le<int64_t>(-50000), money), "-5.0000");
  EXPECT_EQ(Text(Le<int64_t>(0), money), "0.0000");
  EXPECT_EQ(Text(Le<int64_t>(-1), money), "-0.0001");
  EXPECT_EQ(Text(Bytes({0xD8, 0xF0, 0x04, 0, 0, 0, 0, 0}), money), "32.3800");
  EXPECT_EQ(Text(Le<int64_t>(INT64_MIN), money), "-922337203685477.5808");
  EXPECT_EQ(Text(Le<int64_t>(INT64_MAX), money), "922337203685477.5807");
  EXPECT_EQ(Text(Bytes({0xD8, 0xF0, 0x04, 0, 0, 0, 0}), money), "");
}

TEST(FormatValueMoney, SmallmoneyIsASigned32BitCount) {
  const auto smallmoney = Column(kSmallMoney, 4);
  EXPECT_EQ(Text(Le<int32_t>(INT32_MAX), smallmoney), "214748.3647");
  EXPECT_EQ(Text(Le<int32_t>(INT32_MIN, 4), smallmoney), "-214748.3648");
  EXPECT_EQ(Text(Le<int32_t>(-50000, 4), smallmoney), "-5.0000");
  EXPECT_EQ(Text(Le<int32_t>(5), smallmoney), "0.0005");
  EXPECT_EQ(Text(Bytes({0x3C, 0xF7, 0x03}), smallmoney), "");
}

// ---------------------------------------------------------------- datetime

std::vector<std::byte> DateTimeBytes(uint32_t ticks, int32_t days) {
  return Concat({Le(ticks), Le(days, 4)});
}

TEST(FormatValueDateTime, MonthDayYearWithoutFractions) {
  const auto dt = Column(kDateTime, 8);
  EXPECT_EQ(Text(DateTimeBytes(0, 0), dt), "01/01/1900 0:00:00");
  EXPECT_EQ(Text(DateTimeBytes(299, 0), dt), "01/01/1900 0:00:00");
  EXPECT_EQ(Text(DateTimeBytes(300, 0), dt), "01/01/1900 0:00:01");
  EXPECT_EQ(Text(DateTimeBytes(0, 36890), dt), "01/01/2001 0:00:00");
  // The hour is not padded, minutes and seconds are.
  EXPECT_EQ(Text(DateTimeBytes((9 * 3600 + 5 * 60 + 3) * 300, 0), dt), "01/01/1900 9:05:03");
  // The last tick of a day.
  EXPECT_EQ(Text(DateTimeBytes(25919999, 0), dt), "01/01/1900 23:59:59");
}

TEST(FormatValueDateTime, RangeEndsAndLeapDays) {
  const auto dt = Column(kDateTime, 8);
  EXPECT_EQ(Text(DateTimeBytes(0, -53690), dt), "01/01/1753 0:00:00");
  EXPECT_EQ(Text(DateTimeBytes(25919999, 2958463), dt), "12/31/9999 23:59:59");
  EXPECT_EQ(Text(DateTimeBytes(0, -1), dt), "12/31/1899 0:00:00");
  // 1900 is no leap year, 2000 is: day 59 is 1 March 1900, day 36583 is 29 February 2000.
  EXPECT_EQ(Text(DateTimeBytes(0, 59), dt), "03/01/1900 0:00:00");
  EXPECT_EQ(Text(DateTimeBytes(0, 36583), dt), "02/29/2000 0:00:00");
  EXPECT_EQ(Text(DateTimeBytes(0, 36584), dt), "03/01/2000 0:00:00");
  EXPECT_EQ(Text(Bytes({0, 0, 0, 0, 0, 0, 0}), dt), "");
}

TEST(FormatValueSmallDateTime, MinutesThenDaysSince1900) {
  const auto sdt = Column(kSmallDateTime, 4);
  EXPECT_EQ(Text(Bytes({0, 0, 0, 0}), sdt), "01/01/1900 0:00:00");
  EXPECT_EQ(Text(Concat({Le<uint16_t>(1439), Le<uint16_t>(0)}), sdt), "01/01/1900 23:59:00");
  // The largest smalldatetime: 2079-06-06 23:59.
  EXPECT_EQ(Text(Concat({Le<uint16_t>(1439), Le<uint16_t>(65535)}), sdt), "06/06/2079 23:59:00");
  EXPECT_EQ(Text(Concat({Le<uint16_t>(630), Le<uint16_t>(36890)}), sdt), "01/01/2001 10:30:00");
  EXPECT_EQ(Text(Bytes({0, 0, 0}), sdt), "");
}

// ---------------------------------------------------------------- date, time, datetime2, offset

TEST(FormatValueDate, ThreeByteDaysSinceYearOne) {
  const auto date = Column(kDate, 3);
  EXPECT_EQ(Text(Bytes({0, 0, 0}), date), "0001-01-01");
  EXPECT_EQ(Text(Le<uint32_t>(3652058, 3), date), "9999-12-31");
  EXPECT_EQ(Text(Le<uint32_t>(693595, 3), date), "1900-01-01");
  EXPECT_EQ(Text(Bytes({0xA8, 0x33, 0x0B}), date), "2010-12-15");
  EXPECT_EQ(Text(Bytes({0xA8, 0x33}), date), "");
}

TEST(FormatValueTime, WidthAndDigitsFollowTheScale) {
  EXPECT_EQ(Text(Bytes({0, 0, 0}), Column(kTime, 3, 0)), "00:00:00");
  EXPECT_EQ(Text(Le<uint32_t>(86399, 3), Column(kTime, 3, 0)), "23:59:59");
  EXPECT_EQ(Text(Bytes({0x0C, 0xF7, 0x00}), Column(kTime, 3, 0)), "17:34:04");
  EXPECT_EQ(Text(Le<uint32_t>(1, 3), Column(kTime, 3, 2)), "00:00:00.01");
  EXPECT_EQ(Text(Le<uint32_t>(1, 4), Column(kTime, 4, 3)), "00:00:00.001");
  EXPECT_EQ(Text(Le<uint32_t>(1, 4), Column(kTime, 4, 4)), "00:00:00.0001");
  EXPECT_EQ(Text(Le<uint64_t>(1, 5), Column(kTime, 5, 5)), "00:00:00.00001");
  EXPECT_EQ(Text(Le<uint64_t>(1, 5), Column(kTime, 5, 7)), "00:00:00.0000001");
  EXPECT_EQ(Text(Bytes({0xFF, 0xBF, 0x69, 0x2A, 0xC9}), Column(kTime, 5, 7)), "23:59:59.9999999");
}

TEST(FormatValueTime, ShortValueOrImpossibleScaleGivesEmptyText) {
  EXPECT_EQ(Text(Bytes({0, 0, 0, 0}), Column(kTime, 5, 7)), "");
  EXPECT_EQ(Text(Bytes({0, 0, 0}), Column(kTime, 4, 3)), "");
  EXPECT_EQ(Text(Bytes({0, 0, 0, 0, 0}), Column(kTime, 5, 8)), "");
}

TEST(FormatValueDateTime2, DateAndTimeWithScaleDigits) {
  EXPECT_EQ(Text(Bytes({0, 0, 0, 0, 0, 0}), Column(kDateTime2, 6, 0)), "0001-01-01 00:00:00");
  EXPECT_EQ(
      Text(Concat({Le<uint32_t>(86399, 3), Le<uint32_t>(3652058, 3)}), Column(kDateTime2, 6, 0)),
      "9999-12-31 23:59:59");
  EXPECT_EQ(Text(Bytes({0xFF, 0xBF, 0x69, 0x2A, 0xC9, 0xDA, 0xB9, 0x37}), Column(kDateTime2, 8, 7)),
            "9999-12-31 23:59:59.9999999");
  // 2021-06-11 18:00:01 as datetime2(7).
  EXPECT_EQ(Text(Bytes({0x80, 0xE6, 0x67, 0xE0, 0x96, 0x9F, 0x42, 0x0B}), Column(kDateTime2, 8, 7)),
            "2021-06-11 18:00:01.0000000");
  EXPECT_EQ(
      Text(Concat({Le<uint32_t>(1234, 4), Le<uint32_t>(693595, 3)}), Column(kDateTime2, 7, 3)),
      "1900-01-01 00:00:01.234");
  EXPECT_EQ(Text(Bytes({0x80, 0xE6, 0x67, 0xE0, 0x96, 0x9F, 0x42}), Column(kDateTime2, 8, 7)), "");
}

TEST(FormatValueDateTimeOffset, StoredUtcIsShownAsLocalTimeWithItsOffset) {
  // Stored 2021-06-12 00:00:01 UTC with offset -360 minutes.
  EXPECT_EQ(Text(Bytes({0x80, 0x96, 0x98, 0x00, 0x00, 0xA0, 0x42, 0x0B, 0x98, 0xFE}),
                 Column(kDateTimeOffset, 10, 7)),
            "2021-06-11 18:00:01.0000000 -06:00");
  // Stored 2010-12-15 17:34:03.6934231 UTC with offset +210 minutes.
  EXPECT_EQ(Text(Bytes({0x57, 0xC6, 0x2D, 0x40, 0x93, 0xA8, 0x33, 0x0B, 0xD2, 0x00}),
                 Column(kDateTimeOffset, 10, 7)),
            "2010-12-15 21:04:03.6934231 +03:30");
  EXPECT_EQ(
      Text(Bytes({0x0C, 0xF7, 0x00, 0xA8, 0x33, 0x0B, 0xD2, 0x00}), Column(kDateTimeOffset, 8, 0)),
      "2010-12-15 21:04:04 +03:30");
}

TEST(FormatValueDateTimeOffset, OffsetsAtTheRangeEnds) {
  const auto dto0 = Column(kDateTimeOffset, 8, 0);
  EXPECT_EQ(Text(Bytes({0, 0, 0, 0, 0, 0, 0, 0}), dto0), "0001-01-01 00:00:00 +00:00");
  // 0001-01-01 05:00 UTC is midnight at -05:00.
  EXPECT_EQ(Text(Concat({Le<uint32_t>(5 * 3600, 3), Le<uint32_t>(0, 3), Le<int16_t>(-300)}), dto0),
            "0001-01-01 00:00:00 -05:00");
  // A negative offset that takes the local date back a day.
  EXPECT_EQ(Text(Concat({Le<uint32_t>(3 * 3600, 3), Le<uint32_t>(1, 3), Le<int16_t>(-300)}), dto0),
            "0001-01-01 22:00:00 -05:00");
  // 9999-12-31 09:59:59 UTC is the last second of the range at +14:00.
  EXPECT_EQ(Text(Concat({Le<uint32_t>(9 * 3600 + 59 * 60 + 59, 3), Le<uint32_t>(3652058, 3),
                         Le<int16_t>(840)}),
                 dto0),
            "9999-12-31 23:59:59 +14:00");
  EXPECT_EQ(Text(Concat({Le<uint32_t>(14 * 3600, 3), Le<uint32_t>(0, 3), Le<int16_t>(-840)}), dto0),
            "0001-01-01 00:00:00 -14:00");
  EXPECT_EQ(Text(Concat({Le<uint64_t>(0, 5), Le<uint32_t>(0, 3), Le<int16_t>(-45)}),
                 Column(kDateTimeOffset, 10, 7)),
            "0000-12-31 23:15:00.0000000 -00:45");
}

TEST(FormatValueDateTimeOffset, ShortValueGivesEmptyText) {
  EXPECT_EQ(Text(Bytes({0x0C, 0xF7, 0x00, 0xA8, 0x33, 0x0B, 0xD2}), Column(kDateTimeOffset, 8, 0)),
            "");
}

// ---------------------------------------------------------------- decimal

std::vector<std::byte> DecimalBytes(int sign, uint64_t magnitude, size_t length) {
  auto bytes = Concat({Bytes({sign}), Le(magnitude)});
  bytes.resize(length);
  return bytes;
}

TEST(FormatValueDecimal, PointAndSign) {
  EXPECT_EQ(Text(DecimalBytes(1, 12345, 5), Column(kDecimal, 5, 2)), "123.45");
  EXPECT_EQ(Text(DecimalBytes(0, 5000, 5), Column(kDecimal, 5, 3)), "-5.000");
  EXPECT_EQ(Text(DecimalBytes(1, 1050, 5), Column(kNumeric, 5, 2)), "10.50");
  EXPECT_EQ(Text(DecimalBytes(1, 42, 9), Column(kNumeric, 9, 0)), "42");
  EXPECT_EQ(Text(DecimalBytes(0, 42, 9), Column(kDecimal, 9, 0)), "-42");
}

TEST(FormatValueDecimal, ZeroAndShortDigitStringsArePadded) {
  EXPECT_EQ(Text(DecimalBytes(1, 0, 5), Column(kDecimal, 5, 0)), "0");
  EXPECT_EQ(Text(DecimalBytes(1, 0, 5), Column(kDecimal, 5, 2)), "0.00");
  EXPECT_EQ(Text(DecimalBytes(1, 5, 5), Column(kDecimal, 5, 2)), "0.05");
  EXPECT_EQ(Text(DecimalBytes(0, 5, 5), Column(kDecimal, 5, 3)), "-0.005");
  EXPECT_EQ(Text(DecimalBytes(1, 50, 5), Column(kDecimal, 5, 2)), "0.50");
  EXPECT_EQ(Text(DecimalBytes(1, 150, 5), Column(kDecimal, 5, 2)), "1.50");
}

TEST(FormatValueDecimal, ThirtyEightDigits) {
  // 10^38 - 1 in decimal(38,0) and decimal(38,38).
  const auto nines = Bytes({1, 0xFF, 0xFF, 0xFF, 0xFF, 0x3F, 0x22, 0x8A, 0x09, 0x7A, 0xC4, 0x86,
                            0x5A, 0xA8, 0x4C, 0x3B, 0x4B});
  EXPECT_EQ(Text(nines, Column(kDecimal, 17, 0)), std::string(38, '9'));
  EXPECT_EQ(Text(nines, Column(kDecimal, 17, 38)), "0." + std::string(38, '9'));
  auto negative = nines;
  negative[0] = std::byte{0};
  EXPECT_EQ(Text(negative, Column(kDecimal, 17, 0)), "-" + std::string(38, '9'));
}

TEST(FormatValueDecimal, DamagedValuesGiveEmptyText) {
  // Cut short of the declared length: the high bytes would be missing.
  EXPECT_EQ(Text(Bytes({1, 0x39, 0x30}), Column(kDecimal, 5, 2)), "");
  EXPECT_EQ(Text(Bytes({1}), Column(kDecimal, 5, 0)), "");
  // A magnitude with its top bit set is no decimal (all are below 10^38).
  std::vector<std::byte> huge(17, std::byte{0xFF});
  huge[0] = std::byte{1};
  EXPECT_EQ(Text(huge, Column(kDecimal, 17, 0)), "");
  // More than 16 magnitude bytes.
  EXPECT_EQ(Text(std::vector<std::byte>(18, std::byte{1}), Column(kDecimal, 18, 0)), "");
}

// ---------------------------------------------------------------- uniqueidentifier

TEST(FormatValueGuid, FirstThreeGroupsByteSwapped) {
  EXPECT_EQ(Text(Bytes({0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB,
                        0xCC, 0xDD, 0xEE, 0xFF}),
                 Column(kUniqueIdentifier, 16)),
            "33221100-5544-7766-8899-AABBCCDDEEFF");
  EXPECT_EQ(Text(Bytes({0x33, 0xBE, 0xEB, 0xA7, 0x45, 0x68, 0x2C, 0x4A, 0xBE, 0x20, 0x1D, 0xCE,
                        0x30, 0xFD, 0xB9, 0xBB}),
                 Column(kUniqueIdentifier, 16)),
            "A7EBBE33-6845-4A2C-BE20-1DCE30FDB9BB");
  EXPECT_EQ(Text(std::vector<std::byte>(16), Column(kUniqueIdentifier, 16)),
            "00000000-0000-0000-0000-000000000000");
  EXPECT_EQ(Text(std::vector<std::byte>(15), Column(kUniqueIdentifier, 16)), "");
}

// ---------------------------------------------------------------- character types

TEST(FormatValueCharacters, VarcharThroughTheCodePage) {
  const auto varchar = Column(kVarChar, 40, 0, -1);
  EXPECT_EQ(Text(Bytes({'c', 'a', 'f', 0xE9}), varchar), "caf\u00e9");
  EXPECT_EQ(Text(Bytes({0x80, ' ', 0x93, 'x', 0x94}), varchar), "\u20ac \u201cx\u201d");
  // pubs stores "München" with the undefined byte 0x81; it survives as U+0081.
  EXPECT_EQ(Text(Bytes({'M', 0x81, 'n'}), varchar), "M\u0081n");
  EXPECT_EQ(Text({}, varchar), "");
}

TEST(FormatValueCharacters, CharTakesTheWorkingLength) {
  EXPECT_EQ(
      Text(Bytes({'b', 'u', 's', 'i', 'n', 'e', 's', 's', ' ', ' ', ' ', ' '}), Column(kChar, 12)),
      "business    ");
  // A fixed column: the declared length, even when more bytes are handed over.
  EXPECT_EQ(Text(Bytes({'1', '3', '8', '9', 'X', 'Y'}), Column(kChar, 4)), "1389");
  // A 2000 variable-length char column: the value length.
  EXPECT_EQ(Text(Bytes({'1', '3', '8', '9', 'X', 'Y'}), Column(kChar, 4, 0, -2)), "1389XY");
  // Fewer bytes than declared: the bytes present, nothing more.
  EXPECT_EQ(Text(Bytes({'C', 'A'}), Column(kChar, 5)), "CA");
}

TEST(FormatValueCharacters, CharBytesAreInTheCodePage) {
  // Bytes outside 0x80-0x9F read as their own code either way.
  EXPECT_EQ(Text(Bytes({'A', 0xE9, 0xFF, 0xA0}), Column(kChar, 4)), "A\u00e9\u00ff\u00a0");
  EXPECT_EQ(Text(Bytes({0x80, 0x92, 0x96, 0x9F}), Column(kChar, 4)), "\u20ac\u2019\u2013\u0178");
}

TEST(FormatValueCharacters, LongCharIsTakenOnce) {
  std::vector<std::byte> value;
  for (int i = 0; i < 300; ++i) value.push_back(static_cast<std::byte>('a' + i % 26));
  const std::string text = Text(value, Column(kChar, 300));
  ASSERT_EQ(text.size(), 300u);
  for (size_t i = 0; i < text.size(); ++i) {
    ASSERT_EQ(text[i], static_cast<char>('a' + i % 26)) << "at byte " << i;
  }
}

TEST(FormatValueCharacters, NvarcharIsUtf16WithTheRightQuoteAsApostrophe) {
  const auto nvarchar = Column(kNVarChar, 100, 0, -1);
  // "it’s"
  EXPECT_EQ(Text(Bytes({'i', 0, 't', 0, 0x19, 0x20, 's', 0}), nvarchar), "it's");
  // Vietnamese "Tuấn" keeps its high bytes.
  EXPECT_EQ(Text(Bytes({'T', 0, 'u', 0, 0xA5, 0x1E, 'n', 0}), nvarchar), "Tu\u1ea5n");
  // Only U+2019 is replaced; U+2018 stays.
  EXPECT_EQ(Text(Bytes({0x18, 0x20}), nvarchar), "\u2018");
  // An odd last byte is half a code unit and is left out.
  EXPECT_EQ(Text(Bytes({'O', 0, 'K', 0, 'X'}), nvarchar), "OK");
  EXPECT_EQ(Text(Bytes({'X'}), nvarchar), "");
}

TEST(FormatValueCharacters, NcharUsesTheValueLength) {
  EXPECT_EQ(Text(Bytes({'V', 0, 'I', 0, 'N', 0, 'E', 0, 'T', 0}), Column(kNChar, 10)), "VINET");
  EXPECT_EQ(Text(Bytes({'I', 0, 0x19, 0x20, 'm', 0}), Column(kNChar, 20)), "I'm");
}

// ---------------------------------------------------------------- binary

TEST(FormatValueBinary, TwoDigitsPerByte) {
  EXPECT_EQ(Text(Bytes({0x0A, 0xFF}), Column(kBinary, 2)), "0AFF");
  EXPECT_EQ(Text(Bytes({0xAF, 0x0F}), Column(kBinary, 2)), "AF0F");
  EXPECT_EQ(Text(Bytes({0x00, 0x01, 0x10}), Column(kBinary, 3)), "000110");
  // Declared length wins over extra bytes; missing bytes are not invented.
  EXPECT_EQ(Text(Bytes({0x12, 0x34, 0x56}), Column(kBinary, 2)), "1234");
  EXPECT_EQ(Text(Bytes({0x12}), Column(kBinary, 4)), "12");
}

// ---------------------------------------------------------------- other types

TEST(FormatValueOtherTypes, EmptyText) {
  EXPECT_EQ(Text(Bytes({1, 2, 3, 4}), Column(kVarBinary, 4)), "");
  EXPECT_EQ(Text(Bytes({1, 2, 3, 4}), Column(34, 16)), "");  // image
  EXPECT_EQ(Text(Bytes({1, 2, 3, 4}), Column(189, 8)), "");  // timestamp
  EXPECT_EQ(Text(Bytes({1, 2, 3, 4}), Column(0, 4)), "");
}

// ---------------------------------------------------------------- truncation

// Every value cut at every shorter length: the text is empty for the types
// that need all their bytes and never reaches past the bytes given (each
// value is an exact-size heap buffer, so AddressSanitizer sees any overread).
TEST(FormatValueTruncated, EveryShorterLengthIsSafe) {
  struct Case {
    _SYSCOLUMNS column;
    std::vector<std::byte> full;
    bool prefixText;  // character and binary types show the bytes present
  };
  const std::vector<Case> cases = {
      {Column(kTinyInt, 1), Bytes({7}), false},
      {Column(kSmallInt, 2), Le<int16_t>(-1), false},
      {Column(kInt, 4), Le<int32_t>(10248), false},
      {Column(kBigInt, 8), Le<int64_t>(-5), false},
      {Column(kBit, 1), Bytes({1}), false},
      {Column(kReal, 4), Bytes({0, 0, 0x40, 0x40}), false},
      {Column(kFloat, 8), Bytes({0, 0, 0, 0, 0, 0, 0x08, 0x40}), false},
      {Column(kMoney, 8), Le<int64_t>(323800), false},
      {Column(kSmallMoney, 4), Le<int32_t>(259900), false},
      {Column(kDateTime, 8), DateTimeBytes(0, 35248), false},
      {Column(kSmallDateTime, 4), Bytes({0, 0, 0, 0}), false},
      {Column(kDate, 3), Bytes({1, 2, 3}), false},
      {Column(kTime, 5, 7), Bytes({1, 2, 3, 4, 5}), false},
      {Column(kDateTime2, 8, 7), Bytes({1, 2, 3, 4, 5, 6, 7, 8}), false},
      {Column(kDateTimeOffset, 10, 7), Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 0}), false},
      {Column(kDecimal, 17, 4), DecimalBytes(1, 123456789, 17), false},
      {Column(kUniqueIdentifier, 16), std::vector<std::byte>(16, std::byte{0x5A}), false},
      {Column(kChar, 6), Bytes({'a', 'b', 'c', 'd', 'e', 'f'}), true},
      {Column(kVarChar, 6, 0, -1), Bytes({'a', 'b', 'c', 'd', 'e', 'f'}), true},
      {Column(kNVarChar, 6, 0, -1), Bytes({'a', 0, 'b', 0, 'c', 0}), true},
      {Column(kNChar, 6), Bytes({'a', 0, 'b', 0, 'c', 0}), true},
      {Column(kBinary, 6), Bytes({0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}), true},
  };
  for (const Case& c : cases) {
    const std::string whole = Text(c.full, c.column);
    ASSERT_FALSE(whole.empty()) << "type " << int{c.column.xtype};
    for (size_t length = 0; length < c.full.size(); ++length) {
      const std::vector<std::byte> cut(c.full.begin(), c.full.begin() + length);
      const std::string text = Text(cut, c.column);
      if (c.prefixText) {
        EXPECT_LT(text.size(), whole.size())
            << "type " << int{c.column.xtype} << " length " << length;
        EXPECT_EQ(whole.compare(0, text.size(), text), 0)
            << "type " << int{c.column.xtype} << " length " << length << ": " << text;
      } else {
        EXPECT_EQ(text, "") << "type " << int{c.column.xtype} << " length " << length;
      }
    }
  }
}

// ---------------------------------------------------------------- real data files

#ifndef MENDORA_REAL_MDF_DIR
#error "MENDORA_REAL_MDF_DIR names the folder of the real data files"
#endif

constexpr size_t kPageSize = 8192;

// Pages written with torn-page protection (header flags 0x100 without 0x200)
// have the low two bits of the last byte of sectors 1 to 15 replaced on disk;
// the originals are bits 2k and 2k+1 of the 32-bit word at header offset 60.
void RestoreTornBits(std::span<std::byte> page) {
  const uint16_t flags = LoadU16(page, 4);
  if ((flags & 0x100) == 0 || (flags & 0x200) != 0) return;
  const uint32_t original = LoadU32(page, 60);
  for (int sector = 1; sector < 16; ++sector) {
    std::byte& last = page[512 * sector + 511];
    const auto bits = static_cast<std::byte>((original >> (2 * sector)) & 0x3);
    last = (last & std::byte{0xFC}) | bits;
  }
}

::testing::AssertionResult LoadRealFile(const std::string& name, std::vector<std::byte>& out) {
  const std::string path = std::string(MENDORA_REAL_MDF_DIR) + "/" + name;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return ::testing::AssertionFailure()
           << "the real data file " << path
           << " is missing; these tests read the real files in place and cannot run without them";
  }
  std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  out.resize(raw.size());
  std::memcpy(out.data(), raw.data(), raw.size());
  for (size_t page = 0; page + kPageSize <= out.size(); page += kPageSize) {
    RestoreTornBits(std::span(out).subspan(page, kPageSize));
  }
  return ::testing::AssertionSuccess();
}

// Where `pattern` first occurs in the file.
std::optional<size_t> Find(const std::vector<std::byte>& file,
                           const std::vector<std::byte>& pattern) {
  const auto at = std::search(file.begin(), file.end(), pattern.begin(), pattern.end());
  if (at == file.end()) return std::nullopt;
  return static_cast<size_t>(at - file.begin());
}

std::vector<std::byte> Utf16(std::u16string_view text) {
  std::vector<std::byte> out;
  for (char16_t c : text) {
    out.push_back(static_cast<std::byte>(c & 0xFF));
    out.push_back(static_cast<std::byte>(c >> 8));
  }
  return out;
}

std::vector<std::byte> Ascii(std::string_view text) {
  std::vector<std::byte> out;
  for (char c : text) out.push_back(static_cast<std::byte>(c));
  return out;
}

// The text of the field at `offset` in the record that starts at `record`.
std::string Field(const std::vector<std::byte>& file, size_t record, size_t offset,
                  const _SYSCOLUMNS& column, size_t length) {
  const auto start = file.begin() + static_cast<std::ptrdiff_t>(record + offset);
  return Text(std::vector<std::byte>(start, start + static_cast<std::ptrdiff_t>(length)), column);
}

// Northwind Orders 10248. The fixed part of an Orders row holds, from record
// offset 4: OrderID int, CustomerID nchar(5), EmployeeID int, OrderDate,
// RequiredDate and ShippedDate datetime, ShipVia int, Freight money. The row
// is found by its header (status 0x30, fixed part ending at 58), OrderID 10248
// and CustomerID "VINET".
class NorthwindOrders : public ::testing::TestWithParam<const char*> {};

TEST_P(NorthwindOrders, FirstOrderGivesItsKnownTexts) {
  std::vector<std::byte> file;
  ASSERT_TRUE(LoadRealFile(GetParam(), file));
  const auto anchor =
      Find(file, Concat({Bytes({0x30, 0x00, 0x3A, 0x00}), Le<int32_t>(10248), Utf16(u"VINET")}));
  ASSERT_TRUE(anchor) << "Orders row 10248 not found in " << GetParam();
  const size_t row = *anchor;

  EXPECT_EQ(Field(file, row, 4, Column(kInt, 4), 4), "10248");
  EXPECT_EQ(Field(file, row, 8, Column(kNChar, 10), 10), "VINET");
  EXPECT_EQ(Field(file, row, 18, Column(kInt, 4), 4), "5");
  EXPECT_EQ(Field(file, row, 22, Column(kDateTime, 8), 8), "07/04/1996 0:00:00");
  EXPECT_EQ(Field(file, row, 30, Column(kDateTime, 8), 8), "08/01/1996 0:00:00");
  EXPECT_EQ(Field(file, row, 38, Column(kDateTime, 8), 8), "07/16/1996 0:00:00");
  EXPECT_EQ(Field(file, row, 46, Column(kInt, 4), 4), "3");
  EXPECT_EQ(Field(file, row, 50, Column(kMoney, 8), 8), "32.3800");
}

INSTANTIATE_TEST_SUITE_P(EveryNorthwindFile, NorthwindOrders,
                         ::testing::Values("v539-northwind.mdf", "v611-northwind.mdf",
                                           "v655-northwind.mdf", "v655-northwind-native.mdf"),
                         [](const auto& info) {
                           std::string name = info.param;
                           name = name.substr(0, name.find('.'));
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

// Order Details (10248, 11): OrderID, ProductID int, UnitPrice money,
// Quantity smallint, Discount real from record offset 4.
TEST(FormatValueRealFiles, NorthwindOrderDetailMoneyAndReal) {
  std::vector<std::byte> file;
  ASSERT_TRUE(LoadRealFile("v539-northwind.mdf", file));
  const auto row =
      Find(file, Concat({Bytes({0x10, 0x00, 0x1A, 0x00}), Le<int32_t>(10248), Le<int32_t>(11)}));
  ASSERT_TRUE(row) << "Order Details row (10248, 11) not found";
  EXPECT_EQ(Field(file, *row, 12, Column(kMoney, 8), 8), "14.0000");
  EXPECT_EQ(Field(file, *row, 20, Column(kSmallInt, 2), 2), "12");
  EXPECT_EQ(Field(file, *row, 22, Column(kReal, 4), 4), "0.000000");
}

// pubs titles BU1032. The fixed part holds, from record offset 4: type
// char(12), pub_id char(4), price and advance money, royalty and ytd_sales
// int, pubdate datetime; the variable part (title_id first) starts at offset
// 64, which is how the row is found.
TEST(FormatValueRealFiles, PubsTitleCharMoneyAndDate) {
  std::vector<std::byte> file;
  ASSERT_TRUE(LoadRealFile("v539-pubs.mdf", file));
  const auto title = Find(file, Ascii("BU1032The Busy Executive's Database Guide"));
  ASSERT_TRUE(title && *title >= 64) << "titles row BU1032 not found";
  const size_t row = *title - 64;
  ASSERT_EQ(Field(file, row, 0, Column(kTinyInt, 1), 1), "48");  // status 0x30

  EXPECT_EQ(Field(file, row, 4, Column(kChar, 12), 12), "business    ");
  EXPECT_EQ(Field(file, row, 16, Column(kChar, 4), 4), "1389");
  EXPECT_EQ(Field(file, row, 20, Column(kMoney, 8), 8), "19.9900");
  EXPECT_EQ(Field(file, row, 28, Column(kMoney, 8), 8), "5000.0000");
  EXPECT_EQ(Field(file, row, 36, Column(kInt, 4), 4), "10");
  EXPECT_EQ(Field(file, row, 40, Column(kInt, 4), 4), "4095");
  EXPECT_EQ(Field(file, row, 44, Column(kDateTime, 8), 8), "06/12/1991 0:00:00");
  EXPECT_EQ(Field(file, row, 64, Column(kVarChar, 6, 0, -1), 6), "BU1032");
}

// pubs discounts: stor_id char(4), lowqty and highqty smallint, discount
// decimal(4,2) in 5 bytes from record offset 4; discounttype, the first
// variable column, starts at offset 24.
TEST(FormatValueRealFiles, PubsDiscountDecimals) {
  std::vector<std::byte> file;
  ASSERT_TRUE(LoadRealFile("v539-pubs.mdf", file));
  const auto initial = Find(file, Ascii("Initial Customer"));
  const auto volume = Find(file, Ascii("Volume Discount"));
  ASSERT_TRUE(initial && volume && *initial >= 24 && *volume >= 24) << "discounts rows not found";
  EXPECT_EQ(Field(file, *initial - 24, 12, Column(kDecimal, 5, 2), 5), "10.50");
  EXPECT_EQ(Field(file, *volume - 24, 8, Column(kSmallInt, 2), 2), "100");
  EXPECT_EQ(Field(file, *volume - 24, 10, Column(kSmallInt, 2), 2), "1000");
  EXPECT_EQ(Field(file, *volume - 24, 12, Column(kDecimal, 5, 2), 5), "6.70");
}

// BLToolkitData DataTypeTest row 2, one value of nearly every type. The fixed
// part holds, from record offset 4: DataTypeID int, Binary_ binary(50),
// Boolean_ bit, Byte_ tinyint, Char_ char(1), DateTime_ datetime, Decimal_
// decimal(13) with scale 2, Double_ float, Guid_ uniqueidentifier, Int16_
// smallint, Int32_ int, Int64_ bigint, Money_ money, SByte_ tinyint, Single_
// real, UInt16_ smallint, UInt32_ int, UInt64_ bigint. The row is found by
// its DataTypeID after the row header.
TEST(FormatValueRealFiles, DataTypeTestRowOfEveryType) {
  std::vector<std::byte> file;
  ASSERT_TRUE(LoadRealFile("v611-bltoolkit.mdf", file));
  const auto found = Find(file, Concat({Bytes({0x30, 0x00, 0x93, 0x00}), Le<int32_t>(2)}));
  ASSERT_TRUE(found) << "DataTypeTest row 2 not found";
  const size_t row = *found;

  const std::string binary = Field(file, row, 8, Column(kBinary, 50), 50);
  EXPECT_EQ(binary.size(), 100u);
  EXPECT_EQ(binary.substr(0, 42), "A189CDE0722F184ABB12C233C9F3665A0000000000");
  EXPECT_EQ(Field(file, row, 58, Column(kBit, 1), 1), "TRUE");
  EXPECT_EQ(Field(file, row, 59, Column(kTinyInt, 1), 1), "255");
  EXPECT_EQ(Field(file, row, 60, Column(kChar, 1), 1), "B");
  EXPECT_EQ(Field(file, row, 61, Column(kDateTime, 8), 8), "01/28/2015 18:33:12");
  EXPECT_EQ(Field(file, row, 69, Column(kDecimal, 13, 2), 13), "12345.67");
  EXPECT_EQ(Field(file, row, 82, Column(kFloat, 8), 8), "1234.567000");
  EXPECT_EQ(Field(file, row, 90, Column(kUniqueIdentifier, 16), 16),
            "ED53BF5E-889B-4364-B078-EC3C2975B33E");
  EXPECT_EQ(Field(file, row, 106, Column(kSmallInt, 2), 2), "32767");
  EXPECT_EQ(Field(file, row, 108, Column(kInt, 4), 4), "32768");
  EXPECT_EQ(Field(file, row, 112, Column(kBigInt, 8), 8), "1000000");
  EXPECT_EQ(Field(file, row, 120, Column(kMoney, 8), 8), "12.3456");
  EXPECT_EQ(Field(file, row, 128, Column(kTinyInt, 1), 1), "127");
  EXPECT_EQ(Field(file, row, 129, Column(kReal, 4), 4), "1234.123047");
  EXPECT_EQ(Field(file, row, 133, Column(kSmallInt, 2), 2), "32767");
  EXPECT_EQ(Field(file, row, 135, Column(kInt, 4), 4), "32768");
  EXPECT_EQ(Field(file, row, 139, Column(kBigInt, 8), 8), "200000000");
}

// LittleItalyVineyard Products 12 "Merlot": ProductID, ProductCategoryID,
// ProductImageID int, then Price smallmoney from record offset 4.
TEST(FormatValueRealFiles, VineyardSmallmoney) {
  std::vector<std::byte> file;
  ASSERT_TRUE(LoadRealFile("v611-vineyard.mdf", file));
  const auto row = Find(file, Concat({Bytes({0x30, 0x00, 0x14, 0x00}), Le<int32_t>(12),
                                      Le<int32_t>(5), Le<int32_t>(10)}));
  ASSERT_TRUE(row) << "Products row 12 not found";
  EXPECT_EQ(Field(file, *row, 16, Column(kSmallMoney, 4), 4), "25.9900");
}

// ExtendedUser ShopInfo: UserId uniqueidentifier from record offset 4, ZipCode
// smallint; City, the first variable column, starts at offset 33.
TEST(FormatValueRealFiles, ExtendedUserGuid) {
  std::vector<std::byte> file;
  ASSERT_TRUE(LoadRealFile("v611-extendeduser.mdf", file));
  const auto city = Find(file, Utf16(u"Vienna"));
  ASSERT_TRUE(city && *city >= 33) << "ShopInfo row not found";
  const size_t row = *city - 33;
  EXPECT_EQ(Field(file, row, 4, Column(kUniqueIdentifier, 16), 16),
            "A7EBBE33-6845-4A2C-BE20-1DCE30FDB9BB");
  EXPECT_EQ(Field(file, row, 20, Column(kSmallInt, 2), 2), "1140");
  EXPECT_EQ(Field(file, row, 33, Column(kNVarChar, 400, 0, -1), 12), "Vienna");
}

}  // namespace
}  // namespace mendora
