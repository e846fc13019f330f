// What a grid cell shows for a typed value: one named case per row of the
// table of texts, the placeholders that stay, and the values that must never
// read as "NULL".
#include <gtest/gtest.h>

#include "browser/GridText.h"
#include "engine/TypeCodes.h"
#include "engine/Utf16.h"

using namespace mendora;

namespace {

constexpr int64_t kDay20140816 = 735460;  // days from 0001-01-01

_SYSCOLUMNS Column(uint8_t xtype, int16_t length = 0) {
  _SYSCOLUMNS c;
  c.name.assign(1, u'c');
  c.xtype = xtype;
  c.length = length;
  return c;
}

Value Of(ValueKind kind) {
  Value v;
  v.kind = kind;
  return v;
}
Value Integer(int64_t n, ValueKind kind = ValueKind::kInteger) {
  Value v = Of(kind);
  v.integer = n;
  return v;
}
Value Text(std::u16string text) {
  Value v = Of(ValueKind::kString);
  v.text = std::move(text);
  return v;
}
Value DateTime(int64_t days, int64_t ms) {
  Value v = Of(ValueKind::kDateTime);
  v.days = days;
  v.timeUnits = ms;
  v.scale = 3;
  return v;
}
Value Bytes(ValueKind kind, std::vector<uint8_t> bytes) {
  Value v = Of(kind);
  for (uint8_t b : bytes) v.bytes.push_back(std::byte{b});
  return v;
}

struct Case {
  const char* name;
  _SYSCOLUMNS column;
  Value value;
  std::u16string shown;
};

std::vector<Case> Cases() {
  Value time = Of(ValueKind::kTime);
  time.scale = 3;
  time.timeUnits = ((16 * 60 + 15) * 60 + 21) * 1000 + 440;
  Value real = Of(ValueKind::kReal);
  real.real = 1.5f;
  Value bigFloat = Of(ValueKind::kFloat);
  bigFloat.real8 = 1e20;
  Value wholeFloat = Of(ValueKind::kFloat);
  wholeFloat.real8 = -12;
  Value money = Integer(-50000, ValueKind::kMoney);
  Value decimal = Of(ValueKind::kDecimal);
  decimal.digits = "0.05";
  Value small = Of(ValueKind::kSmallDateTime);
  small.days = kDay20140816;
  small.timeUnits = (14 * 60 + 5) * 60;
  Value variant = Integer(42);
  variant.variantType = kXInt;
  Value offset = Of(ValueKind::kDateTimeOffset);
  offset.days = kDay20140816;
  offset.scale = 0;
  offset.timeUnits = 3600;
  offset.offsetMinutes = -150;
  return {
      {"Null", Column(kXInt, 4), Of(ValueKind::kNull), u"NULL"},
      {"NullBit", Column(kXBit, 1), Of(ValueKind::kNull), u"NULL"},
      {"Int", Column(kXInt, 4), Integer(-2147483648LL), u"-2147483648"},
      {"BitOne", Column(kXBit, 1), Integer(1, ValueKind::kBit), u" 1"},
      {"BitZero", Column(kXBit, 1), Integer(0, ValueKind::kBit), u" 0"},
      {"Accents", Column(kXNVarChar, 40), Text(u"Caf\u00e9 \u00e0 la cr\u00e8me"),
       u"Caf\u00e9 \u00e0 la cr\u00e8me"},
      {"Cjk", Column(kXNVarChar, 40), Text(u"\u5c71\u7530\u592a\u90ce"),
       u"\u5c71\u7530\u592a\u90ce"},
      {"VarCharWithTab", Column(kXVarChar, 40), Text(u"a\tb"), u"a\tb"},
      {"WordNull", Column(kXVarChar, 40), Text(u"NULL"), u"NULL"},
      {"RightQuote", Column(kXNVarChar, 40), Text(u"it\u2019s"), u"it's"},
      {"RightQuoteInVarChar", Column(kXVarChar, 40), Text(u"it\u2019s"), u"it\u2019s"},
      {"NText", Column(kXNText, 16), Text(u"long text"), u"long text"},
      {"Time", Column(kXTime, 5), time, u"16:15:21.440"},
      {"DateTimeFraction", Column(kXDateTime, 8), DateTime(kDay20140816, 58521440),
       u"08/16/2014 16:15:21.440"},
      {"DateTimeWholeSecond", Column(kXDateTime, 8), DateTime(kDay20140816, 58521000),
       u"08/16/2014 16:15:21"},
      {"SmallDateTime", Column(kXSmallDateTime, 4), small, u"08/16/2014 14:05:00"},
      {"DateTimeOffset", Column(kXDateTimeOffset, 10), offset, u"2014-08-16 01:00:00 -02:30"},
      {"Real", Column(kXReal, 4), real, u"1.500000"},
      {"FloatWhole", Column(kXFloat, 8), wholeFloat, u"-12"},
      {"FloatBeyondInt", Column(kXFloat, 8), bigFloat, u"100000000000000000000.000000"},
      {"Money", Column(kXMoney, 8), money, u"-5.0000"},
      {"Decimal", Column(kXDecimal, 5), decimal, u"0.05"},
      {"VariantShowsItsBaseValue", Column(kXSqlVariant, 8016), variant, u"42"},
      {"VarBinary", Column(kXVarBinary, 10), Bytes(ValueKind::kBinary, {1, 2}), u"VarBinaryData"},
      {"Timestamp", Column(kXTimestamp, 8), Bytes(ValueKind::kBinary, {1}), u"BINARY - DATA"},
      {"Xml", Column(kXXml, -1), Bytes(ValueKind::kXml, {1}), u"XML-DATA"},
      {"Binary", Column(kXBinary, 2), Bytes(ValueKind::kBinary, {0x0A, 0xFF}), u"0AFF"},
      // An image never looks empty: a picture says what it is, other bytes
      // show how they start.
      {"ImageEmpty", Column(kXImage, 16), Bytes(ValueKind::kBinary, {}), u"0x"},
      {"ImageBytes", Column(kXImage, 16), Bytes(ValueKind::kBinary, {0x0A, 0xFF}), u"0x0AFF"},
      {"ImageBytesCut", Column(kXImage, 16),
       Bytes(ValueKind::kBinary, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}),
       u"0x000102030405060708090A0B0C0D0E0F\u2026"},
      {"ImageGif", Column(kXImage, 16), Bytes(ValueKind::kBinary, {'G', 'I', 'F', '8', '9', 'a'}),
       u"(image, 6 bytes)"},
      {"ImageNull", Column(kXImage, 16), Value{}, u"NULL"},
      {"Guid", Column(kXUniqueIdentifier, 16),
       Bytes(ValueKind::kGuid, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA,
                                0xBB, 0xCC, 0xDD, 0xEE, 0xFF}),
       u"33221100-5544-7766-8899-AABBCCDDEEFF"},
  };
}

