#include "export/CsvField.h"

namespace mendora {

namespace {

// Whether the field holds a character that needs quotes: one pass over the
// text with a test the compiler can widen, rather than a search per
// character of the set.
bool NeedsQuotes(std::string_view text) {
  bool found = text.empty();
  for (char c : text) found |= c == ',' || c == '"' || c == '\r' || c == '\n';
  return found;
}

}  // namespace

void AppendCsvField(std::string& out, std::string_view text) {
  const bool quote = NeedsQuotes(text);
  if (!quote) {
    out += text;
    return;
  }
  out.push_back('"');
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

}  // namespace mendora
