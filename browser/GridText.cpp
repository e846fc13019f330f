#include "browser/GridText.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <span>

#include "browser/Picture.h"
#include "engine/TypeCodes.h"
#include "engine/Utf16.h"
#include "engine/ValueText.h"

namespace mendora {
namespace {

void AppendFixedSix(std::u16string& out, double v) {
  // "%f" whatever the C locale says of the decimal point.
  std::array<char, 400> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), v, std::chars_format::fixed, 6);
  AppendAscii(out, std::string_view(buffer.data(), result.ptr - buffer.data()));
}

// An 8-byte float as the grid has always shown it: a whole number that an
// int holds as that integer, zero as 0, anything else with six decimals.
void AppendFloat(std::u16string& out, double v) {
  if (v >= -2147483648.0 && v < 2147483648.0) {
    const auto n = static_cast<int32_t>(v);
    if (n != 0 && v == n) return AppendAscii(out, std::to_string(n));
  }
  if (v == 0) return out.push_back(u'0');
  AppendFixedSix(out, v);
}

// "MM/DD/YYYY h:mm:ss" of a day count from 0001-01-01 and seconds since midnight.
void AppendUsDateTime(std::u16string& out, int64_t days, int64_t seconds) {
  const CivilDay c = CivilFromDays0001(days);
  std::array<char, 48> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%02d/%02d/%04lld %lld:%02d:%02d", c.month, c.day,
                static_cast<long long>(c.year), static_cast<long long>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  AppendAscii(out, buffer.data());
}

void AppendExact(std::u16string& out, const Value& value) {
  std::string text;
  AppendExactText(value, text);
  AppendAscii(out, text);
}

void AppendString(std::u16string& out, const Value& value, uint8_t xtype) {
  const bool cut = value.text.size() > kMaxCellText;
  const size_t from = out.size();
  out.append(value.text, 0, cut ? kMaxCellText : value.text.size());
  if (xtype == kXNVarChar || xtype == kXNChar) {
    for (size_t i = from; i < out.size(); ++i) {
      if (out[i] == u'\u2019') out[i] = u'\'';
    }
  }
  if (cut) out.push_back(u'\u2026');
}

// An image value: a picture says so with its size; other bytes show their
// start, so that a value never looks empty.
void AppendImage(std::u16string& out, const Value& v) {
  if (FindPicture(v.bytes).format != PictureFormat::kNone) {
    return AppendAscii(out, PictureLabel(v.bytes.size()).c_str());
  }
  const bool cut = v.bytes.size() > kImageCellBytes;
  AppendAscii(out, "0x");
  AppendHexBytes(out, std::span(v.bytes).first(cut ? kImageCellBytes : v.bytes.size()));
  if (cut) out.push_back(u'\u2026');
}

void AppendTyped(const Value& v, uint8_t xtype, std::u16string& out) {
  switch (xtype) {
    case kXVarBinary:
      return AppendAscii(out, "VarBinaryData");
    case kXTimestamp:
      return AppendAscii(out, "BINARY - DATA");
    case kXXml:
      return AppendAscii(out, "XML-DATA");
    case kXImage:
      if (v.kind == ValueKind::kBinary) return AppendImage(out, v);
      break;
    default:
      break;
  }
  switch (v.kind) {
    case ValueKind::kNull:
      return AppendAscii(out, "NULL");
    case ValueKind::kBit:
      return AppendAscii(out, v.integer ? " 1" : " 0");
    case ValueKind::kReal:
      return AppendFixedSix(out, v.real);
    case ValueKind::kFloat:
      return AppendFloat(out, v.real8);
    case ValueKind::kDateTime: {
      AppendUsDateTime(out, v.days, v.timeUnits / 1000);
      if (const int64_t ms = v.timeUnits % 1000; ms != 0) {
        std::array<char, 8> buffer{};
        std::snprintf(buffer.data(), buffer.size(), ".%03d", static_cast<int>(ms));
        AppendAscii(out, buffer.data());
      }
      return;
    }
    case ValueKind::kSmallDateTime:
      return AppendUsDateTime(out, v.days, v.timeUnits);
    case ValueKind::kDateTimeOffset: {
      Value local = v;
      local.kind = ValueKind::kDateTime2;
      AppendExact(out, local);
      std::string offset = " ";
      AppendUtcOffset(offset, v.offsetMinutes);
      return AppendAscii(out, offset);
    }
    case ValueKind::kBinary:
      return AppendHexBytes(out, v.bytes);
    case ValueKind::kXml:
      return AppendAscii(out, "XML-DATA");
    case ValueKind::kString:
      return AppendString(out, v, xtype);
    case ValueKind::kUnreadable: {
      std::string text;
      AppendExactText(v, text);
      out += FromUtf8(text);
      return;
    }
    case ValueKind::kInteger:
    case ValueKind::kDecimal:
    case ValueKind::kMoney:
    case ValueKind::kDate:
    case ValueKind::kTime:
    case ValueKind::kDateTime2:
    case ValueKind::kGuid:
      return AppendExact(out, v);
  }
}

}  // namespace

void AppendGridText(const Value& value, const _SYSCOLUMNS& column, std::u16string& out) {
  if (value.IsNull()) return AppendAscii(out, "NULL");
  // A sql_variant shows its value as a column of its base type would.
  const uint8_t xtype =
      column.xtype == kXSqlVariant && value.variantType != 0 ? value.variantType : column.xtype;
  AppendTyped(value, xtype, out);
}

std::u16string GridText(const Value& value, const _SYSCOLUMNS& column) {
  std::u16string text;
  AppendGridText(value, column, text);
  return text;
}

}  // namespace mendora
