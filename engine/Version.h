// The on-disk versions the program reads, and the tests that tell them apart.
// Every version-dependent branch asks one of the named predicates below.
#pragma once

#include <cstdint>

namespace mendora {

inline constexpr uint16_t kVersion2000 = 539;
inline constexpr uint16_t kVersion2005 = 611;
inline constexpr uint16_t kVersion2008 = 655;

// Absolute file offset of the version: page 9 (the boot page), byte 100, the
// first field of the boot record after its 4-byte record header.
inline constexpr uint64_t kVersionOffset = 9 * 8192 + 100;

// At most one flag is set; 611 and 655 always take the same branch.
struct VersionFlags {
  bool Version539 = false;
  bool Version611 = false;
  bool Version655 = false;

  bool Any() const { return Version539 || Version611 || Version655; }
  // The 2000 catalogue: sysobjects, syscolumns, sysindexes found through IAM pages.
  bool HasSysObjectsCatalogue() const { return Version539; }
  // The 2005/2008 catalogue: system base tables found by scanning page headers.
  bool HasBaseTableCatalogue() const { return Version611 || Version655; }
  uint16_t Number() const {
    return Version539 ? kVersion2000 : Version611 ? kVersion2005 : Version655 ? kVersion2008 : 0;
  }
};

// The flags for a stored version number; none set for any other number.
inline VersionFlags FlagsForVersion(uint16_t version) {
  VersionFlags f;
  f.Version539 = version == kVersion2000;
  f.Version611 = version == kVersion2005;
  f.Version655 = version == kVersion2008;
  return f;
}

}  // namespace mendora
