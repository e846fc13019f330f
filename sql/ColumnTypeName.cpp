#include "sql/ColumnTypeName.h"

#include "engine/TypeCodes.h"

namespace mendora {

namespace {

struct TypeName {
  uint8_t xtype;
  const char16_t* name;
};

constexpr TypeName kTypeNames[] = {
    {kXImage, u"image"},
    {kXText, u"text"},
    {kXUniqueIdentifier, u"uniqueidentifier"},
    {kXDate, u"date"},
    {kXTime, u"time"},
    {kXDateTime2, u"datetime2"},
    {kXDateTimeOffset, u"datetimeoffset"},
    {kXTinyInt, u"tinyint"},
    {kXSmallInt, u"smallint"},
    {kXInt, u"int"},
    {kXSmallDateTime, u"smalldatetime"},
    {kXReal, u"real"},
    {kXMoney, u"money"},
    {kXDateTime, u"datetime"},
    {kXFloat, u"float"},
    {kXSqlVariant, u"sql_variant"},
    {kXNText, u"ntext"},
    {kXBit, u"bit"},
    {kXDecimal, u"decimal"},
    {kXNumeric, u"numeric"},
    {kXSmallMoney, u"smallmoney"},
    {kXBigInt, u"bigint"},
    {kXVarBinary, u"varbinary"},
    {kXVarChar, u"varchar"},
    {kXBinary, u"binary"},
    {kXChar, u"char"},
    {kXTimestamp, u"timestamp"},
    {kXNVarChar, u"nvarchar"},
    {kXNChar, u"nchar"},
    {kXXml, u"xml"},
};

}  // namespace

std::u16string ColumnTypeName(const _SYSCOLUMNS& column) {
  for (const TypeName& t : kTypeNames) {
    if (t.xtype == column.xtype) return t.name;
  }
  return u"no such datatype exist";
}

int DisplayLength(std::u16string_view typeName, int16_t length) {
  if (typeName == u"varchar" || typeName == u"char") return length;
  if (typeName == u"nvarchar" || typeName == u"nchar") return length == -1 ? -1 : length / 2;
  return 0;
}

std::u16string_view NullabilityWord(uint8_t status) {
  switch (status) {
    case 0:
    case 2:
      return u"Null";
    case 1:
    case 3:
    case 5:
      return u"Not Null";
    default:
      return u"Unknown";
  }
}

}  // namespace mendora
