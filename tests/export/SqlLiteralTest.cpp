// The SQL literal of every kind of value, and the literals read back: strings
// with every kind of character, floats and reals of every size come back as
// the value they were written from.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/TypeCodes.h"
#include "engine/Utf16.h"
#include "export/SqlLiteral.h"
#include "tests/support/BinaryXmlBuilder.h"
#include "tests/support/SqlStatementReader.h"

using namespace mendora;
using namespace std::string_literals;
using mdftest::ParsedLiteral;

namespace {

// Days from 0001-01-01 to a civil date (proleptic Gregorian).
int64_t Days(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 719162;
}

_SYSCOLUMNS Column(uint8_t xtype) {
  _SYSCOLUMNS c;
  c.xtype = xtype;
  return c;
}

Value Of(ValueKind kind) {
  Value v;
  v.kind = kind;
  return v;
}
Value Int(int64_t n, ValueKind kind = ValueKind::kInteger) {
  Value v = Of(kind);
  v.integer = n;
  return v;
}
Value Digits(const char* digits) {
  Value v = Of(ValueKind::kDecimal);
  v.digits = digits;
  return v;
}
Value Double(double d) {
  Value v = Of(ValueKind::kFloat);
  v.real8 = d;
  return v;
}
Value Single(float f) {
  Value v = Of(ValueKind::kReal);
  v.real = f;
  return v;
}
Value Time(ValueKind kind, int64_t days, int64_t units, uint8_t scale, int16_t offset = 0) {
  Value v = Of(kind);
  v.days = days;
  v.timeUnits = units;
  v.scale = scale;
  v.offsetMinutes = offset;
  return v;
}
Value Bytes(ValueKind kind, std::vector<uint8_t> bytes) {
  Value v = Of(kind);
  for (uint8_t b : bytes) v.bytes.push_back(std::byte{b});
  return v;
}
Value Text(std::u16string text) {
  Value v = Of(ValueKind::kString);
  v.text = std::move(text);
  return v;
}
Value Xml(const mdftest::Xml& stored) {
  Value v = Of(ValueKind::kXml);
  v.bytes = stored.Stored();
  return v;
}
// An element <a> with the given content built inside it; b is name 2.
mdftest::Xml ElementA() {
  return mdftest::Xml().Name(u"a").QName(0, 0, 1).Name(u"b").QName(0, 0, 2).Element(1);
}
Value Variant(Value v, uint8_t base) {
  v.variantType = base;
  return v;
}

struct Case {
  const char* what;
  uint8_t xtype;
  Value value;
  std::u16string literal;
  bool warning = false;
};

std::vector<Case> Cases() {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  Value unreadable = Of(ValueKind::kUnreadable);
  unreadable.error = "value shorter than its type";
  return {
      {"NULL", kXInt, Of(ValueKind::kNull), u"NULL"},
      {"int", kXInt, Int(-5), u"-5"},
      {"bigint minimum", kXBigInt, Int(std::numeric_limits<int64_t>::min()),
       u"-9223372036854775808"},
      {"bit", kXBit, Int(1, ValueKind::kBit), u"1"},
      {"decimal keeps every digit", kXDecimal, Digits("-12.50"), u"-12.50"},
      {"money keeps four decimals", kXMoney, Int(-1, ValueKind::kMoney), u"-0.0001"},
      {"smallmoney", kXSmallMoney, Int(123456, ValueKind::kMoney), u"12.3456"},
      {"float", kXFloat, Double(0.1), u"1E-1"},
      {"float with digits", kXFloat, Double(1234.567), u"1.234567E3"},
      {"float, small and negative", kXFloat, Double(-2.5e-7), u"-2.5E-7"},
      {"float, the smallest", kXFloat, Double(std::numeric_limits<double>::denorm_min()),
       u"5E-324"},
      {"float, the largest", kXFloat, Double(std::numeric_limits<double>::max()),
       u"1.7976931348623157E308"},
      {"real", kXReal, Single(1.5f), u"1.5E0"},
      {"real, the largest", kXReal, Single(std::numeric_limits<float>::max()), u"3.4028235E38"},
      {"real of a float(24) column", kXFloat, Single(0.1f), u"1E-1"},
      {"infinite float", kXFloat, Double(kInf), u"NULL", true},
      {"float that is not a number", kXFloat, Double(std::nan("")), u"NULL", true},
      {"infinite real", kXReal, Single(-std::numeric_limits<float>::infinity()), u"NULL", true},
      {"datetime", kXDateTime, Time(ValueKind::kDateTime, Days(1996, 7, 4), 3, 3),
       u"'1996-07-04T00:00:00.003'"},
      {"smalldatetime", kXSmallDateTime,
       Time(ValueKind::kSmallDateTime, Days(2009, 7, 3), 14 * 3600 + 5 * 60, 0),
       u"'2009-07-03T14:05:00'"},
      {"date, first day", kXDate, Time(ValueKind::kDate, 0, 0, 0), u"'0001-01-01'"},
      {"date, last day", kXDate, Time(ValueKind::kDate, Days(9999, 12, 31), 0, 0), u"'9999-12-31'"},
      {"time(0)", kXTime, Time(ValueKind::kTime, 0, 86399, 0), u"'23:59:59'"},
      {"time(7)", kXTime, Time(ValueKind::kTime, 0, 15000000, 7), u"'00:00:01.5000000'"},
      {"datetime2(3)", kXDateTime2,
       Time(ValueKind::kDateTime2, Days(2021, 6, 12), (13 * 3600 + 45 * 60 + 30) * 1000 + 123, 3),
       u"'2021-06-12T13:45:30.123'"},
      {"datetimeoffset", kXDateTimeOffset,
       Time(ValueKind::kDateTimeOffset, Days(2021, 6, 11), 18 * 36000000000LL + 15000000, 7, -360),
       u"'2021-06-11T18:00:01.5000000-06:00'"},
      {"uniqueidentifier", kXUniqueIdentifier,
       Bytes(ValueKind::kGuid, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}),
       u"'03020100-0504-0706-0809-0A0B0C0D0E0F'"},
      {"varbinary", kXVarBinary, Bytes(ValueKind::kBinary, {0xAB, 0x01}), u"0xAB01"},
      {"empty binary", kXBinary, Bytes(ValueKind::kBinary, {}), u"0x"},
      {"image", kXImage, Bytes(ValueKind::kBinary, {0xFF}), u"0xFF"},
      {"timestamp", kXTimestamp, Bytes(ValueKind::kBinary, {0, 0, 0, 0, 0, 0, 7, 0xD1}),
       u"DEFAULT"},
      {"NULL timestamp", kXTimestamp, Of(ValueKind::kNull), u"DEFAULT"},
      {"empty varchar", kXVarChar, Text(u""), u"''"},
      {"empty nvarchar", kXNVarChar, Text(u""), u"N''"},
      {"apostrophes doubled", kXVarChar, Text(u"O'Brien''s"), u"'O''Brien''''s'"},
      {"char", kXChar, Text(u"ab  "), u"'ab  '"},
      {"text", kXText, Text(u"\u20ACx"), u"'\u20ACx'"},
      {"nchar", kXNChar, Text(u"\u4E2D\u6587"), u"N'\u4E2D\u6587'"},
      {"ntext", kXNText, Text(u"it's"), u"N'it''s'"},
      {"line breaks outside the quotes", kXVarChar, Text(u"abc\r\ndef"),
       u"'abc'+CHAR(13)+CHAR(10)+'def'"},
      {"control characters first and last", kXNVarChar, Text(u"\tx\0"s), u"NCHAR(9)+N'x'+NCHAR(0)"},
      {"a control character alone", kXVarChar, Text(u"\n"), u"CHAR(10)"},
      {"half a surrogate pair", kXNVarChar,
       Text(u"a\xD800"
            u"b"),
       u"N'a'+NCHAR(55296)+N'b'"},
      {"a whole surrogate pair stays quoted", kXNVarChar, Text(u"\U0001F600"), u"N'\U0001F600'"},
      {"xml", kXXml, Xml(ElementA().Attribute(2, u"it's").End()), u"N'<a b=\"it''s\"/>'"},
      {"xml with a line", kXXml, Xml(ElementA().Text(u"x\ny").End()),
       u"N'<a>x'+NCHAR(10)+N'y</a>'"},
      {"xml whose blank text the server would drop", kXXml,
       Xml(ElementA().Text(u" ").Element(2).End().Text(u"\t").End()),
       u"CONVERT(xml,N'<a> <b/>'+NCHAR(9)+N'</a>',1)"},
      {"xml fragment starting with blanks", kXXml,
       Xml(mdftest::Xml().Text(u" ").Name(u"a").QName(0, 0, 1).Element(1).End()),
       u"CONVERT(xml,N' <a/>',1)"},
      {"xml with blanks inside a text", kXXml,
       Xml(ElementA().Text(u"x y").End().Element(2).Text(u"z ").End()), u"N'<a>x y</a><b>z </b>'"},
      {"xml not decoded", kXXml, Xml(mdftest::Xml().Raw({0x02})), u"NULL", true},
      {"unreadable", kXInt, unreadable, u"NULL", true},
      {"sql_variant int", kXSqlVariant, Variant(Int(7), kXInt), u"CAST(7 AS int)"},
      {"sql_variant tinyint", kXSqlVariant, Variant(Int(255), kXTinyInt), u"CAST(255 AS tinyint)"},
      {"sql_variant bit", kXSqlVariant, Variant(Int(0, ValueKind::kBit), kXBit), u"CAST(0 AS bit)"},
      {"sql_variant decimal", kXSqlVariant, Variant(Digits("12.50"), kXDecimal),
       u"CAST(12.50 AS decimal(4,2))"},
      {"sql_variant numeric below one", kXSqlVariant, Variant(Digits("-0.05"), kXNumeric),
       u"CAST(-0.05 AS numeric(2,2))"},
      {"sql_variant decimal zero", kXSqlVariant, Variant(Digits("0"), kXDecimal),
       u"CAST(0 AS decimal(1,0))"},
      {"sql_variant money", kXSqlVariant, Variant(Int(123456, ValueKind::kMoney), kXMoney),
       u"CAST(12.3456 AS money)"},
      {"sql_variant float", kXSqlVariant, Variant(Double(1.5), kXFloat), u"CAST(1.5E0 AS float)"},
      {"sql_variant real", kXSqlVariant, Variant(Single(0.25f), kXReal), u"CAST(2.5E-1 AS real)"},
      {"sql_variant datetime", kXSqlVariant,
       Variant(Time(ValueKind::kDateTime, Days(1996, 7, 4), 0, 3), kXDateTime),
       u"CAST('1996-07-04T00:00:00.000' AS datetime)"},
      {"sql_variant time(3)", kXSqlVariant, Variant(Time(ValueKind::kTime, 0, 1500, 3), kXTime),
       u"CAST('00:00:01.500' AS time(3))"},
      {"sql_variant nvarchar", kXSqlVariant, Variant(Text(u"abc"), kXNVarChar),
       u"CAST(N'abc' AS nvarchar(3))"},
      {"sql_variant empty nvarchar", kXSqlVariant, Variant(Text(u""), kXNVarChar),
       u"CAST(N'' AS nvarchar(1))"},
      {"sql_variant char with a line break", kXSqlVariant, Variant(Text(u"a\r"), kXChar),
       u"CAST('a'+CHAR(13) AS char(2))"},
      {"sql_variant varbinary", kXSqlVariant,
       Variant(Bytes(ValueKind::kBinary, {0xAB}), kXVarBinary), u"CAST(0xAB AS varbinary(1))"},
      {"sql_variant uniqueidentifier", kXSqlVariant,
       Variant(Bytes(ValueKind::kGuid, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}),
               kXUniqueIdentifier),
       u"CAST('03020100-0504-0706-0809-0A0B0C0D0E0F' AS uniqueidentifier)"},
      {"sql_variant NULL", kXSqlVariant, Of(ValueKind::kNull), u"NULL"},
      {"sql_variant of a type no literal is cast to", kXSqlVariant, Variant(Text(u"x"), kXText),
       u"NULL", true},
      {"sql_variant infinite float", kXSqlVariant, Variant(Double(kInf), kXFloat), u"NULL", true},
  };
}

