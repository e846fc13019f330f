// The grid fill, run on its own thread: after a short wait the list is
// emptied, the status-bar bar starts sweeping, the table's headers and rows
// go into the grid in batches, and at the end the bar shows full a moment and
// goes. Everything it shows goes through the window thread; the catalogue and
// the data file are the document's, which the window leaves alone while a
// grid fill runs (Open is disabled and label clicks are ignored meanwhile).
#pragma once

#include <QProgressBar>
#include <QTimer>
#include <cstdint>

#include "shell/CMendoraSqlDoc.h"
#include "shell/JobThread.h"
#include "ui/ListControl.h"

namespace shell {

// Filled on the window thread when the fill starts; the job keeps its own copy.
struct GridFillParams {
  int64_t tableId = 0;
  int startWaitMs = 500;  // before the list is emptied
  int endWaitMs = 50;     // after the last row, before the bar shows full
  int endShowMs = 100;    // how long the bar shows full
  int progressTimerMs = 50;
};

// The window-thread objects the job reaches, always through the job thread.
struct GridFillTargets {
  ui::ListControl& list;
  QTimer& progressTimer;
  QProgressBar& progressBar;
  CMendoraSqlDoc& doc;
};

void RunGridFillJob(JobThread& job, const GridFillParams& params, const GridFillTargets& targets);

}  // namespace shell
