#include "export/CopyText.h"

#include "engine/Utf16.h"
#include "engine/ValueText.h"
#include "export/SqlLiteral.h"
#include "sql/Statements.h"

namespace mendora {
namespace {

std::u16string Exact(const Value* value) {
  if (!value || value->IsNull()) return {};
  return FromUtf8(ExactText(*value));
}

void AppendTsvField(std::u16string_view text, std::u16string& out) {
  for (char16_t c : text) out.push_back(c == u'\t' || c == u'\r' || c == u'\n' ? u' ' : c);
}

void AppendCsvField(std::u16string_view text, std::u16string& out) {
  if (text.find_first_of(u",\"\r\n") == std::u16string_view::npos) {
    out.append(text);
    return;
  }
  out.push_back(u'"');
  for (char16_t c : text) {
    if (c == u'"') out.push_back(u'"');
    out.push_back(c);
  }
  out.push_back(u'"');
}

// The header line and the rows, fields joined by `separator`.
std::u16string Separated(const CopyCells& cells, CopyFormat format) {
  const bool csv = format == CopyFormat::kCsv;
  const std::u16string_view lineEnd = csv ? u"\r\n" : u"\n";
  const char16_t separator = csv ? u',' : u'\t';
  auto field = [csv](std::u16string_view text, std::u16string& out) {
    csv ? AppendCsvField(text, out) : AppendTsvField(text, out);
  };
  std::u16string out;
  for (size_t c = 0; c < cells.columns.size(); ++c) {
    if (c) out.push_back(separator);
    field(cells.columns[c].name, out);
  }
  out.append(lineEnd);
  for (const auto& row : cells.rows) {
    for (size_t c = 0; c < cells.columns.size(); ++c) {
      if (c) out.push_back(separator);
      field(Exact(c < row.size() ? row[c] : nullptr), out);
    }
    out.append(lineEnd);
  }
  return out;
}

std::u16string Inserts(const CopyCells& cells) {
  std::u16string head = u"Insert into " + BracketName(cells.tableName) + u"(";
  for (size_t c = 0; c < cells.columns.size(); ++c) {
    if (c) head.push_back(u',');
    head += BracketName(cells.columns[c].name);
  }
  head += u") Values(";
  std::u16string out;
  const Value null;
  for (const auto& row : cells.rows) {
    out += head;
    for (size_t c = 0; c < cells.columns.size(); ++c) {
      if (c) out.push_back(u',');
      const Value* value = c < row.size() && row[c] ? row[c] : &null;
      AppendSqlLiteral(*value, cells.columns[c], out);
    }
    out += u")\n";
  }
  return out;
}

}  // namespace

std::u16string CopyText(const CopyCells& cells, CopyFormat format) {
  return format == CopyFormat::kSqlInsert ? Inserts(cells) : Separated(cells, format);
}

}  // namespace mendora
