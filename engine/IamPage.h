// The IAM (index allocation map) page: which pages and extents of one 4 GB
// interval of the file belong to one object or allocation unit.
//
// PAGE OFFSET | SIZE   | FIELD
// ------------+--------+-------------------------------------------------------
//          96 | 94     | slot 0: the IAM header record
//         136 | 4 + 2  | start page of the interval this page maps, then its file
//         142 | 8 x 6  | single-page slots: page number u32, file u16; 0 = empty
// slot 1 + 4  | ...    | extent bitmap, to the end of slot 1's fixed part: bit j of
//             |        | byte i (least significant first) set means extent 8i + j
//             |        | of the interval belongs to the object; extent e covers
//             |        | pages start + 8e .. start + 8e + 7
#pragma once

#include <array>
#include <cstdint>

#include "engine/ByteReader.h"

namespace mendora {

inline constexpr size_t kIamStartPage = 136;
inline constexpr size_t kIamSinglePages = 142;
inline constexpr size_t kIamSingleSlotSize = 6;
inline constexpr size_t kIamSingleSlots = 8;

struct IamPage {
  uint32_t startPage = 0;
  uint16_t startFile = 0;
  std::array<uint32_t, kIamSingleSlots> singlePages{};
  std::array<uint16_t, kIamSingleSlots> singleFiles{};
  Bytes extentBitmap;  // inside the page it was decoded from
};

// `lastSlotOffset` is the record offset of the page's last slot (the bitmap
// record); 0 when the page has no slots, which leaves the bitmap empty. The
// bitmap never reaches past the page or past its record's fixed part.
IamPage DecodeIamPage(Bytes page, uint16_t lastSlotOffset);

}  // namespace mendora
