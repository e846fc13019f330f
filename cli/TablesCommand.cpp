#include "cli/AnalysedFile.h"
#include "cli/Commands.h"
#include "engine/FileError.h"
#include "engine/Utf16.h"

namespace cli {

int Tables(const std::string& path, std::ostream& out, std::ostream& err) {
  try {
    AnalysedFile a;
    OpenAndAnalyse(path, a, err);
    if (!a.supported) return 1;
    for (const auto& table : a.catalogue.userTables) {
      out << mendora::ToPrintableUtf8(
                 table.schemaName.empty() ? table.name : table.schemaName + u"." + table.name)
          << "\n";
    }
    if (!WroteAll(out, err)) return 1;
  } catch (const mendora::FileError& e) {
    err << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace cli
