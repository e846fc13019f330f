#include "export/SqlLiteral.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/BinaryXml.h"
#include "engine/CodePage.h"
#include "engine/TypeCodes.h"
#include "engine/Utf16.h"
#include "engine/ValueText.h"

namespace mendora {
namespace {

// The server cuts a join of strings that are not (max) at this many bytes.
constexpr size_t kJoinLimitBytes = 8000;

void AppendQuotedAscii(std::u16string& out, std::string_view ascii) {
  out.push_back(u'\'');
  AppendAscii(out, ascii);
  out.push_back(u'\'');
}

bool IsUnicodeStringType(uint8_t xtype) {
  return xtype != kXChar && xtype != kXVarChar && xtype != kXText;
}

// An 8-bit column's text that Windows-1252 cannot hold is written N'...': the
// script is then Unicode, and the server turns the text into the column's
// own code page on insert instead of into the database default's '?'.
bool FitsWindows1252(std::u16string_view text) {
  for (size_t i = AsciiLength(text); i < text.size(); ++i) {
    if (text[i] >= 0x80 && UnicodeToCodePage(text[i]) == '?') return false;
  }
  return true;
}

// Where the run of characters from `i` that stand in a quoted literal as
// they are ends: at a control character, a quote or a surrogate, or at the
// end of the text. Eight at a time where the host has SSE2.
size_t PlainRunEnd(std::u16string_view text, size_t i) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 8 <= text.size(); i += 8) {
    const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    // Unsigned: nothing is left of a control character once 0x1F is taken.
    const __m128i control = _mm_cmpeq_epi16(_mm_subs_epu16(eight, _mm_set1_epi16(0x1F)), zero);
    const __m128i quote = _mm_cmpeq_epi16(eight, _mm_set1_epi16(u'\''));
    const __m128i surrogate =
        _mm_cmpeq_epi16(_mm_and_si128(eight, _mm_set1_epi16(static_cast<short>(0xF800))),
                        _mm_set1_epi16(static_cast<short>(0xD800)));
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(control, quote), surrogate)) != 0) break;
  }
#endif
  while (i < text.size() && text[i] >= 0x20 && text[i] != u'\'' &&
         !(text[i] >= 0xD800 && text[i] <= 0xDFFF)) {
    ++i;
  }
  return i;
}

bool IsLoneSurrogate(std::u16string_view text, size_t i) {
  const char16_t c = text[i];
  if (c >= 0xD800 && c <= 0xDBFF) {
    return i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF;
  }
  if (c >= 0xDC00 && c <= 0xDFFF) {
    return i == 0 || text[i - 1] < 0xD800 || text[i - 1] > 0xDBFF;
  }
  return false;
}

// Whether XML text holds a text node of nothing but blanks, which the server
// drops when it reads a string as xml unless told to keep them (CONVERT
// style 1). In the decoder's text a raw "<" only starts markup, so blanks
// between a ">" and a "<" are such a node; the same pattern inside a comment
// asks for style 1 where it changes nothing.
bool HasBlankTextNode(std::u16string_view xml) {
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
  size_t i = 0;
  while (i < xml.size() && blank(xml[i])) ++i;
  if (i > 0) return true;  // a fragment that starts with blanks
  size_t end = xml.size();
  while (end > 0 && blank(xml[end - 1])) --end;
  if (end < xml.size()) return true;
  for (size_t gt = xml.find(u'>'); gt != std::u16string_view::npos; gt = xml.find(u'>', gt + 1)) {
    size_t j = gt + 1;
    while (j < xml.size() && blank(xml[j])) ++j;
    if (j > gt + 1 && j < xml.size() && xml[j] == u'<') return true;
  }
  return false;
}

// "1.5e+00" as "1.5E0", "-2.5e-07" as "-2.5E-7".
void AppendENotation(std::u16string& out, std::string_view scientific) {
  const size_t e = scientific.find('e');
  AppendAscii(out, scientific.substr(0, e));
  out.push_back(u'E');
  std::string_view exponent = scientific.substr(e + 1);
  if (exponent.front() == '-') out.push_back(u'-');
  if (exponent.front() == '-' || exponent.front() == '+') exponent.remove_prefix(1);
  while (exponent.size() > 1 && exponent.front() == '0') exponent.remove_prefix(1);
  AppendAscii(out, exponent);
}

void AppendDouble(std::u16string& out, double v) {
  std::array<char, 64> buffer{};
  const auto r =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), v, std::chars_format::scientific);
  AppendENotation(out, std::string_view(buffer.data(), r.ptr - buffer.data()));
}

// The server reads a float literal as an 8-byte float and then rounds it to a
// real. The fewest digits that read back to the single do not always survive
// that double rounding; nine significant digits always do.
void AppendSingle(std::u16string& out, float v) {
  std::array<char, 64> buffer{};
  auto r =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), v, std::chars_format::scientific);
  double read = 0;
  std::from_chars(buffer.data(), r.ptr, read);
  if (static_cast<float>(read) != v) {
    r = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v,
                      std::chars_format::scientific, 8);
  }
  AppendENotation(out, std::string_view(buffer.data(), r.ptr - buffer.data()));
}

