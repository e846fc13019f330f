#include "browser/ColumnTypeName.h"

namespace mendora {

std::u16string ColumnTypeName(const _SYSCOLUMNS& column) {
  switch (column.xtype) {
    case 34: return u"image";
    case 35: return u"text";
    case 36: return u"uniqueidentifier";
    case 40: return u"date";
    case 41: return u"time";
    case 42: return u"datetime2";
    case 43: return u"datetimeoffset";
    case 48: return u"tinyint";
    case 52: return u"smallint";
    case 56: return u"int";
    case 58: return u"smalldatetime";
    case 59: return u"real";
    case 60: return u"money";
    case 61: return u"datetime";
    case 62: return u"float";
    case 98: return u"sql_variant";
    case 99: return u"ntext";
    case 104: return u"bit";
    case 106: return u"decimal";
    case 108: return u"numeric";
    case 122: return u"smallmoney";
    case 127: return u"bigint";
    case 165: return u"varbinary";
    case 167: return u"varchar";
    case 173: return u"binary";
    case 175: return u"char";
    case 189: return u"timestamp";
    case 231: return u"nvarchar";
    case 239: return u"nchar";
    case 241: return u"xml";
    default: return u"no such datatype exist";
  }
}

int DisplayLength(std::u16string_view typeName, int16_t length) {
  if (typeName == u"varchar" || typeName == u"char") return length;
  if (typeName == u"nvarchar" || typeName == u"nchar") return length == -1 ? -1 : length / 2;
  return 0;
}

std::u16string_view NullabilityWord(uint8_t status) {
  switch (status) {
    case 0:
    case 2: return u"Null";
    case 1:
    case 3:
    case 5: return u"Not Null";
    default: return u"Unknown";
  }
}

}  // namespace mendora
