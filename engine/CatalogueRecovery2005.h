// The catalogue of a 2005 or 2008 (version 611, 655) file: one sequential pass
// over the whole file sorts every allocated page of a wanted system base table
// into its table, and the rows are joined afterwards.
#pragma once

#include "engine/Catalogue.h"
#include "engine/DataFile.h"
#include "engine/JobControl.h"
#include "engine/Progress.h"

namespace mendora {

// Fills every list of an emptied catalogue but the database name. A page
// counts when its header names a wanted system table with an index id below
// 256, it is a data page, and the PFS page of its interval marks it allocated
// (a missing or unreadable PFS page leaves the header alone to decide).
void RecoverCatalogue2005(const DataFile& file, Catalogue& catalogue, JobControl& job,
                          const ProgressFn& progress);

}  // namespace mendora
