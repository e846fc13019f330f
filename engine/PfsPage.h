// The PFS (page free space) page: one byte for each page of its interval.
// The first PFS page is page 1 and covers pages 0 to 8087; after it there is
// one at every multiple of 8088, covering that page and the 8087 after it.
//
// PAGE OFFSET | SIZE   | FIELD
// ------------+--------+-------------------------------------------------------
//          96 | 4      | record header of the PFS record
//         100 | 8088   | one byte per page of the interval (as far as the page
//             |        | holds them); bit 0x40 set when the page is allocated
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/ByteReader.h"
#include "engine/DataFile.h"

namespace mendora {

inline constexpr uint64_t kPfsInterval = 8088;
inline constexpr size_t kPfsBytes = 100;
inline constexpr uint8_t kPfsAllocated = 0x40;

// Every data file has PFS pages of its own; pages are named by their keys
// (DataFile.h), and a PFS page only speaks for pages of its own file.

// The PFS page whose interval holds the page with this key, in the same file.
inline uint64_t PfsPageOf(uint64_t key) {
  const uint32_t page = PageNumberOf(key);
  return PageKey(page < kPfsInterval ? 1 : page - page % kPfsInterval, FileIdOf(key));
}

// The interval of a page: its file and its page number / kPfsInterval.
inline uint64_t PfsIntervalOf(uint64_t key) {
  return (uint64_t{FileIdOf(key)} << 32) | (PageNumberOf(key) / kPfsInterval);
}

struct PfsPage {
  uint64_t interval = 0;       // PfsIntervalOf the page
  std::vector<uint8_t> bytes;  // the allocation bytes; empty when the page is no PFS page

  // Whether the PFS page marks the page with this key allocated; nothing
  // when the page is outside what this PFS page records (another interval,
  // past its bytes, or no readable PFS page at all), so the caller decides
  // on other grounds.
  std::optional<bool> IsAllocated(uint64_t pageNumber) const {
    if (bytes.empty() || PfsIntervalOf(pageNumber) != interval) return std::nullopt;
    const size_t at = PageNumberOf(pageNumber) % kPfsInterval;
    if (at >= bytes.size()) return std::nullopt;
    return (bytes[at] & kPfsAllocated) != 0;
  }
};

// `page` is the page read at `pageNumber`; its bytes stay empty when its
// header does not say it is a PFS page.
PfsPage DecodePfsPage(Bytes page, uint64_t pageNumber);

// The PFS pages of a file, read as they are asked for; the interval asked for
// last is kept.
class PfsMap {
 public:
  explicit PfsMap(const DataFile& file) : file_(file) {}

  // False only when a readable PFS page marks the page free: without one the
  // page is judged on its header alone.
  bool MayBeAllocated(uint64_t pageNumber);

 private:
  const DataFile& file_;
  PfsPage current_;
  bool loaded_ = false;
};

}  // namespace mendora