TEST(SqlLiteral, EachKindOfValue) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    std::u16string out = u"x,";
    std::string warning = "left from before";
    AppendSqlLiteral(c.value, Column(c.xtype), out, &warning);
    EXPECT_TRUE(out == u"x," + c.literal) << ToUtf8(out);
    EXPECT_EQ(!warning.empty(), c.warning) << warning;
  }
}

// A literal as the server reads it, through the statement reader.
ParsedLiteral ReadBack(const std::u16string& literal) {
  std::string error;
  const std::u16string line = u"Insert into [T] Values(" + literal + u")";
  EXPECT_EQ(mdftest::CheckStatementTokens(line), "") << ToUtf8(line).substr(0, 300);
  auto statement = mdftest::ReadInsertStatement(line, &error);
  EXPECT_TRUE(statement) << error << ": " << ToUtf8(line).substr(0, 300);
  if (!statement || statement->values.size() != 1) return {};
  return statement->values[0];
}

TEST(SqlLiteral, LongJoinsStartAsMax) {
  struct Long {
    const char* what;
    uint8_t xtype;
    size_t length;
    bool control;
    const char* start;  // how the literal must start
  };
  const Long cases[] = {
      {"nvarchar just within the join limit", kXNVarChar, 4000, true, "N'"},
      {"nvarchar past it", kXNVarChar, 4001, true, "CAST(N'"},
      {"varchar within", kXVarChar, 8000, true, "'"},
      {"varchar past", kXVarChar, 8001, true, "CAST('"},
      {"no join, no cast", kXNVarChar, 20000, false, "N'"},
  };
  for (const Long& c : cases) {
    SCOPED_TRACE(c.what);
    std::u16string text(c.length, u'y');
    if (c.control) text[c.length / 2] = u'\r';
    std::u16string out;
    AppendSqlLiteral(Text(text), Column(c.xtype), out);
    EXPECT_TRUE(ToUtf8(out).starts_with(c.start)) << ToUtf8(out).substr(0, 20);
    const ParsedLiteral back = ReadBack(out);
    EXPECT_EQ(back.kind, ParsedLiteral::Kind::kString);
    EXPECT_EQ(back.text, text);
  }
}