class GridTextTest : public ::testing::TestWithParam<Case> {};

TEST_P(GridTextTest, ShowsTheValue) {
  const Case& c = GetParam();
  EXPECT_EQ(ToUtf8(GridText(c.value, c.column)), ToUtf8(c.shown));
}

INSTANTIATE_TEST_SUITE_P(Values, GridTextTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GridTextLong, ALongTextIsCutWithAnEllipsisAndAShortOneIsNot) {
  const std::u16string exact(kMaxCellText, u'x');
  EXPECT_EQ(GridText(Text(exact), Column(kXNText, 16)), exact);
  const std::u16string longer = exact + u"yz";
  EXPECT_EQ(GridText(Text(longer), Column(kXVarChar, -1)), exact + u"\u2026");
}

TEST(GridTextLong, OnlyNullValuesSayNull) {
  // Every kind that is not NULL shows something other than "NULL".
  for (const Case& c : Cases()) {
    if (c.value.IsNull() || c.value.text == u"NULL") continue;
    EXPECT_NE(GridText(c.value, c.column), u"NULL") << c.name;
  }
}

TEST(GridTextLong, AppendsAfterWhatIsThere) {
  std::u16string cell = u">";
  AppendGridText(Integer(7), Column(kXTinyInt, 1), cell);
  EXPECT_EQ(cell, u">7");
}

}  // namespace
