#include "engine/IndexEntry.h"

namespace mendora {

namespace {

constexpr uint16_t kTextImageIndexId = 255;
constexpr uint8_t kHypothetical2000 = 0x20;
constexpr uint8_t kStatistics2000 = 0x40;
constexpr uint8_t kRealIndex2005 = 0x01;

}  // namespace

bool IsIndexEntry(const _SYSINDEXES& row, const VersionFlags& version) {
  if (row.indid == 0) return false;
  if (version.HasSysObjectsCatalogue()) {
    return row.indid != kTextImageIndexId &&
           (row.status & (kHypothetical2000 | kStatistics2000)) == 0;
  }
  if (version.HasBaseTableCatalogue()) return (row.status & kRealIndex2005) != 0;
  return false;
}

}  // namespace mendora