// Strings of quotes, control characters, surrogates (whole and half) and
// ordinary text come back whole and as themselves: short ones, and long
// runs of plain letters broken anywhere, as the text is scanned in blocks.
TEST(SqlLiteral, StringsReadBackAsTheyWere) {
  std::mt19937 random(20240611);
  const std::u16string alphabet = u"ab'\r\n\t\0 z\u00E9\u20AC\xD83D\xDE00\xD800\xDFFF"s;
  for (int round = 0; round < 4000; ++round) {
    const bool unicode = round % 2 == 0;
    const bool runs = round % 4 >= 2;
    std::u16string text;
    const size_t length = random() % (runs ? 40 : 12);
    for (size_t i = 0; i < length; ++i) {
      const char16_t c = runs && random() % 8 != 0 ? u'a' + static_cast<char16_t>(random() % 26)
                                                   : alphabet[random() % alphabet.size()];
      // A varchar holds no surrogates: its characters come from the code page.
      if (!unicode && c >= 0xD800 && c <= 0xDFFF) continue;
      text.push_back(c);
    }
    std::u16string out;
    AppendSqlLiteral(Text(text), Column(unicode ? kXNVarChar : kXVarChar), out);
    const ParsedLiteral back = ReadBack(out);
    ASSERT_EQ(back.kind, ParsedLiteral::Kind::kString) << ToUtf8(out);
    EXPECT_EQ(back.unicode, unicode) << ToUtf8(out);
    EXPECT_EQ(back.text, text) << ToUtf8(out);
  }
}

