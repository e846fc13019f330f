// Reading the rows of one user table.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/DataFile.h"
#include "engine/JobControl.h"

namespace mendora {

// The pages holding one user table's rows, in allocation order without
// repeats: the pages of the table's in-row data found through its IAM chain,
// keeping only those whose header says they belong to it.
std::vector<uint64_t> TablePages(const DataFile& file, const Catalogue& catalogue, int64_t tableId,
                                 JobControl* job = nullptr);

}  // namespace mendora
