// The on-disk versions the program reads, and the tests that tell them apart.
// Every version-dependent branch asks one of the named predicates below.
//
// The released versions and the catalogue each is read through:
//   VERSION | RELEASE               | CATALOGUE
//       539 | SQL Server 2000       | sysobjects, syscolumns, sysindexes
//       611 | SQL Server 2005       | system base tables; layouts in
//           |                       | sysrowsetcolumns and syshobtcolumns
//       655 | SQL Server 2008       | system base tables; layouts in sysrscols
//  660..665 | SQL Server 2008 R2    | as 655
//       706 | SQL Server 2012       | as 655
//       782 | SQL Server 2014       | as 655
//       852 | SQL Server 2016       | as 655
//  868, 869 | SQL Server 2017       | as 655
//       904 | SQL Server 2019       | as 655
//       957 | SQL Server 2022       | as 655
// Every other number is refused: the pre-release builds between them (590,
// 598, 607, 684, 851, 895..902, 950, ...) wrote catalogues that changed from
// build to build, and numbers past 957 have not been seen with content.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace mendora {

inline constexpr uint16_t kVersion2000 = 539;
inline constexpr uint16_t kVersion2005 = 611;
inline constexpr uint16_t kVersion2008 = 655;

// Absolute file offset of the version: page 9 (the boot page), byte 100, the
// first field of the boot record after its 4-byte record header.
inline constexpr uint64_t kVersionOffset = 9 * 8192 + 100;

struct ReleasedVersion {
  uint16_t number;
  std::string_view release;
};

inline constexpr std::array<ReleasedVersion, 13> kReleasedVersions{{
    {539, "SQL Server 2000"},
    {611, "SQL Server 2005"},
    {655, "SQL Server 2008"},
    {660, "SQL Server 2008 R2"},
    {661, "SQL Server 2008 R2"},
    {665, "SQL Server 2008 R2"},
    {706, "SQL Server 2012"},
    {782, "SQL Server 2014"},
    {852, "SQL Server 2016"},
    {868, "SQL Server 2017"},
    {869, "SQL Server 2017"},
    {904, "SQL Server 2019"},
    {957, "SQL Server 2022"},
}};

// The release that writes `version`; empty for a number no release writes.
inline constexpr std::string_view ReleaseName(uint16_t version) {
  for (const auto& v : kReleasedVersions) {
    if (v.number == version) return v.release;
  }
  return {};
}

// At most one flag is set. 611, 655 and every later release take the same
// branch; 611 alone keeps its column layouts in other tables.
struct VersionFlags {
  bool Version539 = false;
  bool Version611 = false;
  bool Version655 = false;
  bool VersionLater = false;  // a release after 2008: 660 .. 957
  uint16_t number = 0;        // the stored number when a flag is set

  bool Any() const { return Version539 || Version611 || Version655 || VersionLater; }
  // The 2000 catalogue: sysobjects, syscolumns, sysindexes found through IAM pages.
  bool HasSysObjectsCatalogue() const { return Version539; }
  // The 2005 and later catalogue: system base tables found by scanning page headers.
  bool HasBaseTableCatalogue() const { return Version611 || Version655 || VersionLater; }
  // Rowset column layouts in sysrscols (2008 on) rather than in
  // sysrowsetcolumns and syshobtcolumns (2005).
  bool HasRsColsLayouts() const { return Version655 || VersionLater; }
  uint16_t Number() const { return Any() ? number : 0; }
  std::string_view Release() const { return ReleaseName(Number()); }
};

// The flags for a stored version number; none set for any other number.
inline VersionFlags FlagsForVersion(uint16_t version) {
  VersionFlags f;
  if (ReleaseName(version).empty()) return f;
  f.number = version;
  f.Version539 = version == kVersion2000;
  f.Version611 = version == kVersion2005;
  f.Version655 = version == kVersion2008;
  f.VersionLater = version > kVersion2008;
  return f;
}

}  // namespace mendora
