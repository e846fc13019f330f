#include "engine/AllocationMap.h"

#include <unordered_set>

#include "engine/IamPage.h"
#include "engine/PageHeader.h"

namespace mendora {
namespace {

// Pages a bitmap may name: enough bits for every page of the file.
size_t BitmapBytes(const DataFile& file) {
  return file.PageCount() / 64 + 1;
}

void AppendExtents(const IamPage& iam, size_t maxBytes, uint64_t pageCount,
                   std::vector<AllocationEntry>& out) {
  size_t bytes = std::min(iam.extentBitmap.size(), maxBytes);
  for (size_t i = 0; i < bytes; ++i) {
    auto b = static_cast<uint8_t>(iam.extentBitmap[i]);
    if (b == 0) continue;
    for (unsigned j = 0; j < 8; ++j) {
      if (!(b & (1u << j))) continue;
      uint64_t first = uint64_t{iam.startPage} + 8 * (8 * uint64_t{i} + j);
      if (first >= pageCount) continue;
      out.push_back({first, true});
    }
  }
}

}  // namespace

AllocationWalk WalkIAM(const DataFile& file, uint64_t iamPage, JobControl* job,
                       uint64_t chainFallbackFrom) {
  AllocationWalk walk;
  std::unordered_set<uint64_t> seen;
  const uint64_t pageCount = std::max<uint64_t>(file.PageCount(), 1);
  uint64_t current = iamPage;
  bool first = true;
  // Each interval is mapped once: further IAM pages of the chain that map an
  // interval already mapped add nothing, so a long or looping chain costs
  // what the file holds, not the chain's length times it.
  std::unordered_set<uint32_t> intervals;
  PageBuffer page;
  while (current != 0 && current < pageCount && seen.insert(current).second) {
    if (job) job->Checkpoint();
    file.ReadPage(current, page);
    const std::vector<uint16_t> slots = SlotOffsets(page);
    PageHeader header = DecodePageHeader(page);
    if (first) {
      walk.iamObjectId = header.objectId;
      if (header.prevPage != 0 || header.prevFile != 0) return walk;
    } else if (header.type != kPageTypeIam || header.objectId != walk.iamObjectId) {
      break;  // the chain leads somewhere that is not this object's IAM page
    }
    IamPage iam = DecodeIamPage(page, slots.empty() ? 0 : slots.back());
    if (!intervals.insert(iam.startPage).second) {
      current = header.nextPage;
      continue;
    }
    if (first) {
      if (iam.singlePages[0] == 0 && chainFallbackFrom != 0) {
        walk.entries = NextPageChain(file, chainFallbackFrom);
        return walk;
      }
      for (uint32_t p : iam.singlePages) walk.entries.push_back({p, false});
    } else {
      for (uint32_t p : iam.singlePages) {
        if (p != 0) walk.entries.push_back({p, false});
      }
    }
    if (!slots.empty()) AppendExtents(iam, BitmapBytes(file), pageCount, walk.entries);
    current = header.nextPage;
    first = false;
  }
  return walk;
}

std::vector<uint64_t> ExpandPages(const std::vector<AllocationEntry>& entries) {
  std::vector<uint64_t> pages;
  pages.reserve(entries.size() * 2);
  for (const auto& e : entries) {
    pages.push_back(e.page);
    if (e.extent) {
      for (uint64_t k = 1; k < 8; ++k) pages.push_back(e.page + k);
    }
  }
  return pages;
}

std::vector<AllocationEntry> NextPageChain(const DataFile& file, uint64_t first) {
  std::vector<AllocationEntry> out;
  std::unordered_set<uint64_t> seen;
  const uint64_t pageCount = file.PageCount();
  uint64_t page = first;
  while (page != 0 && page < pageCount && seen.insert(page).second) {
    out.push_back({page, false});
    std::array<std::byte, 4> next{};
    if (file.ReadDirect(page * kPageSize + kHeaderNextPage, next) < next.size()) break;
    page = LoadU32(next, 0);
  }
  return out;
}

}  // namespace mendora
