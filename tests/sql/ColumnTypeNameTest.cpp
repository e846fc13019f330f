// Column type names, display lengths, the nullability word and the column
// labels of the object tree.
#include <gtest/gtest.h>

#include <set>

#include "browser/ObjectTree.h"
#include "engine/Utf16.h"
#include "engine/ValueDecoder.h"
#include "sql/ColumnTypeName.h"

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

// The names themselves are checked against the reference's column types over
// every real file; here: a code has a name of its own exactly when the value
// decoder knows the type, and any other code the one text for none.
TEST(ColumnTypeNameTest, ATypeIsNamedExactlyWhenItsValuesAreDecoded) {
  std::set<std::u16string> names;
  for (int code = 0; code <= 255; ++code) {
    const _SYSCOLUMNS column = Column(u"c", uint8_t(code), 4);
    const std::u16string name = ColumnTypeName(column);
    // A sql_variant of int: its base type is known.
    std::vector<std::byte> stored(16);
    stored[0] = std::byte{56};
    stored[1] = std::byte{1};
    Value value;
    DecodeValue(stored, column, value);
    // The CLR types (240) are read as their bytes; their names are the user
    // type's, not the system type's.
    const bool decoded = value.error != "unknown type" && code != 240;
    if (!decoded) {
      EXPECT_EQ(name, u"no such datatype exist") << "xtype " << code;
      continue;
    }
    EXPECT_NE(name, u"no such datatype exist") << "xtype " << code;
    EXPECT_TRUE(names.insert(name).second) << "xtype " << code << " repeats a name";
  }
  EXPECT_EQ(names.size(), 30u);
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
