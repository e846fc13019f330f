#include "browser/ColumnTypeName.h"

namespace mendora {

namespace {

struct TypeName {
  uint8_t xtype;
  const char16_t* name;
};

// SQL Server's system type ids.
constexpr TypeName kTypeNames[] = {
    {34, u"image"},
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
    {241, u"xml"},
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