// The digits of a decimal value counted as its type needs them: the
// precision (significant digits, at least the scale and at least 1) and the
// scale (digits after the point).
void AppendDecimalType(std::u16string& out, std::string_view name, std::string_view digits) {
  if (!digits.empty() && digits.front() == '-') digits.remove_prefix(1);
  const size_t point = digits.find('.');
  const size_t scale = point == std::string_view::npos ? 0 : digits.size() - point - 1;
  std::string_view whole = digits.substr(0, point);
  while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
  size_t precision = whole.size() + scale;
  if (precision == 0) precision = 1;
  AppendAscii(out, name);
  AppendAscii(out, "(" + std::to_string(precision) + "," + std::to_string(scale) + ")");
}

// The literal of a value that is not NULL and not unreadable, of type `xtype`
// (the column's, or a sql_variant's base type). False when it has none.
bool AppendPlain(const Value& v, uint8_t xtype, std::u16string& out, std::string& why) {
  // The text of a date, a time or a number, kept from value to value.
  thread_local std::string text;
  text.clear();
  switch (v.kind) {
    case ValueKind::kNull:
    case ValueKind::kUnreadable:
      return false;
    case ValueKind::kInteger:
    case ValueKind::kBit: {
      char digits[24];
      const auto end = std::to_chars(digits, digits + sizeof digits, v.integer).ptr;
      AppendAscii(out, std::string_view(digits, static_cast<size_t>(end - digits)));
      return true;
    }
    case ValueKind::kDecimal:
      AppendAscii(out, v.digits);
      return true;
    case ValueKind::kMoney:
      AppendMoneyText(text, v.integer);
      AppendAscii(out, text);
      return true;
    case ValueKind::kReal:
      if (!std::isfinite(v.real)) {
        why = std::isnan(v.real) ? "a real that is not a number" : "an infinite real";
        return false;
      }
      AppendSingle(out, v.real);
      return true;
    case ValueKind::kFloat:
      if (!std::isfinite(v.real8)) {
        why = std::isnan(v.real8) ? "a float that is not a number" : "an infinite float";
        return false;
      }
      AppendDouble(out, v.real8);
      return true;
    case ValueKind::kDateTime:
    case ValueKind::kSmallDateTime:
    case ValueKind::kDateTime2:
    case ValueKind::kDateTimeOffset:
      AppendIsoDate(text, v.days);
      text.push_back('T');
      AppendIsoTime(text, v.timeUnits, v.scale);
      if (v.kind == ValueKind::kDateTimeOffset) AppendUtcOffset(text, v.offsetMinutes);
      AppendQuotedAscii(out, text);
      return true;
    case ValueKind::kDate:
      AppendIsoDate(text, v.days);
      AppendQuotedAscii(out, text);
      return true;
    case ValueKind::kTime:
      AppendIsoTime(text, v.timeUnits, v.scale);
      AppendQuotedAscii(out, text);
      return true;
    case ValueKind::kGuid:
      if (v.bytes.size() != 16) {
        why = "a uniqueidentifier that is not 16 bytes";
        return false;
      }
      AppendGuidText(text, v.bytes);
      AppendQuotedAscii(out, text);
      return true;
    case ValueKind::kBinary:
      AppendAscii(out, "0x");
      AppendHexBytes(out, v.bytes);
      return true;
    case ValueKind::kString:
      AppendSqlString(v.text, IsUnicodeStringType(xtype) || !FitsWindows1252(v.text), out);
      return true;
    case ValueKind::kXml: {
      const auto xml = XmlText(v);
      if (!xml) {
        why = "an xml value whose binary XML was not decoded";
        return false;
      }
      if (!HasBlankTextNode(*xml)) {
        AppendSqlString(*xml, true, out);
        return true;
      }
      AppendAscii(out, "CONVERT(xml,");
      AppendSqlString(*xml, true, out);
      AppendAscii(out, ",1)");
      return true;
    }
  }
  return false;
}

