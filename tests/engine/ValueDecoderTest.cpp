// Typed values of the types the real files do not hold, and of the edges of
// those they do, decoded from stored bytes and given as exact text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ValueDecoder.h"
#include "engine/ValueText.h"

using namespace mendora;

namespace {

struct Case {
  const char* what;
  uint8_t xtype;
  int16_t length;
  uint8_t scale;
  std::vector<uint8_t> bytes;
  ValueKind kind;
  const char* text;  // the exact text; for unreadable values, nothing is compared
};

_SYSCOLUMNS Column(const Case& c) {
  _SYSCOLUMNS col;
  col.xtype = c.xtype;
  col.length = c.length;
  col.scale = c.scale;
  col.prec = 18;
  return col;
}

const Case kCases[] = {
    {"tinyint is unsigned", 48, 1, 0, {0xFF}, ValueKind::kInteger, "255"},
    {"bigint minimum",
     127,
     8,
     0,
     {0, 0, 0, 0, 0, 0, 0, 0x80},
     ValueKind::kInteger,
     "-9223372036854775808"},
    {"bit", 104, 1, 0, {1}, ValueKind::kBit, "1"},
    {"decimal below one keeps its sign and zeros",
     106,
     5,
     2,
     {0, 5, 0, 0, 0},
     ValueKind::kDecimal,
     "-0.05"},
    {"money minimum",
     60,
     8,
     0,
     {0, 0, 0, 0, 0, 0, 0, 0x80},
     ValueKind::kMoney,
     "-922337203685477.5808"},
    {"smallmoney", 122, 4, 0, {0xFF, 0xFF, 0xFF, 0xFF}, ValueKind::kMoney, "-0.0001"},
    {"float reads back",
     62,
     8,
     0,
     {0x9a, 0x99, 0x99, 0x99, 0x99, 0x99, 0xb9, 0x3f},
     ValueKind::kFloat,
     "0.1"},
    {"real maximum", 59, 4, 0, {0xff, 0xff, 0x7f, 0x7f}, ValueKind::kReal, "3.4028235e+38"},
    {"date, last day", 40, 3, 0, {0xda, 0xb9, 0x37}, ValueKind::kDate, "9999-12-31"},
    {"date, first day", 40, 3, 0, {0, 0, 0}, ValueKind::kDate, "0001-01-01"},
    {"time(0)", 41, 3, 0, {0x7f, 0x51, 0x01}, ValueKind::kTime, "23:59:59"},
    {"time(7)", 41, 5, 7, {0xc0, 0xe1, 0xe4, 0, 0}, ValueKind::kTime, "00:00:01.5000000"},
    {"datetime2(3)",
     42,
     7,
     3,
     {0x0b, 0xc5, 0xf3, 0x02, 0xa0, 0x42, 0x0b},
     ValueKind::kDateTime2,
     "2021-06-12 13:45:30.123"},
    {"datetimeoffset shows the local time",
     43,
     10,
     7,
     {0xc0, 0xe1, 0xe4, 0, 0, 0xa0, 0x42, 0x0b, 0x98, 0xfe},
     ValueKind::kDateTimeOffset,
     "2021-06-11 18:00:01.5000000-06:00"},
    {"datetime ticks round to the millisecond",
     61,
     8,
     0,
     {1, 0, 0, 0, 0, 0, 0, 0},
     ValueKind::kDateTime,
     "1900-01-01 00:00:00.003"},
    // Damage: a datetime beyond its type's range still has a text, the
    // year past 9999 and the hours past a day written in full.
    {"datetime past its range",
     61,
     8,
     0,
     {0xff, 0xff, 0xff, 0xff, 0x80, 0x24, 0x2d, 0x00},
     ValueKind::kDateTime,
     "10000-01-01 3976:49:17.650"},
    {"smalldatetime",
     58,
     4,
     0,
     {0x3b, 0x05, 0x00, 0x00},
     ValueKind::kSmallDateTime,
     "1900-01-01 22:19:00"},
    {"uniqueidentifier",
     36,
     16,
     0,
     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
     ValueKind::kGuid,
     "03020100-0504-0706-0809-0A0B0C0D0E0F"},
    {"empty varbinary", 165, 50, 0, {}, ValueKind::kBinary, "0x"},
    {"nvarchar keeps surrogate pairs",
     231,
     8,
     0,
     {0x3d, 0xd8, 0x00, 0xde},
     ValueKind::kString,
     "\xF0\x9F\x98\x80"},
    {"varchar through the code page",
     167,
     8,
     0,
     {0x80, 0x41},
     ValueKind::kString,
     "\xE2\x82\xAC"
     "A"},
    {"sql_variant int", 98, 8016, 0, {56, 1, 42, 0, 0, 0}, ValueKind::kInteger, "42"},
    {"sql_variant nvarchar",
     98,
     8016,
     0,
     {231, 1, 8, 0, 0x08, 0xd0, 0, 0x34, 'h', 0, 'i', 0},
     ValueKind::kString,
     "hi"},
    {"sql_variant decimal",
     98,
     8016,
     0,
     {106, 1, 5, 2, 1, 0x39, 0x30, 0, 0},
     ValueKind::kDecimal,
     "123.45"},
    {"xml decoded to its text",
     241,
     -1,
     0,
     {0xDF, 0xFF, 1,    0xB0, 4,    0xF0, 1,   'a', 0,   0xEF, 0,
      0,    1,    0xF8, 1,    0x11, 2,    'h', 0,   'i', 0,    0xF7},
     ValueKind::kXml,
     "<a>hi</a>"},
    {"xml that cannot be decoded stays hex",
     241,
     -1,
     0,
     {0xDF, 0xFF, 1, 0xB0, 4, 0x02},
     ValueKind::kXml,
     "0xDFFF01B00402"},
    {"int cut short", 56, 4, 0, {1, 2}, ValueKind::kUnreadable, nullptr},
    {"time with a scale above 7", 41, 5, 8, {0, 0, 0, 0, 0}, ValueKind::kUnreadable, nullptr},
    {"datetimeoffset cut short", 43, 10, 7, {0, 0, 0, 0, 0, 0, 0}, ValueKind::kUnreadable, nullptr},
    // Damage the fuzzer found: a date past 9999-12-31 used to overflow the
    // local-time arithmetic.
    {"datetimeoffset past the last day",
     43,
     10,
     7,
     {0xc0, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x38, 0},
     ValueKind::kUnreadable,
     nullptr},
    {"date past the last day", 40, 3, 0, {0xff, 0xff, 0xff}, ValueKind::kUnreadable, nullptr},
    {"time past the end of the day", 41, 3, 0, {0x80, 0x51, 0x01}, ValueKind::kUnreadable, nullptr},
    {"sql_variant without its properties",
     98,
     8016,
     0,
     {231, 1, 9},
     ValueKind::kUnreadable,
     nullptr},
};

TEST(ValueDecoder, EachTypeGivesItsValueAndExactText) {
  mendora::Value v;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    // An exact-size copy: a read past the value shows under AddressSanitizer.
    std::vector<std::byte> stored(c.bytes.size());
    for (size_t i = 0; i < stored.size(); ++i) stored[i] = std::byte{c.bytes[i]};
    DecodeValue(stored, Column(c), v);
    EXPECT_EQ(v.kind, c.kind);
    if (c.text) {
      EXPECT_EQ(ExactText(v), c.text);
    } else {
      EXPECT_FALSE(v.error.empty());
    }
  }
}

