// One table's rows to a CSV file the user names, from the window: the CSV
// save's writer and format (CsvWriter), one file, no schema.
//
// The rows go to a new file beside the destination ("<name>.partial"), which
// takes the destination's name only once every row is written: an existing
// file the user agreed to replace stays whole until then, and a stopped or
// failed export leaves nothing behind.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/Catalogue.h"
#include "engine/DataFile.h"
#include "engine/JobControl.h"

namespace mendora {

struct TableCsvResult {
  uint64_t rows = 0;
  std::string error;  // empty when the file was written
};

// Writes the table's rows to `path`; `progress` gets the rows written so far
// every few thousand rows. Throws JobStopped when the job is stopped (the
// partial file is removed).
TableCsvResult ExportTableCsv(const DataFile& file, const Catalogue& catalogue, int64_t tableId,
                              const std::string& path, JobControl& job,
                              const std::function<void(uint64_t rows)>& progress = {});

}  // namespace mendora
