#include "tests/support/ReferenceLiteral.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>

#include "engine/CodePage.h"
#include "engine/Utf16.h"

namespace mdftest {
namespace {

using Kind = ParsedLiteral::Kind;

std::string Describe(const ParsedLiteral& l) {
  switch (l.kind) {
    case Kind::kNull:
      return "NULL";
    case Kind::kDefault:
      return "DEFAULT";
    case Kind::kString:
      return std::string(l.unicode ? "N" : "") + "'" + mendora::ToUtf8(l.text).substr(0, 200) + "'";
    case Kind::kNumber:
      return mendora::ToUtf8(l.text);
    case Kind::kBinary:
      return "0x(" + std::to_string(l.bytes.size()) + " bytes)";
    case Kind::kCast:
      return "CAST(" + (l.operand.empty() ? std::string() : Describe(l.operand[0])) + " AS " +
             l.castType + (l.style >= 0 ? ", style " + std::to_string(l.style) : "") + ")";
  }
  return "?";
}

std::string Differs(const ParsedLiteral& l, const nlohmann::json& cell) {
  return "literal " + Describe(l) + ", reference " + cell.dump().substr(0, 200);
}

// The text after `tag` of a reference string, or nothing when the cell is not tagged so.
std::optional<std::string> Tagged(const nlohmann::json& cell, std::string_view tag) {
  if (!cell.is_string()) return std::nullopt;
  const std::string& s = cell.get_ref<const std::string&>();
  if (!s.starts_with(tag)) return std::nullopt;
  return s.substr(tag.size());
}

std::optional<double> NumberOf(const ParsedLiteral& l) {
  if (l.kind != Kind::kNumber) return std::nullopt;
  std::string text = mendora::ToUtf8(l.text);
  if (!text.empty() && text[0] == '+') text.erase(0, 1);
  double v = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
  return v;
}

std::optional<int64_t> WholeNumberOf(const ParsedLiteral& l) {
  if (l.kind != Kind::kNumber) return std::nullopt;
  const std::string text = mendora::ToUtf8(l.text);
  int64_t v = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
  return v;
}

bool IsString(const ParsedLiteral& l, bool unicode, std::u16string_view text) {
  return l.kind == Kind::kString && l.unicode == unicode && l.text == text;
}

std::string Hex(const std::vector<std::byte>& bytes) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::byte b : bytes) {
    out.push_back(kHex[static_cast<uint8_t>(b) >> 4]);
    out.push_back(kHex[static_cast<uint8_t>(b) & 0x0F]);
  }
  return out;
}

}  // namespace

uint8_t XTypeOfName(const std::string& name) {
  static const std::map<std::string, uint8_t> kTypes = {{"image", 34},
                                                        {"text", 35},
                                                        {"uniqueidentifier", 36},
                                                        {"date", 40},
                                                        {"time", 41},
                                                        {"datetime2", 42},
                                                        {"datetimeoffset", 43},
                                                        {"tinyint", 48},
                                                        {"smallint", 52},
                                                        {"int", 56},
                                                        {"smalldatetime", 58},
                                                        {"real", 59},
                                                        {"money", 60},
                                                        {"datetime", 61},
                                                        {"float", 62},
                                                        {"sql_variant", 98},
                                                        {"ntext", 99},
                                                        {"bit", 104},
                                                        {"decimal", 106},
                                                        {"numeric", 108},
                                                        {"smallmoney", 122},
                                                        {"bigint", 127},
                                                        {"varbinary", 165},
                                                        {"varchar", 167},
                                                        {"binary", 173},
                                                        {"char", 175},
                                                        {"timestamp", 189},
                                                        {"nvarchar", 231},
                                                        {"nchar", 239},
                                                        {"xml", 241}};
  const auto it = kTypes.find(name);
  return it == kTypes.end() ? 0 : it->second;
}

