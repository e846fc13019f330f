// Finding the pages of one object through its IAM pages, and the next-page
// chain fallback of the 2000 object table.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/DataFile.h"
#include "engine/JobControl.h"

namespace mendora {

// One entry of the allocation list: a single page, or the first page of an
// eight-page extent. Pages are named by their keys (DataFile.h): an IAM page
// maps pages of the data file its interval names, and the chain may go on in
// another file.
struct AllocationEntry {
  uint64_t page = 0;
  bool extent = false;
};

struct AllocationWalk {
  std::vector<AllocationEntry> entries;
  uint32_t iamObjectId = 0;  // header object id of the first IAM page
  // The first page the object's allocation names in a data file that was
  // not found beside the primary file (the chain's next IAM page, a single
  // page, or an interval whose extents are listed); 0 when none. The
  // entries then hold only what the files found give.
  uint64_t missingFilePage = 0;
};

// The allocation list of the object whose first IAM page is `iamPage`: the
// eight single-page slots (empty ones included, as page 0), then the extents
// of its bitmap; then the single pages and extents of every further IAM page
// of the chain, each mapping the interval that starts at the page it records.
// A first page whose previous-page field is set is not the head of a chain and
// contributes nothing. A page seen before ends the chain. When the object's
// first single-page slot is empty and `chainFallbackFrom` is not 0, the list
// is the next-page chain from that page instead. A chain that goes on into a
// data file that was not found ends there, and says so (missingFilePage).
AllocationWalk WalkIAM(const DataFile& file, uint64_t iamPage, JobControl* job = nullptr,
                       uint64_t chainFallbackFrom = 0);

// The page numbers of the allocation list: single pages as they are, each
// extent as its eight pages.
std::vector<uint64_t> ExpandPages(const std::vector<AllocationEntry>& entries);

// The next-page chain from `first`: `first`, then each non-zero next-page field
// in turn, ending at a page seen before or past the end of the file.
std::vector<AllocationEntry> NextPageChain(const DataFile& file, uint64_t first);

}  // namespace mendora
