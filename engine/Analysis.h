// The analysis: after the version test has accepted a file, recover its whole
// catalogue. 2000 files are read through the IAM pages of sysobjects,
// syscolumns and sysindexes; 2005/2008 files in one sequential pass over the
// whole file that sorts every page into the system table it belongs to.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/DataFile.h"
#include "engine/JobControl.h"

namespace mendora {

// IAM pages of the 2000 system tables, and the first page of sysobjects for
// the next-page chain when its IAM page lists no single page.
inline constexpr uint64_t kSysObjectsIam2000 = 10;
inline constexpr uint64_t kSysColumnsIam2000 = 26;
inline constexpr uint64_t kSysIndexesIam2000 = 13;
inline constexpr uint64_t kSysObjectsFirstPage2000 = 8;

using ProgressFn = std::function<void(int percent)>;

// Empties the catalogue and fills every list, the table layouts and the
// database name. `file` must have passed DataFile::DetectVersion. Calls
// job.Checkpoint() between pages, so a held job waits and a stopped one
// throws JobStopped; a failed read throws FileError. Damaged rows and
// pages are skipped.
void RunAnalysis(DataFile& file, Catalogue& catalogue, JobControl& job,
                 const ProgressFn& progress = {});

// The database name from the 128 UTF-16 units of the boot page's name field:
// padding cut, blanks made "_".
std::u16string CutDatabaseName(std::u16string_view units);
std::u16string ReadDatabaseName(DataFile& file);

// The pages holding one user table's rows, in allocation order without
// repeats: the pages of the table's in-row data found through its IAM chain,
// keeping only those whose header says they belong to it.
std::vector<uint64_t> TablePages(DataFile& file, const Catalogue& catalogue, int64_t tableId,
                                 JobControl* job = nullptr);

}  // namespace mendora
