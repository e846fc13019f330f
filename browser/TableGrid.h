// Filling the grid with one table's rows: a header per column in colid order
// (the column's name, 100 pixels wide), then every live row in stored order,
// each cell in GridText's words.
//
// Rows reach the list in batches (one list call per batch), the first of
// them small so that the first rows show at once, later ones larger or every
// `flushEvery`, whichever comes first. The table's recorded row count only
// tells the progress how far the load is: a stale count never hides rows that
// are in the file.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/Catalogue.h"
#include "engine/DataFile.h"
#include "engine/JobControl.h"
#include "engine/TableReader.h"
#include "ui/ListControl.h"

namespace mendora {

struct TableGridOptions {
  size_t firstBatchRows = 64;
  size_t batchRows = 8192;
  std::chrono::milliseconds flushEvery{50};
  // Called after each batch with the rows shown so far and the recorded count.
  std::function<void(uint64_t shown, uint64_t recorded)> progress;
};

struct TableGridResult {
  uint64_t rows = 0;
  uint64_t recordedRows = 0;  // the catalogue's count, 0 when it has none
  bool readable = false;      // the table has columns and rows to read
  // Why the rows of a known table are not read (TableReader::NotReadReason);
  // the grid shows it in place of rows.
  std::string notReadReason;
};

// The recorded row count of the table's rows (its heap or clustered index).
uint64_t RecordedRowCount(const Catalogue& catalogue, int64_t tableId);

// Every row the reader gives, into the list in batches after its last row;
// returns how many. The reader's columns are the list's, in that order.
uint64_t LoadRows(TableReader& reader, ui::ListControl& list, JobControl& job,
                  const TableGridOptions& options, uint64_t recordedRows);

// Empties the list, puts up the table's column headers and adds its rows.
// job.Checkpoint() runs between pages and between batches. Throws FileError
// when a read fails and JobStopped when the job is stopped; the rows shown
// until then stay.
TableGridResult LoadTable(const DataFile& file, const Catalogue& catalogue, int64_t tableId,
                          ui::ListControl& list, JobControl& job,
                          const TableGridOptions& options = {});

}  // namespace mendora
