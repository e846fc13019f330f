// The test-side reader of data-script statements, the token check and the
// comparison with reference cells: what they take, what they refuse.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "engine/Utf16.h"
#include "tests/support/ReferenceLiteral.h"
#include "tests/support/SqlStatementReader.h"

using namespace mdftest;
using Kind = ParsedLiteral::Kind;
using nlohmann::json;

namespace {

std::u16string U(const char* utf8) {
  return mendora::FromUtf8(utf8);
}

ParsedLiteral Only(const char* literal) {
  std::string error;
  auto statement = ReadInsertStatement(U("Insert into [T] Values(") + U(literal) + u")", &error);
  EXPECT_TRUE(statement) << literal << ": " << error;
  if (!statement || statement->values.size() != 1) return {};
  return statement->values[0];
}

TEST(ReadInsertStatement, TakesTheStatementApart) {
  std::string error;
  auto s = ReadInsertStatement(
      u"insert INTO [dbo].[Order ]]Details] ([a b],c) values (1, NULL ,DEFAULT);\r\n", &error);
  ASSERT_TRUE(s) << error;
  EXPECT_EQ(s->table, (std::vector<std::u16string>{u"dbo", u"Order ]Details"}));
  EXPECT_EQ(s->columns, (std::vector<std::u16string>{u"a b", u"c"}));
  ASSERT_EQ(s->values.size(), 3u);
  EXPECT_EQ(s->values[0].kind, Kind::kNumber);
  EXPECT_EQ(s->values[1].kind, Kind::kNull);
  EXPECT_EQ(s->values[2].kind, Kind::kDefault);
}

TEST(ReadInsertStatement, EachKindOfLiteral) {
  struct Case {
    const char* literal;
    Kind kind;
    bool unicode;
    std::u16string text;
  };
  using namespace std::string_literals;
  const Case cases[] = {
      {"-12.50", Kind::kNumber, false, u"-12.50"},
      {"1.5E-7", Kind::kNumber, false, u"1.5E-7"},
      {"+3", Kind::kNumber, false, u"+3"},
      {"''", Kind::kString, false, u""},
      {"N''", Kind::kString, true, u""},
      {"'O''Brien'", Kind::kString, false, u"O'Brien"},
      {"N'\xE4\xB8\xAD'", Kind::kString, true, u"\u4E2D"},
      {"'a'+CHAR(13)+CHAR(10)+'b'", Kind::kString, false, u"a\r\nb"},
      {"NCHAR(0)+N'x'+NCHAR(55296)", Kind::kString, true, u"\0x\xD800"s},
      {"CHAR(9)", Kind::kString, false, u"\t"},
      {"CAST(N'ab' AS nvarchar(max))+NCHAR(10)", Kind::kString, true, u"ab\n"},
      {"'[not a name]'", Kind::kString, false, u"[not a name]"},
      {"'a,b)'", Kind::kString, false, u"a,b)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.literal);
    const ParsedLiteral l = Only(c.literal);
    EXPECT_EQ(l.kind, c.kind);
    EXPECT_EQ(l.unicode, c.unicode);
    EXPECT_TRUE(l.text == c.text) << mendora::ToUtf8(l.text);
  }
}

TEST(ReadInsertStatement, BytesAndCasts) {
  const ParsedLiteral empty = Only("0x");
  EXPECT_EQ(empty.kind, Kind::kBinary);
  EXPECT_TRUE(empty.bytes.empty());
  const ParsedLiteral bytes = Only("0xAB01ff");
  EXPECT_EQ(bytes.bytes,
            (std::vector<std::byte>{std::byte{0xAB}, std::byte{0x01}, std::byte{0xFF}}));

  const ParsedLiteral cast = Only("CAST( 12.50 AS DECIMAL ( 4 , 2 ) )");
  EXPECT_EQ(cast.kind, Kind::kCast);
  EXPECT_EQ(cast.castType, "decimal(4,2)");
  ASSERT_EQ(cast.operand.size(), 1u);
  EXPECT_EQ(cast.operand[0].text, u"12.50");

  const ParsedLiteral convert = Only("CONVERT(xml, N'<a> </a>', 1)");
  EXPECT_EQ(convert.kind, Kind::kCast);
  EXPECT_EQ(convert.castType, "xml");
  EXPECT_EQ(convert.style, 1);
  ASSERT_EQ(convert.operand.size(), 1u);
  EXPECT_EQ(convert.operand[0].text, u"<a> </a>");
  EXPECT_EQ(cast.style, -1);

  const ParsedLiteral joined = Only("CAST(N'a'+NCHAR(13) AS nvarchar(2))");
  ASSERT_EQ(joined.operand.size(), 1u);
  EXPECT_EQ(joined.operand[0].text, u"a\r");
  EXPECT_EQ(joined.castType, "nvarchar(2)");
}

TEST(ReadInsertStatement, RefusesWhatIsNotAStatementOfLiterals) {
  const char* lines[] = {
      "Insert into [T] Values('abc)",                // string not closed
      "Insert into [T Values(1)",                    // name not closed
      "Insert into [T] Values(1",                    // list not closed
      "Insert into [T] Values(1) x",                 // text after it
      "Insert into T Values(1,)",                    // empty place
      "Insert into [T] Values(N'a'+'b')",            // N and non-N parts
      "Insert into [T] Values('a'+NCHAR(10))",       // N and non-N parts
      "Insert into [T] Values(CHAR(256))",           // no such CHAR
      "Insert into [T] Values(CAST(1 AS int)+'a')",  // a join after a cast that is no (max)
      "Insert into [T] Values(0xABC)",               // half a byte
      "Insert into [T] Values(1abc)",                // number run into a word
      "Insert into [T] Values(abc)",                 // a name is no literal
      "Insert into Order Values(1)",                 // a reserved word as a bare name
      "Insert [T] Values(1)",                        // no INTO
      "Insert into [T] Values(\"a\")",               // double-quoted
      "Insert into [T] Values(1) -- note",           // a comment
  };
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    std::string error;
    EXPECT_FALSE(ReadInsertStatement(U(line), &error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(CheckStatementTokens, FindsTheFirstFault) {
  struct Case {
    std::u16string statement;
    bool fine;
  };
  const TokenRules ddl{{"CREATE", "TABLE", "NOT", "NULL", "PRIMARY", "KEY"}, false, true};
  const Case cases[] = {
      {u"Insert into [T] Values(1,N'a''b',CAST(0x01 AS varbinary(1)))", true},
      {u"Insert into [T] Values(1)\r\n", true},
      {u"Insert into [T] Values(CONVERT(xml,N'<a/>',1))", true},
      {u"Insert into [a]]b] Values('[')", true},
      {u"Insert into T_1 Values(1)", true},
      {u"Insert into [T] Values('a\r\nb')", false},  // a line break in a one-line statement
      {u"Insert into [T] Values((1)", false},
      {u"Insert into [T] Values(1))", false},
      {u"Insert into [T] Values('a)", false},
      {u"Insert into [T Values(1)", false},
      {u"Insert into [] Values(1)", false},
      {u"Insert into Order Details Values(1)", false},  // ORDER is reserved
      {u"Insert into 1T Values(1)", false},
      {u"Insert into \"T\" Values(1)", false},
      {u"Insert into [T] Values(1) /* x */", false},
      {u"Insert into [T] Values(\x01)", false},
      {u"Insert into [" + std::u16string(129, u'x') + u"] Values(1)", false},
      {u"CREATE TABLE [T] (\r\n  [a] int NOT NULL PRIMARY KEY -- the key\r\n)", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(mendora::ToUtf8(c.statement));
    EXPECT_EQ(CheckStatementTokens(c.statement).empty(), c.fine)
        << CheckStatementTokens(c.statement);
  }
  // With the rules of another kind of statement.
  EXPECT_EQ(CheckStatementTokens(
                u"CREATE TABLE [T] (\r\n  [a] int NOT NULL PRIMARY KEY -- the key\r\n)", ddl),
            "");
  EXPECT_NE(CheckStatementTokens(u"CREATE TABLE [T] ([a] int DEFAULT 1)", ddl), "");
}

TEST(CompareWithReference, EachNotation) {
  struct Case {
    const char* what;
    const char* literal;
    uint8_t xtype;
    json cell;
    bool same;
  };
  const Case cases[] = {
      {"NULL", "NULL", 56, nullptr, true},
      {"NULL for a value", "NULL", 56, 5, false},
      {"int", "-5", 56, -5, true},
      {"int differs", "-6", 56, -5, false},
      {"int written as decimal", "5.0", 56, 5, false},
      {"bit true", "1", 104, true, true},
      {"bit false", "0", 104, false, true},
      {"bit wrong", "0", 104, true, false},
      {"decimal", "12.50", 106, "dec:12.50", true},
      {"decimal digits matter", "12.5", 106, "dec:12.50", false},
      {"money", "-0.0001", 60, "money:-0.0001", true},
      {"money tag matters", "1.0000", 60, "dec:1.0000", false},
      {"real", "1.1E0", 59, 1.1, true},
      {"real to another single", "1.1000001E0", 59, 1.1, false},
      {"float", "1E-1", 62, 0.1, true},
      {"float off by a bit", "1.0000000000000001E-1", 62, 0.1, true},  // the same double
      {"float differs", "1.00000000000001E-1", 62, 0.1, false},
      {"datetime", "'1996-07-04T00:00:00.000'", 61, "dt:1996-07-04T00:00:00.000", true},
      {"datetime as N string", "N'1996-07-04T00:00:00.000'", 61, "dt:1996-07-04T00:00:00.000",
       false},
      {"smalldatetime", "'2009-07-03T14:05:00'", 58, "sdt:2009-07-03T14:05", true},
      {"guid", "'ED53BF5E-889B-4364-B078-EC3C2975B33E'", 36,
       "guid:ED53BF5E-889B-4364-B078-EC3C2975B33E", true},
      {"binary", "0xA1FF", 165, "hex:0xA1FF", true},
      {"empty binary", "0x", 173, "hex:0x", true},
      {"binary differs", "0xA1", 165, "hex:0xA1FF", false},
      {"timestamp", "DEFAULT", 189, "hex:0x00000000000007D1", true},
      {"timestamp written", "0x00000000000007D1", 189, "hex:0x00000000000007D1", false},
      {"varchar", "'it''s'", 167, "it's", true},
      {"varchar as N", "N'it''s'", 167, "it's", false},
      {"nvarchar", "N'a'+NCHAR(13)+NCHAR(10)", 231, "a\r\n", true},
      {"nvarchar not N", "'a'", 231, "a", false},
      {"empty string", "''", 175, "", true},
      {"empty string is not NULL", "NULL", 175, "", false},
      {"xml text", "N'<a/>'", 241, "<xml>", true},
      {"xml NULL", "NULL", 241, "<xml>", true},
      {"xml as varchar", "'<a/>'", 241, "<xml>", false},
      {"xml keeping its blanks", "CONVERT(xml,N'<a> </a>',1)", 241, "<xml>", true},
      {"xml converted without keeping blanks", "CONVERT(xml,N'<a> </a>',0)", 241, "<xml>", false},
      {"variant",
       "CAST(12.50 AS decimal(4,2))",
       98,
       {{"variant", "decimal"}, {"value", "dec:12.50"}},
       true},
      {"variant of another type",
       "CAST(12.50 AS numeric(4,2))",
       98,
       {{"variant", "decimal"}, {"value", "dec:12.50"}},
       false},
      {"variant value differs",
       "CAST(N'ab' AS nvarchar(2))",
       98,
       {{"variant", "nvarchar"}, {"value", "abc"}},
       false},
      {"variant not cast", "12.50", 98, {{"variant", "decimal"}, {"value", "dec:12.50"}}, false},
      {"the reference could not decode", "0x01", 165, "bad:varbinary:01", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string differs = CompareWithReference(Only(c.literal), c.xtype, c.cell);
    EXPECT_EQ(differs.empty(), c.same) << differs;
  }
}

}  // namespace
