#include "export/CsvField.h"

namespace mendora {

void AppendCsvField(std::string& out, std::string_view text) {
  const bool quote = text.empty() || text.find_first_of(",\"\r\n") != std::string_view::npos;
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
