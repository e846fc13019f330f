// The analysis: after the version test has accepted a file, recover its whole
// catalogue. 2000 files are read through the IAM pages of sysobjects,
// syscolumns and sysindexes; 2005/2008 files in one sequential pass over the
// whole file that sorts every page into the system table it belongs to.
#pragma once

#include "engine/Catalogue.h"
#include "engine/DataFile.h"
#include "engine/JobControl.h"
#include "engine/Progress.h"

namespace mendora {

// Empties the catalogue and fills every list, the table layouts and the
// database name. `file` must have passed DataFile::DetectVersion. Calls
// job.Checkpoint() between pages, so a held job waits and a stopped one
// throws JobStopped; a failed read throws FileError. Damaged rows and
// pages are skipped.
void RunAnalysis(const DataFile& file, Catalogue& catalogue, JobControl& job,
                 const ProgressFn& progress = {});

}  // namespace mendora
