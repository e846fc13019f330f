#include <filesystem>

#include "cli/AnalysedFile.h"
#include "cli/Commands.h"
#include "engine/FileDamage.h"
#include "engine/FileError.h"
#include "engine/Utf16.h"

namespace cli {

int Info(const std::string& path, std::ostream& out, std::ostream& err, bool damage) {
  try {
    AnalysedFile a;
    OpenAndAnalyse(path, a, err);
    if (!a.supported) return 1;
    const mendora::Catalogue& c = a.catalogue;
    if (damage) {
      mendora::DamageReport report;
      mendora::CollectFileDamage(a.file, c, report, a.job);
      for (const auto& e : report.Entries()) out << mendora::DamageLine(e) << "\n";
      if (report.NotKept()) err << "damage entries not kept: " << report.NotKept() << "\n";
      return WroteAll(out, err) ? 0 : 1;
    }
    out << "version: " << a.file.Version().Number() << "\n"
        << "release: " << a.file.Version().Release() << "\n"
        << "database: " << mendora::ToPrintableUtf8(c.databaseName) << "\n"
        << "pages: " << a.file.PageCount() << "\n"
        << "objects: " << c.objects.size() << "\n"
        << "user tables: " << c.userTables.size() << "\n"
        << "columns: " << c.columns.size() << "\n"
        << "index rows: " << c.indexRows.size() << "\n"
        << "table storage: " << c.tableStorage.size() << "\n"
        << "index keys: " << c.indexKeys.size() << "\n"
        << "dependencies: " << c.dependencies.size() << "\n"
        << "check texts: " << c.checkTexts.size() << "\n"
        << "module texts: " << c.moduleTexts.size() << "\n";
    for (const mendora::DatabaseFile& f : a.file.Files()) {
      out << "data file " << f.fileId << ": " << mendora::ToPrintableUtf8(f.logicalName)
          << ", filegroup " << f.filegroup << ", " << f.pageCount << " pages, "
          << std::filesystem::path(f.path).filename().string() << "\n";
    }
    for (const std::string& warning : mendora::DamageWarnings(c))
      out << "warning: " << warning << "\n";
    if (!WroteAll(out, err)) return 1;
  } catch (const mendora::FileError& e) {
    err << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace cli
