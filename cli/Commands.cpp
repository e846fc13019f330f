#include "cli/Commands.h"

#include <cerrno>
#include <cstring>

#include "browser/ObjectTree.h"
#include "browser/RefusalText.h"
#include "browser/TreeText.h"
#include "engine/Analysis.h"
#include "engine/Utf16.h"
#include "engine/DataFile.h"
#include "engine/FileError.h"
#include "ui/MemoryTreeControl.h"

namespace cli {
namespace {

// Opens the file as the file selection does: a file another process holds is
// refused with the window's message; a missing or unreadable file names its cause.
bool OpenDataFile(mendora::DataFile& file, const std::string& path, std::ostream& err) {
  if (file.Open(path)) return true;
  if (mendora::OpenRefusal(errno) == mendora::Refusal::kHeldByAnotherProcess) {
    err << mendora::RefusalText(mendora::Refusal::kHeldByAnotherProcess) << "\n";
  } else {
    err << path << ": " << std::strerror(errno) << "\n";
  }
  return false;
}

}  // namespace

int Info(const std::string& path, std::ostream& out, std::ostream& err) {
  mendora::DataFile file;
  if (!OpenDataFile(file, path, err)) return 1;
  try {
    mendora::Catalogue catalogue;
    mendora::NullJobControl job;
    bool supported = mendora::DetectVersionAndAnalyse(
        file, [&] { mendora::RunAnalysis(file, catalogue, job); },
        [&](mendora::Refusal refusal) { err << mendora::RefusalText(refusal) << "\n"; });
    if (!supported) return 1;
    out << "version: " << file.Version().Number() << "\n"
        << "database: " << mendora::ToUtf8(catalogue.databaseName) << "\n"
        << "pages: " << file.PageCount() << "\n"
        << "objects: " << catalogue.objects.size() << "\n"
        << "user tables: " << catalogue.userTables.size() << "\n"
        << "columns: " << catalogue.columns.size() << "\n"
        << "index rows: " << catalogue.indexRows.size() << "\n"
        << "table storage: " << catalogue.tableStorage.size() << "\n"
        << "index keys: " << catalogue.indexKeys.size() << "\n"
        << "dependencies: " << catalogue.dependencies.size() << "\n"
        << "check texts: " << catalogue.checkTexts.size() << "\n"
        << "module texts: " << catalogue.moduleTexts.size() << "\n";
  } catch (const mendora::FileError& e) {
    err << e.what() << "\n";
    return 1;
  }
  return 0;
}

int Tree(const std::string& path, std::ostream& out, std::ostream& err) {
  mendora::DataFile file;
  if (!OpenDataFile(file, path, err)) return 1;
  try {
    mendora::Catalogue catalogue;
    mendora::NullJobControl job;
    bool supported = mendora::DetectVersionAndAnalyse(
        file, [&] { mendora::RunAnalysis(file, catalogue, job); },
        [&](mendora::Refusal refusal) { err << mendora::RefusalText(refusal) << "\n"; });
    ui::MemoryTreeControl tree;
    mendora::ObjectHandleList handles;
    mendora::ResetAndBuildObjectTree(tree, catalogue,
                                     supported ? file.Version() : mendora::VersionFlags{},
                                     mendora::FromUtf8(path), handles, &job);
    out << mendora::TreeText(tree);
    if (!supported) return 1;
  } catch (const mendora::FileError& e) {
    err << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace cli