// Doubles of every exponent, and reals whose float literal the server rounds
// to a real, read back to the same bits. The first real is one whose fewest
// digits (-7.038531E-26) read as a double round to the next real.
TEST(SqlLiteral, FloatsAndRealsReadBackToTheSameValue) {
  const float kDoubleRounding = -0x1.5c87fap-84f;
  std::mt19937_64 random(42);
  for (int round = 0; round < 200000; ++round) {
    const bool single = round % 2 == 1;
    Value v;
    if (round == 1) {
      v = Single(kDoubleRounding);
    } else if (single) {
      v = Single(std::bit_cast<float>(static_cast<uint32_t>(random())));
      if (!std::isfinite(v.real)) continue;
    } else {
      v = Double(std::bit_cast<double>(random()));
      if (!std::isfinite(v.real8)) continue;
    }
    std::u16string out;
    AppendSqlLiteral(v, Column(single ? kXReal : kXFloat), out);
    const std::string text = ToUtf8(out);
    ASSERT_NE(text.find('E'), std::string::npos) << text;
    double read = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), read);
    ASSERT_EQ(r.ptr, text.data() + text.size()) << text;
    if (single) {
      ASSERT_EQ(std::bit_cast<uint32_t>(static_cast<float>(read)), std::bit_cast<uint32_t>(v.real))
          << text;
    } else {
      ASSERT_EQ(std::bit_cast<uint64_t>(read), std::bit_cast<uint64_t>(v.real8)) << text;
    }
  }
}

}  // namespace