TEST(ValueDecoder, AVariantRemembersItsBaseType) {
  mendora::Value v;
  const std::vector<std::byte> stored = {std::byte{56}, std::byte{1}, std::byte{7},
                                         std::byte{0},  std::byte{0}, std::byte{0}};
  _SYSCOLUMNS variant;
  variant.xtype = 98;
  DecodeValue(stored, variant, v);
  EXPECT_EQ(v.variantType, 56);
  // A value reused for the next row forgets everything of the last.
  _SYSCOLUMNS text;
  text.xtype = 167;
  DecodeValue({}, text, v);
  EXPECT_EQ(v.variantType, 0);
  EXPECT_EQ(v.kind, ValueKind::kString);
  EXPECT_EQ(ExactText(v), "");
}

TEST(ValueText, JsonNumbersAreOnlyTheFiniteNumericKinds) {
  mendora::Value v;
  v.kind = ValueKind::kInteger;
  EXPECT_TRUE(IsJsonNumber(v));
  v.kind = ValueKind::kFloat;
  v.real8 = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(IsJsonNumber(v));
  v.kind = ValueKind::kDecimal;
  EXPECT_FALSE(IsJsonNumber(v)) << "decimals stay strings to keep every digit";
  v.kind = ValueKind::kMoney;
  EXPECT_FALSE(IsJsonNumber(v));
}

}  // namespace
