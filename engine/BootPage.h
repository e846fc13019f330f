// The boot page (page 9).
//
// PAGE OFFSET | SIZE   | FIELD
// ------------+--------+-------------------------------------------------------
//          96 | 4      | record header of the boot record
//         100 | 2      | on-disk version: 539 (2000), 611 (2005), 655 (2008)
//         148 | 256    | database name: 128 UTF-16 units, padded
//         488 | 4      | the database's default collation id
//         612 | 4 + 2  | first page of sysindexes (539) or sysallocunits (611,
//             |        | 655), then its file id
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/ByteReader.h"
#include "engine/DataFile.h"

namespace mendora {

inline constexpr uint64_t kBootPage = 9;
inline constexpr size_t kBootVersion = 100;
inline constexpr size_t kBootName = 148;
inline constexpr size_t kBootNameUnits = 128;
inline constexpr size_t kBootFirstSysPage = 612;
inline constexpr size_t kBootCollation = 488;

struct BootPage {
  uint16_t version = 0;
  std::u16string name;  // all 128 units as stored, padding included
  uint32_t firstSysPage = 0;
  uint32_t collation = 0;
};

BootPage DecodeBootPage(Bytes page);

// The database name from the 128 UTF-16 units of the boot page's name field:
// padding cut, blanks made "_".
std::u16string CutDatabaseName(std::u16string_view units);
BootPage ReadBootPage(const DataFile& file);

}  // namespace mendora
