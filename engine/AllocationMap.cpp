#include "engine/AllocationMap.h"

#include <unordered_set>

#include "engine/IamPage.h"
#include "engine/PageHeader.h"

namespace mendora {
namespace {

// Appends the extents of the interval the IAM page maps, in the file it
// names; the bitmap is read no further than that file has pages.
void AppendExtents(const IamPage& iam, const DataFile& file, std::vector<AllocationEntry>& out) {
  const uint64_t pageCount = file.PageCountOf(iam.startFile);
  size_t bytes = std::min<size_t>(iam.extentBitmap.size(), pageCount / 64 + 1);
  for (size_t i = 0; i < bytes; ++i) {
    auto b = static_cast<uint8_t>(iam.extentBitmap[i]);
    if (b == 0) continue;
    for (unsigned j = 0; j < 8; ++j) {
      if (!(b & (1u << j))) continue;
      uint64_t first = uint64_t{iam.startPage} + 8 * (8 * uint64_t{i} + j);
      if (first >= pageCount) continue;
      out.push_back({PageKey(static_cast<uint32_t>(first), iam.startFile), true});
    }
  }
}

// The key of single-page slot i; an empty slot stays 0 whatever file it names.
uint64_t SingleKey(const IamPage& iam, size_t i) {
  return iam.singlePages[i] == 0 ? 0 : PageKey(iam.singlePages[i], iam.singleFiles[i]);
}

// Notes the first page of the walk that lies in a data file not found.
void NoteIfMissing(const DataFile& file, uint64_t key, AllocationWalk& walk) {
  if (key != 0 && walk.missingFilePage == 0 && !file.HasFile(FileIdOf(key))) {
    walk.missingFilePage = key;
  }
}

bool AnyExtent(const IamPage& iam) {
  for (std::byte b : iam.extentBitmap) {
    if (b != std::byte{0}) return true;
  }
  return false;
}

}  // namespace

AllocationWalk WalkIAM(const DataFile& file, uint64_t iamPage, JobControl* job,
                       uint64_t chainFallbackFrom) {
  AllocationWalk walk;
  std::unordered_set<uint64_t> seen;
  uint64_t current = iamPage;
  bool first = true;
  // Each interval is mapped once: further IAM pages of the chain that map an
  // interval already mapped add nothing, so a long or looping chain costs
  // what the file holds, not the chain's length times it.
  std::unordered_set<uint64_t> intervals;
  PageBuffer page;
  while (current != 0 && file.HasPage(current) && seen.insert(current).second) {
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
    if (!intervals.insert(PageKey(iam.startPage, iam.startFile)).second) {
      current = PageKey(header.nextPage, header.nextFile);
      continue;
    }
    if (first) {
      if (iam.singlePages[0] == 0 && chainFallbackFrom != 0) {
        walk.entries = NextPageChain(file, chainFallbackFrom);
        return walk;
      }
      for (size_t i = 0; i < kIamSingleSlots; ++i)
        walk.entries.push_back({SingleKey(iam, i), false});
    } else {
      for (size_t i = 0; i < kIamSingleSlots; ++i) {
        if (iam.singlePages[i] != 0) walk.entries.push_back({SingleKey(iam, i), false});
      }
    }
    for (size_t i = 0; i < kIamSingleSlots; ++i) NoteIfMissing(file, SingleKey(iam, i), walk);
    if (!slots.empty()) {
      AppendExtents(iam, file, walk.entries);
      if (AnyExtent(iam)) NoteIfMissing(file, PageKey(iam.startPage, iam.startFile), walk);
    }
    current = PageKey(header.nextPage, header.nextFile);
    first = false;
  }
  NoteIfMissing(file, current, walk);
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
  uint64_t page = first;
  while (page != 0 && file.HasPage(page) && seen.insert(page).second) {
    out.push_back({page, false});
    std::array<std::byte, kHeaderNextFile + 2> header{};
    if (file.ReadPagePrefix(page, header) < header.size()) break;
    page = PageKey(LoadU32(header, kHeaderNextPage), LoadU16(header, kHeaderNextFile));
  }
  return out;
}

}  // namespace mendora
