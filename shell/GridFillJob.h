// The grid fill, run on its own thread: the table's counting pass. The grid
// itself reads the rows on screen from the page-to-row index (TableRowModel),
// so the job never holds rows: it goes through the table's pages, counts each
// page's rows and hands the pages over to the window, the first at once and
// then at most every `flushMs`, so that the first rows show within
// milliseconds and the row count grows as the count goes. The status-bar bar
// sweeps meanwhile and shows full at the end. When asked, the count is
// followed by a read of the rows the table's pages still hold though no
// live row is theirs (deleted, superseded, on freed pages), whose index is
// handed over at its end. Everything it shows goes
// through the window thread; the catalogue and the data file are the
// document's, which the window leaves alone while a grid fill runs.
#pragma once

#include <QProgressBar>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <vector>

#include "browser/TableRowSource.h"
#include "shell/CMendoraSqlDoc.h"
#include "shell/JobThread.h"

namespace shell {

// Filled on the window thread when the fill starts; the job keeps its own copy.
struct GridFillParams {
  int64_t tableId = 0;
  int flushMs = 50;  // the longest wait between two hand-overs
  int progressTimerMs = 50;
  // Called on the job's thread after each hand-over with the rows counted.
  std::function<void(uint64_t rows)> progress;
  // Once counted, the table is read again for the rows a plain read leaves
  // behind (DeletedRowReader), and what it finds handed over.
  bool findDeletedRows = false;
};

// The window-thread objects the job reaches, always through the job thread.
struct GridFillTargets {
  QTimer& progressTimer;
  QProgressBar& progressBar;
  CMendoraSqlDoc& doc;
  // Called on the window thread with the next pages, and once more with
  // `complete` set when every page has been counted.
  std::function<void(const std::vector<mendora::PageRowCount>& pages, bool complete)> onPages;
  // Called on the window thread with the table's deleted rows, when asked,
  // and what reading the table skipped.
  std::function<void(const mendora::DeletedRowsIndex& deleted, const mendora::DamageReport& damage)>
      onDeletedRows;
};

void RunGridFillJob(JobThread& job, const GridFillParams& params, const GridFillTargets& targets);

}  // namespace shell