std::string CompareWithReference(const ParsedLiteral& l, uint8_t xtype,
                                 const nlohmann::json& cell) {
  const std::string differs = Differs(l, cell);
  if (xtype == 189) return l.kind == Kind::kDefault ? "" : differs;  // timestamp
  if (cell.is_null()) return l.kind == Kind::kNull ? "" : differs;
  if (Tagged(cell, "bad:")) return "the reference could not decode the value: " + differs;
  switch (xtype) {
    case 48:
    case 52:
    case 56:
    case 127: {
      const auto v = WholeNumberOf(l);
      return cell.is_number_integer() && v && *v == cell.get<int64_t>() ? "" : differs;
    }
    case 104: {
      const auto v = WholeNumberOf(l);
      return cell.is_boolean() && v && (*v == 1) == cell.get<bool>() && (*v == 0 || *v == 1)
                 ? ""
                 : differs;
    }
    case 106:
    case 108:
    case 60:
    case 122: {
      const auto digits = Tagged(cell, xtype == 106 || xtype == 108 ? "dec:" : "money:");
      return l.kind == Kind::kNumber && digits && mendora::ToUtf8(l.text) == *digits ? "" : differs;
    }
    case 59:
    case 62: {
      const auto v = NumberOf(l);
      if (!cell.is_number() || !v) return differs;
      const double want = cell.get<double>();
      if (xtype == 59) return static_cast<float>(*v) == static_cast<float>(want) ? "" : differs;
      return *v == want ? "" : differs;
    }
    case 61:
    case 58:
    case 40:
    case 41:
    case 42:
    case 43:
    case 36: {
      const char* tag = xtype == 61   ? "dt:"
                        : xtype == 58 ? "sdt:"
                        : xtype == 40 ? "date:"
                        : xtype == 41 ? "time:"
                        : xtype == 42 ? "dt2:"
                        : xtype == 43 ? "dto:"
                                      : "guid:";
      auto text = Tagged(cell, tag);
      if (!text) return differs;
      if (xtype == 58) *text += ":00";
      return IsString(l, false, mendora::FromUtf8(*text)) ? "" : differs;
    }
    case 34:
    case 165:
    case 173: {
      const auto hex = Tagged(cell, "hex:0x");
      return l.kind == Kind::kBinary && hex && Hex(l.bytes) == *hex ? "" : differs;
    }
    case 35:
    case 167:
    case 175:
    case 99:
    case 231:
    case 239: {
      if (!cell.is_string()) return differs;
      const std::u16string text = mendora::FromUtf8(cell.get<std::string>());
      // An 8-bit column's text that Windows-1252 cannot hold needs N'...'.
      const bool unicode = xtype == 99 || xtype == 231 || xtype == 239 ||
                           std::any_of(text.begin(), text.end(), [](char16_t u) {
                             return u != u'?' && mendora::UnicodeToCodePage(u) == '?';
                           });
      return IsString(l, unicode, text) ? "" : differs;
    }
    case 241: {
      if (cell != "<xml>") return differs;
      const bool keepsBlanks = l.kind == Kind::kCast && l.castType == "xml" && l.style == 1;
      const ParsedLiteral& text = keepsBlanks ? l.operand[0] : l;
      return l.kind == Kind::kNull || (text.kind == Kind::kString && text.unicode) ? "" : differs;
    }
    case 98: {
      if (!cell.is_object() || !cell.contains("variant") || !cell.contains("value")) {
        return differs;
      }
      const std::string base = cell["variant"].get<std::string>();
      const uint8_t baseType = XTypeOfName(base);
      if (l.kind != Kind::kCast || l.operand.size() != 1 || baseType == 0) return differs;
      const std::string castBase = l.castType.substr(0, l.castType.find('('));
      if (castBase != base) return differs;
      const std::string inner = CompareWithReference(l.operand[0], baseType, cell["value"]);
      return inner.empty() ? "" : "sql_variant " + base + ": " + inner;
    }
    default:
      return "no rule for type " + std::to_string(xtype) + ": " + differs;
  }
}

}  // namespace mdftest
