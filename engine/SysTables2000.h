// Rows of the 2000 (version 539) system tables sysobjects, syscolumns and
// sysindexes. Each decoder takes the page and a slot's record offset and gives
// the row's record, or nothing when the row is not one of its table's or is
// damaged. Every read stays inside the page.
//
// sysobjects (object id 1), row header 30 00 2A 00
//   OFFSET | SIZE | FIELD
//        4 | 4    | id
//        8 | 2    | xtype, two single-byte characters ("U ", "PK", ...)
//       12 | 2    | uid
//       14 | 2    | info
//       16 | 4    | status; of a foreign key or check: 0x100 disabled,
//          |      | 0x800 not trusted
//       20 | 4    | base_schema_ver
//       24 | 4    | replinfo
//       28 | 4    | parent_obj
//       32 | 8    | crdate
//       42 | 2    | column count; the name is the first variable column
//
// syscolumns (object id 3), row header 30 00 2E 00
//        4 | 4    | id of the table
//        8 | 1    | xtype
//        9 | 1    | typestat: bit 0x01 NOT NULL
//       10 | 2    | xusertype: the column's own type (an alias type's id)
//       12 | 2    | length
//       14 | 1    | xprec
//       15 | 1    | xscale
//       16 | 2    | colid
//       18 | 2    | xoffset: >0 fixed offset in the row, <0 minus the 1-based
//          |      | variable column number, 0 not stored (computed)
//       20 | 1    | bitpos: bit of a bit column within its byte
//       22 | 2    | colstat: 0x0001 identity, 0x0004 computed
//       24 | 4    | cdefault: the object id of the column's default
//       38 | 4    | collation id
//       46 | 2    | column count; the name is the first variable column,
//          |      | an identity column's autoval (ReadIdentityValue) the second
//
// sysindexes (object id 2), no row-header test
//        4 | 4    | id of the table
//        8 | 4    | status: 0x20 hypothetical, 0x40 statistics
//       12 | 4+2  | first page, file
//       18 | 2    | indid: 0 heap, 1 clustered, 2..250 nonclustered, 255 text/image
//       44 | 8    | rowcnt (meaningful on the indid 0 or 1 row)
//       68 | 4+2  | first IAM page, file
//          |      | the name is the second variable column
#pragma once

#include <cstdint>
#include <optional>

#include "engine/ByteReader.h"
#include "engine/CatalogueRecords.h"

namespace mendora {

inline constexpr uint32_t kSysObjects2000 = 1;
inline constexpr uint32_t kSysIndexes2000 = 2;
inline constexpr uint32_t kSysColumns2000 = 3;

inline constexpr uint32_t kObjectRowHeader2000 = 0x002A0030;
inline constexpr uint32_t kColumnRowHeader2000 = 0x002E0030;

// Field offsets from the start of each row, as in the tables above.
namespace sysobjects2000 {
inline constexpr size_t kHeader = 0;
inline constexpr size_t kId = 4;
inline constexpr size_t kType = 8;
inline constexpr size_t kTypeSize = 2;
inline constexpr size_t kOwner = 12;
inline constexpr size_t kStatus = 16;
inline constexpr uint32_t kConstraintDisabled = 0x100;
inline constexpr uint32_t kConstraintNotTrusted = 0x800;
inline constexpr size_t kParent = 28;
inline constexpr size_t kNameVariable = 0;
}  // namespace sysobjects2000

namespace syscolumns2000 {
inline constexpr size_t kHeader = 0;
inline constexpr size_t kTableId = 4;
inline constexpr size_t kXtype = 8;
inline constexpr size_t kTypeStat = 9;
inline constexpr size_t kLength = 12;
inline constexpr size_t kPrecision = 14;
inline constexpr size_t kScale = 15;
inline constexpr size_t kColid = 16;
inline constexpr size_t kXoffset = 18;
inline constexpr size_t kBitPos = 20;
inline constexpr size_t kCollation = 38;
inline constexpr size_t kUserType = 10;
inline constexpr size_t kColStat = 22;
inline constexpr uint16_t kColStatIdentity = 0x0001;
inline constexpr uint16_t kColStatComputed = 0x0004;
inline constexpr size_t kDefault = 24;
inline constexpr size_t kNameVariable = 0;
inline constexpr size_t kIdentityVariable = 1;
}  // namespace syscolumns2000

namespace sysindexes2000 {
inline constexpr size_t kTableId = 4;
inline constexpr size_t kStatus = 8;
inline constexpr size_t kFirstPage = 12;
inline constexpr size_t kFirstFile = 16;
inline constexpr size_t kIndid = 18;
inline constexpr size_t kRowCount = 44;
inline constexpr size_t kFirstIam = 68;
inline constexpr size_t kFirstIamFile = 72;
inline constexpr size_t kNameVariable = 1;
}  // namespace sysindexes2000

// Names longer than this many bytes are cut.
inline constexpr size_t kMaxNameBytes = 256;

std::u16string NameFromUtf16(Bytes bytes);

std::optional<_SYSOBJECTS> DecodeSysObjects2000(Bytes page, uint16_t at);

struct SysColumn2000 {
  _SYSCOLUMNS column;
  uint8_t bitpos = 0;
};
std::optional<SysColumn2000> DecodeSysColumns2000(Bytes page, uint16_t at);

struct SysIndex2000 {
  _SYSINDEXES index;
  uint32_t rowCount = 0;  // low 32 bits of rowcnt
};
std::optional<SysIndex2000> DecodeSysIndexes2000(Bytes page, uint16_t at);

}  // namespace mendora
