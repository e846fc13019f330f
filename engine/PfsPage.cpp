#include "engine/PfsPage.h"

#include "engine/PageHeader.h"

namespace mendora {

PfsPage DecodePfsPage(Bytes page, uint64_t pageNumber) {
  PfsPage pfs;
  pfs.interval = PfsIntervalOf(pageNumber);
  if (page.size() <= kPfsBytes || DecodePageHeader(page).type != kPageTypePfs) return pfs;
  pfs.bytes.reserve(page.size() - kPfsBytes);
  for (size_t b = kPfsBytes; b < page.size(); ++b)
    pfs.bytes.push_back(static_cast<uint8_t>(page[b]));
  return pfs;
}

bool PfsMap::MayBeAllocated(uint64_t pageNumber) {
  const uint64_t interval = PfsIntervalOf(pageNumber);
  if (!loaded_ || current_.interval != interval) {
    const uint64_t pfsPage = PfsPageOf(pageNumber);
    PageBuffer page;
    file_.ReadPage(pfsPage, page);
    current_ = DecodePfsPage(page, pfsPage);
    loaded_ = true;
  }
  return current_.IsAllocated(pageNumber) != false;
}

}  // namespace mendora
