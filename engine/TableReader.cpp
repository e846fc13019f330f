#include "engine/TableReader.h"

#include <array>
#include <unordered_set>

#include "engine/AllocationMap.h"
#include "engine/ByteReader.h"

namespace mendora {

std::vector<uint64_t> TablePages(const DataFile& file, const Catalogue& catalogue, int64_t tableId,
                                 JobControl* job) {
  const _SYSINDEXES* entry = nullptr;
  for (const auto& r : catalogue.indexRows) {
    if (r.tableId == tableId && r.firstIAM >= 1 && HoldsTableRows(r)) {
      entry = &r;
      break;
    }
  }
  if (!entry) return {};
  AllocationWalk walk = WalkIAM(file, entry->firstIAM, job);
  // 2000 pages carry the table's object id; 2005/2008 pages their unit's.
  uint32_t owner =
      file.Version().HasSysObjectsCatalogue() ? walk.iamObjectId : entry->allocUnitObjId;
  std::vector<uint64_t> pages;
  std::unordered_set<uint64_t> seen;
  for (uint64_t p : ExpandPages(walk.entries)) {
    if (p == 0 || p >= file.PageCount() || !seen.insert(p).second) continue;
    if (job) job->Checkpoint();
    std::array<std::byte, 32> header{};
    if (file.ReadDirect(p * kPageSize, header) < header.size()) continue;
    if (LoadU32(header, kHeaderObjectId) == owner) pages.push_back(p);
  }
  return pages;
}

}  // namespace mendora
