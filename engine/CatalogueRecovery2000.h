// The catalogue of a 2000 (version 539) file, read through the IAM pages of
// sysobjects, syscolumns and sysindexes.
#pragma once

#include <cstdint>

#include "engine/Catalogue.h"
#include "engine/DataFile.h"
#include "engine/JobControl.h"
#include "engine/Progress.h"

namespace mendora {

// IAM pages of the 2000 system tables, and the first page of sysobjects for
// the next-page chain when its IAM page lists no single page.
inline constexpr uint64_t kSysObjectsIam2000 = 10;
inline constexpr uint64_t kSysColumnsIam2000 = 26;
inline constexpr uint64_t kSysIndexesIam2000 = 13;
inline constexpr uint64_t kSysObjectsFirstPage2000 = 8;

// Fills the objects, user tables, columns, index rows, table storage and
// layouts of an emptied catalogue. Rows are taken from pages that carry the
// table's 2000 object id or its 2005/2008 one; damaged rows are skipped.
void RecoverCatalogue2000(const DataFile& file, Catalogue& catalogue, JobControl& job,
                          const ProgressFn& progress);

}  // namespace mendora
