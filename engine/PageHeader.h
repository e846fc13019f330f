// Decoding of the page header fields the engine uses, and torn-page repair.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/ByteReader.h"
#include "engine/PageLayout.h"

namespace mendora {

struct PageHeader {
  uint8_t type = 0;
  uint16_t indexId = 0;
  uint32_t prevPage = 0;
  uint16_t prevFile = 0;
  uint32_t nextPage = 0;
  uint16_t nextFile = 0;
  uint16_t slotCount = 0;
  uint32_t objectId = 0;
  uint32_t thisPage = 0;
};

// `page` must hold at least the 96-byte header; a shorter span gives a zero header.
PageHeader DecodePageHeader(Bytes page);

// The page's slot offsets in slot order. A page whose slot count would run
// the slot array into the header is damaged and yields no slots. Empty slots
// (offset 0) stay in the list; the decoders skip them. A slot repeating an
// offset an earlier slot holds reads as empty: one record is one row.
std::vector<uint16_t> SlotOffsets(Bytes page);
// The same into `offsets`, whose room is kept from page to page.
void SlotOffsetsInto(Bytes page, std::vector<uint16_t>& offsets);

// Where each record of a page must end: records do not overlap, so a record
// ends at the latest where the next record (by offset, whatever its slot)
// begins, and the last one where the slot array begins. A decoder given the
// page cut at that limit cannot take a neighbour's bytes for its own.
class RecordLimits {
 public:
  RecordLimits() = default;
  explicit RecordLimits(const std::vector<uint16_t>& offsets) { Reset(offsets); }
  // The limits of another page's records, keeping this one's room.
  void Reset(const std::vector<uint16_t>& offsets);
  // The page cut at the end the record at `at` may not pass.
  Bytes Bound(Bytes page, uint16_t at) const;

 private:
  std::vector<uint16_t> starts_;  // sorted
  size_t slotArrayStart_ = kPageSize;
};

// True when the page was written with torn-page detection and no checksum:
// the high flag byte has bit 0 set and bits 1, 2 and 3 clear.
bool HasTornBits(Bytes page);

// Puts back the two low bits of the last byte of sectors 1..15 from the
// torn-bits word: bit 2k and 2k+1 of the word are bits 0 and 1 of page byte
// 512k + 511. Sector 0 and bits 0, 1 of the word are not used. Pages without
// torn bits (a checksum page among them) are left exactly as read.
void RepairTornPage(PageBuffer& page);

}  // namespace mendora
