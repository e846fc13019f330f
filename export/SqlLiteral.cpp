#include "export/SqlLiteral.h"

#include "engine/TypeCodes.h"
#include "engine/Utf16.h"
#include "engine/ValueText.h"

namespace mendora {

bool AppendSqlLiteral(const Value& value, const _SYSCOLUMNS& column, std::u16string& out) {
  if (column.xtype == kXTimestamp) {
    out += u"DEFAULT";
    return true;
  }
  switch (value.kind) {
    case ValueKind::kNull:
      out += u"NULL";
      return true;
    case ValueKind::kUnreadable:
    case ValueKind::kXml:
      out += u"NULL";
      return false;
    case ValueKind::kString:
      if (column.xtype == kXNChar || column.xtype == kXNVarChar || column.xtype == kXNText) {
        out += u'N';
      }
      out += u'\'';
      for (char16_t ch : value.text) {
        out += ch;
        if (ch == u'\'') out += u'\'';
      }
      out += u'\'';
      return true;
    case ValueKind::kInteger:
    case ValueKind::kBit:
    case ValueKind::kDecimal:
    case ValueKind::kMoney:
    case ValueKind::kReal:
    case ValueKind::kFloat:
    case ValueKind::kBinary:
      out += FromUtf8(ExactText(value));
      return true;
    default:
      out += u'\'' + FromUtf8(ExactText(value)) + u'\'';
      return true;
  }
}

}  // namespace mendora
