// A whole small data file: the version test, the analysis, the object tree
// and every row of every table with its large values, live and deleted (the
// gap walk over every page read and the table's freed pages), and the file's
// damage report. Reads are bounded by
// the file; what matters is that nothing runs away or reads astray.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "browser/ObjectTree.h"
#include "engine/Analysis.h"
#include "engine/DataFile.h"
#include "engine/DeletedRowReader.h"
#include "engine/FileDamage.h"
#include "engine/TableReader.h"
#include "ui/MemoryTreeControl.h"

using namespace mendora;

namespace {

// In a folder of its own: the version test looks at every file beside the
// data file for the database's other data files.
std::string TempPath() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    const std::string folder =
        std::string(dir ? dir : "/tmp") + "/mendora-fuzz-" + std::to_string(getpid());
    mkdir(folder.c_str(), 0700);
    return folder + "/file.mdf";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = TempPath();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  DataFile file;
  if (!file.Open(path)) return 0;
  Catalogue catalogue;
  NullJobControl job;
  const bool supported = DetectVersionAndAnalyse(
      file, [&] { RunAnalysis(file, catalogue, job); }, nullptr);
  ui::MemoryTreeControl tree;
  ObjectHandleList handles;
  ResetAndBuildObjectTree(tree, catalogue, supported ? file.Version() : VersionFlags{}, u"file",
                          handles, &job);
  if (!supported) return 0;
  const std::vector<FreedPage> freed = FindFreedDataPages(file, &job);
  for (const auto& table : catalogue.userTables) {
    DeletedRowReader reader(file, catalogue, table.id, &freed);
    size_t rows = 0;
    reader.Read(
        job, [&](const RowValues&) { return ++rows < 10000; },
        [&](const RecoveredRow&) { return ++rows < 20000; });
  }
  DamageReport damage;
  CollectFileDamage(file, catalogue, damage, job);
  return 0;
}
