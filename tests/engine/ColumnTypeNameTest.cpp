// Column type names, display lengths, the nullability word and the column
// labels of the object tree.
#include <gtest/gtest.h>

#include <map>

#include "browser/ObjectTree.h"
#include "engine/ColumnTypeName.h"
#include "engine/Utf16.h"

using namespace mendora;

namespace {

_SYSCOLUMNS Column(std::u16string name, uint8_t xtype, int16_t length, uint8_t status = 0,
                   uint8_t prec = 0, uint8_t scale = 0) {
  _SYSCOLUMNS c;
  c.name = std::move(name);
  c.xtype = xtype;
  c.length = length;
  c.status = status;
  c.prec = prec;
  c.scale = scale;
  return c;
}

std::string Label(const _SYSCOLUMNS& c) {
  return ToUtf8(ColumnLabel(c));
}

}  // namespace

TEST(ColumnTypeNameTest, NamesEveryKnownSystemTypeAndNothingElse) {
  const std::map<int, std::u16string> known = {{34, u"image"},
                                               {35, u"text"},
                                               {36, u"uniqueidentifier"},
                                               {40, u"date"},
                                               {41, u"time"},
                                               {42, u"datetime2"},
                                               {43, u"datetimeoffset"},
                                               {48, u"tinyint"},
                                               {52, u"smallint"},
                                               {56, u"int"},
                                               {58, u"smalldatetime"},
                                               {59, u"real"},
                                               {60, u"money"},
                                               {61, u"datetime"},
                                               {62, u"float"},
                                               {98, u"sql_variant"},
                                               {99, u"ntext"},
                                               {104, u"bit"},
                                               {106, u"decimal"},
                                               {108, u"numeric"},
                                               {122, u"smallmoney"},
                                               {127, u"bigint"},
                                               {165, u"varbinary"},
                                               {167, u"varchar"},
                                               {173, u"binary"},
                                               {175, u"char"},
                                               {189, u"timestamp"},
                                               {231, u"nvarchar"},
                                               {239, u"nchar"},
                                               {241, u"xml"}};
  for (int code = 0; code <= 255; ++code) {
    auto it = known.find(code);
    std::u16string expected = it == known.end() ? u"no such datatype exist" : it->second;
    EXPECT_EQ(ColumnTypeName(Column(u"c", uint8_t(code), 4)), expected) << "xtype " << code;
  }
}

TEST(ColumnTypeNameTest, DisplayLengthOfCharacterTypes) {
  EXPECT_EQ(DisplayLength(u"varchar", 8000), 8000);
  EXPECT_EQ(DisplayLength(u"char", 12), 12);
  EXPECT_EQ(DisplayLength(u"nvarchar", 8000), 4000);
  EXPECT_EQ(DisplayLength(u"nchar", 21), 10);
  EXPECT_EQ(DisplayLength(u"varchar", -1), -1);
  EXPECT_EQ(DisplayLength(u"nvarchar", -1), -1);
  EXPECT_EQ(DisplayLength(u"varbinary", 50), 0);
  EXPECT_EQ(DisplayLength(u"binary", 8000), 0);
  EXPECT_EQ(DisplayLength(u"varbinary", -1), 0);
  EXPECT_EQ(DisplayLength(u"int", 4), 0);
  // The names are compared exactly.
  EXPECT_EQ(DisplayLength(u"VARCHAR", 10), 0);
  EXPECT_EQ(DisplayLength(u"no such datatype exist", 10), 0);
}

TEST(ColumnTypeNameTest, NullabilityWordFollowsTheStatusByte) {
  for (int status = 0; status <= 255; ++status) {
    std::u16string_view expected = (status == 0 || status == 2)                  ? u"Null"
                                   : (status == 1 || status == 3 || status == 5) ? u"Not Null"
                                                                                 : u"Unknown";
    EXPECT_EQ(NullabilityWord(uint8_t(status)), expected) << "status " << status;
  }
}

TEST(ColumnLabelTest, SizePartByType) {
  EXPECT_EQ(Label(Column(u"City", 231, 60, 0)), "City(nvarchar(30),Null)");
  EXPECT_EQ(Label(Column(u"Price", 106, 9, 1, 10, 2)), "Price(decimal(10,2),Not Null)");
  EXPECT_EQ(Label(Column(u"Amount", 108, 13, 3, 28, 0)), "Amount(numeric(28,0),Not Null)");
  EXPECT_EQ(Label(Column(u"At", 41, 5, 0, 16, 7)), "At(time(7),Null)");
  EXPECT_EQ(Label(Column(u"At2", 42, 8, 5, 27, 3)), "At2(datetime2(3),Not Null)");
  EXPECT_EQ(Label(Column(u"AtZ", 43, 10, 2, 34, 0)), "AtZ(datetimeoffset(0),Null)");
  EXPECT_EQ(Label(Column(u"Notes", 231, -1, 0)), "Notes(nvarchar(max),Null)");
  EXPECT_EQ(Label(Column(u"Body", 167, -1, 0)), "Body(varchar(max),Null)");
  EXPECT_EQ(Label(Column(u"Code", 175, 12, 1)), "Code(char(12),Not Null)");
  EXPECT_EQ(Label(Column(u"Id", 239, 20, 1)), "Id(nchar(10),Not Null)");
  EXPECT_EQ(Label(Column(u"Blob", 165, -1, 0)), "Blob(varbinary,Null)");
  EXPECT_EQ(Label(Column(u"Hash", 173, 50, 1)), "Hash(binary,Not Null)");
  EXPECT_EQ(Label(Column(u"Born", 40, 3, 0)), "Born(date,Null)");
  EXPECT_EQ(Label(Column(u"Odd", 200, 4, 4)), "Odd(no such datatype exist,Unknown)");
  // A length below -1 is no size at all; a length of 0 is no size part.
  EXPECT_EQ(Label(Column(u"Bad", 175, -5, 0)), "Bad(char(),Null)");
  EXPECT_EQ(Label(Column(u"Empty", 167, 0, 0)), "Empty(varchar,Null)");
  EXPECT_EQ(Label(Column(u"Half", 231, 1, 0)), "Half(nvarchar,Null)");
}
