#include "engine/PageHeader.h"

#include <algorithm>
#include <bitset>

namespace mendora {

PageHeader DecodePageHeader(Bytes page) {
  PageHeader h;
  if (page.size() < kPageHeaderSize) return h;
  h.type = static_cast<uint8_t>(page[kHeaderPageType]);
  h.indexId = LoadU16(page, kHeaderIndexId);
  h.prevPage = LoadU32(page, kHeaderPrevPage);
  h.prevFile = LoadU16(page, kHeaderPrevFile);
  h.nextPage = LoadU32(page, kHeaderNextPage);
  h.nextFile = LoadU16(page, kHeaderNextFile);
  h.slotCount = LoadU16(page, kHeaderSlotCount);
  h.objectId = LoadU32(page, kHeaderObjectId);
  h.thisPage = LoadU32(page, kHeaderThisPage);
  return h;
}

std::vector<uint16_t> SlotOffsets(Bytes page) {
  std::vector<uint16_t> slots;
  SlotOffsetsInto(page, slots);
  return slots;
}

void SlotOffsetsInto(Bytes page, std::vector<uint16_t>& slots) {
  slots.clear();
  if (page.size() < kPageSize) return;
  const uint16_t count = LoadU16(page, kHeaderSlotCount);
  if (count == 0 || count > kMaxSlots) return;
  slots.reserve(count);
  std::bitset<kPageSize> seen;
  for (uint16_t k = 0; k < count; ++k) {
    uint16_t at = LoadU16(page, kPageSize - 2 - 2 * k);
    if (at != 0 && at < kPageSize) {
      if (seen[at])
        at = 0;
      else
        seen[at] = true;
    }
    slots.push_back(at);
  }
}

void RecordLimits::Reset(const std::vector<uint16_t>& slots) {
  slotArrayStart_ = kPageSize - 2 * slots.size();
  starts_.clear();
  for (uint16_t at : slots) {
    if (at != 0) starts_.push_back(at);
  }
  std::sort(starts_.begin(), starts_.end());
}

Bytes RecordLimits::Bound(Bytes page, uint16_t at) const {
  auto next = std::upper_bound(starts_.begin(), starts_.end(), at);
  size_t limit = next == starts_.end() ? slotArrayStart_ : *next;
  // A record standing in the slot array is damage; the page bounds it then.
  if (limit <= at) limit = page.size();
  return page.first(std::min(limit, page.size()));
}

bool HasTornBits(Bytes page) {
  if (page.size() < kPageHeaderSize) return false;
  auto high = static_cast<uint8_t>(page[kHeaderFlagBits + 1]);
  return (high & 0x01) != 0 && (high & 0x0E) == 0;
}

void RepairTornPage(PageBuffer& page) {
  if (!HasTornBits(page)) return;
  uint32_t word = LoadU32(page, kHeaderTornBits);
  for (unsigned k = 1; k < kPageSize / kSectorSize; ++k) {
    size_t at = kSectorSize * k + kSectorSize - 1;
    auto saved = static_cast<uint8_t>((word >> (2 * k)) & 0x3);
    auto b = static_cast<uint8_t>(page[at]);
    page[at] = static_cast<std::byte>((b & 0xFC) | saved);
  }
}

}  // namespace mendora
