// The 8192-byte page and its 96-byte header.
//
// OFFSET | SIZE | FIELD          | NOTES
// -------+------+----------------+-----------------------------------------------
//      0 |    1 | header version |
//      1 |    1 | page type      | 1 data, 2 index, 3 text/LOB, 4 text tree, 8 GAM, 10 IAM, 11 PFS,
//      13 boot 2 |    1 | type flags     | 3 |    1 | level          | 4 |    2 | flag bits      |
//      0x0100 torn bits written, 0x0200 checksum 6 |    2 | index id       | 2005/2008: 256 and
//      above for user allocation units 8 |    4 | previous page  | 0 = none
//     12 |    2 | previous file  |
//     14 |    2 | min length     |
//     16 |    4 | next page      | 0 = none
//     20 |    2 | next file      |
//     22 |    2 | slot count     |
//     24 |    4 | object id      | 2000: the owning table; 2005/2008: bits 16..47 of the
//        |      |                | owning allocation unit id
//     28 |    2 | free count     |
//     30 |    2 | free data      |
//     32 |    4 | this page      | the page's own number: another number on an
//        |      |                | allocated page means damage or a misplaced page
//     36 |    2 | this file      |
//     60 |    4 | torn bits      | or the checksum when flag 0x0200 is set
//
// The slot array grows backwards from the end: slot k is the 16-bit record
// offset at page offset 8190 - 2k.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace mendora {

inline constexpr size_t kPageSize = 8192;
inline constexpr size_t kPageHeaderSize = 96;
inline constexpr size_t kSectorSize = 512;

inline constexpr size_t kHeaderPageType = 1;
inline constexpr size_t kHeaderFlagBits = 4;
inline constexpr size_t kHeaderIndexId = 6;
inline constexpr size_t kHeaderPrevPage = 8;
inline constexpr size_t kHeaderPrevFile = 12;
inline constexpr size_t kHeaderNextPage = 16;
inline constexpr size_t kHeaderNextFile = 20;
inline constexpr size_t kHeaderSlotCount = 22;
inline constexpr size_t kHeaderObjectId = 24;
inline constexpr size_t kHeaderThisPage = 32;
inline constexpr size_t kHeaderTornBits = 60;

inline constexpr uint8_t kPageTypeData = 1;
inline constexpr uint8_t kPageTypeText = 3;
inline constexpr uint8_t kPageTypeTextTree = 4;  // the inner nodes of large values
inline constexpr uint8_t kPageTypeIam = 10;
inline constexpr uint8_t kPageTypePfs = 11;
inline constexpr uint8_t kPageTypeBoot = 13;
inline constexpr uint8_t kPageTypeFileHeader = 15;

// The most slots a page can hold: the slot array may not run into the header.
inline constexpr size_t kMaxSlots = (kPageSize - kPageHeaderSize) / 2;

using PageBuffer = std::array<std::byte, kPageSize>;

}  // namespace mendora
