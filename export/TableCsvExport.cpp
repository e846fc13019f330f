#include "export/TableCsvExport.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "engine/FileError.h"
#include "engine/TableReader.h"
#include "export/CsvWriter.h"

namespace mendora {
namespace {

// Removes the partial file unless it has been renamed.
struct PartialFile {
  std::string path;
  bool kept = false;
  ~PartialFile() {
    if (!kept) std::remove(path.c_str());
  }
};

}  // namespace

TableCsvResult ExportTableCsv(const DataFile& file, const Catalogue& catalogue, int64_t tableId,
                              const std::string& path, JobControl& job,
                              const std::function<void(uint64_t rows)>& progress) {
  TableCsvResult result;
  const _SYSOBJECTS* table = nullptr;
  for (const auto& t : catalogue.userTables) {
    if (t.id == tableId) table = &t;
  }
  TableReader reader(file, catalogue, tableId);
  if (!table || reader.Columns().empty()) {
    result.error = "The table's columns are not known";
    return result;
  }
  if (!reader.NotReadReason().empty()) {
    result.error = reader.NotReadReason();
    return result;
  }
  SaveNotes notes;
  CsvWriter writer("", catalogue, notes);
  // A file of that name already there is left alone: the export fails.
  PartialFile partial{path + ".partial", true};
  writer.SetTableFile(partial.path);
  if (writer.BeginTable(*table, reader.Columns()).empty()) {
    result.error = notes.failures.empty() ? "Cannot create " + partial.path : notes.failures[0];
    return result;
  }
  partial.kept = false;
  bool ok = true;
  reader.Read(job, [&](const RowValues& row) {
    ok = writer.WriteRow(row);
    if (ok && ++result.rows % 4096 == 0) {
      writer.Flush();
      if (progress) progress(result.rows);
    }
    return ok;
  });
  writer.EndTable();
  if (!ok || !notes.failures.empty()) {
    result.error = notes.failures.empty() ? "Cannot write " + partial.path : notes.failures[0];
    return result;
  }
  std::error_code error;
  std::filesystem::rename(partial.path, path, error);
  if (error) {
    result.error = "Cannot rename " + partial.path + " to " + path + ": " + error.message();
    return result;
  }
  partial.kept = true;
  if (progress) progress(result.rows);
  return result;
}

}  // namespace mendora