// CAST(literal AS base type) of a sql_variant value.
bool AppendVariant(const Value& v, std::u16string& out, std::string& why) {
  std::string type;
  auto sized = [&](const char* name, size_t length, size_t maximum) {
    if (length > maximum) return false;
    type = std::string(name) + "(" + std::to_string(length == 0 ? 1 : length) + ")";
    return true;
  };
  bool known = true;
  switch (v.variantType) {
    case kXTinyInt:
      type = "tinyint";
      break;
    case kXSmallInt:
      type = "smallint";
      break;
    case kXInt:
      type = "int";
      break;
    case kXBigInt:
      type = "bigint";
      break;
    case kXBit:
      type = "bit";
      break;
    case kXMoney:
      type = "money";
      break;
    case kXSmallMoney:
      type = "smallmoney";
      break;
    case kXReal:
      type = "real";
      break;
    case kXFloat:
      type = v.kind == ValueKind::kReal ? "real" : "float";
      break;
    case kXDateTime:
      type = "datetime";
      break;
    case kXSmallDateTime:
      type = "smalldatetime";
      break;
    case kXDate:
      type = "date";
      break;
    case kXTime:
      type = "time(" + std::to_string(v.scale) + ")";
      break;
    case kXDateTime2:
      type = "datetime2(" + std::to_string(v.scale) + ")";
      break;
    case kXDateTimeOffset:
      type = "datetimeoffset(" + std::to_string(v.scale) + ")";
      break;
    case kXUniqueIdentifier:
      type = "uniqueidentifier";
      break;
    case kXDecimal:
    case kXNumeric:
      break;  // from the digits, below
    case kXBinary:
      known = sized("binary", v.bytes.size(), 8000);
      break;
    case kXVarBinary:
      known = sized("varbinary", v.bytes.size(), 8000);
      break;
    case kXChar:
      known = sized("char", v.text.size(), 8000);
      break;
    case kXVarChar:
      known = sized("varchar", v.text.size(), 8000);
      break;
    case kXNChar:
      known = sized("nchar", v.text.size(), 4000);
      break;
    case kXNVarChar:
      known = sized("nvarchar", v.text.size(), 4000);
      break;
    default:
      known = false;
  }
  if (!known) {
    why = "a sql_variant of base type " + std::to_string(v.variantType) +
          ", which no literal can be cast to";
    return false;
  }
  const size_t from = out.size();
  AppendAscii(out, "CAST(");
  if (!AppendPlain(v, v.variantType, out, why)) {
    out.resize(from);
    return false;
  }
  AppendAscii(out, " AS ");
  if (v.variantType == kXDecimal || v.variantType == kXNumeric) {
    AppendDecimalType(out, v.variantType == kXDecimal ? "decimal" : "numeric", v.digits);
  } else {
    AppendAscii(out, type);
  }
  out.push_back(u')');
  return true;
}

}  // namespace

void AppendSqlString(std::u16string_view text, bool unicode, std::u16string& out) {
  const std::u16string_view quote =
      unicode ? std::u16string_view(u"N'") : std::u16string_view(u"'");
  // Most text is one quoted part: no quote, control character or surrogate.
  if (PlainRunEnd(text, 0) == text.size()) {
    out.append(quote).append(text).push_back(u'\'');
    return;
  }
  const std::u16string_view character = unicode ? u"NCHAR(" : u"CHAR(";
  const size_t joinLimit = unicode ? kJoinLimitBytes / 2 : kJoinLimitBytes;
  const size_t start = out.size();
  size_t firstEnd = std::u16string::npos;  // where the first part ends, once a second follows
  bool quoted = false;
  bool any = false;
  auto nextPart = [&] {
    if (!any) {
      any = true;
      return;
    }
    if (firstEnd == std::u16string::npos) firstEnd = out.size();
    out.push_back(u'+');
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x20 || (unicode && IsLoneSurrogate(text, i))) {
      if (quoted) {
        out.push_back(u'\'');
        quoted = false;
      }
      nextPart();
      out.append(character);
      AppendAscii(out, std::to_string(static_cast<unsigned>(c)));
      out.push_back(u')');
      continue;
    }
    if (!quoted) {
      nextPart();
      out.append(quote);
      quoted = true;
    }
    if (c == u'\'') {
      out.append(u"''");
      continue;
    }
    // The run of characters that stand as they are, in one piece.
    const size_t end = PlainRunEnd(text, i + 1);
    out.append(text.substr(i, end - i));
    i = end - 1;
  }
  if (quoted) out.push_back(u'\'');
  if (!any) out.append(quote).push_back(u'\'');
  if (firstEnd != std::u16string::npos && text.size() > joinLimit) {
    const std::u16string_view max = unicode ? u" AS nvarchar(max))" : u" AS varchar(max))";
    out.insert(firstEnd, max);
    out.insert(start, u"CAST(");
  }
}

void AppendSqlLiteral(const Value& value, const _SYSCOLUMNS& column, std::u16string& out,
                      std::string* warning) {
  // Written into the caller's text, which is not moved into for every value.
  std::string scratch;
  std::string& why = warning ? *warning : scratch;
  why.clear();
  bool written = false;
  if (column.xtype == kXTimestamp) {
    AppendAscii(out, "DEFAULT");
    written = true;
  } else if (value.kind == ValueKind::kNull) {
    AppendAscii(out, "NULL");
    written = true;
  } else if (value.kind == ValueKind::kUnreadable) {
    why = "an unreadable value (" + value.error + ")";
  } else if (column.xtype == kXSqlVariant) {
    written = AppendVariant(value, out, why);
  } else {
    written = AppendPlain(value, column.xtype, out, why);
  }
  if (!written) AppendAscii(out, "NULL");
}

}  // namespace mendora
