// Rows of the 2005/2008 (versions 611, 655) system base tables. Each decoder
// takes the page and a slot's record offset and gives the row, or nothing when
// the row is not one of its table's or is damaged. Every read stays inside the
// page. Versions 611 and 655 share every layout here except the column
// layout tables at the end.
//
// Later releases add columns at the end of a table's fixed part and leave
// every field below where it was (each table's own column description in
// syscolpars says so in every given file of 2005 to 2022), so the fixed-part
// end is only checked where it tells the table's rows from others, and
// variable columns are found through the record's own end offsets.
//
// sysschobjs (34), row header 30 00 2C 00 (2005 to 2008 R2) or 30 00 30 00
// (2012 on: status2 @44 added)
//   OFFSET | SIZE | FIELD
//        4 | 4    | id
//        8 | 4    | schema id
//       13 | 4    | status; of a foreign key or check: 0x100 disabled,
//          |      | 0x200 NOT FOR REPLICATION, 0x400 not trusted, bits
//          |      | 12-13 the update action, 14-15 the delete action (1
//          |      | cascade, 2 set null, 3 set default)
//       17 | 2    | type, two single-byte characters
//       19 | 4    | parent object id
//       44 | 4    | status2 (2012 on): bit 0x08 a memory-optimized table
//      ... | ...  | name, UTF-16: the first variable column
//
// syscolpars (41), row header 30 00 2D 00
//        4 | 4    | id of the owning object
//       10 | 2    | colid
//       14 | 1    | xtype
//       19 | 2    | length (-1 for the (max) types)
//       21 | 1    | precision
//       22 | 1    | scale
//       15 | 4    | utype: the column's own type (an alias type's id)
//       23 | 4    | collation id
//       27 | 4    | status: 0x01 NOT NULL, 0x04 identity, 0x08 ROWGUIDCOL,
//          |      | 0x10 computed, 0x200 computed PERSISTED, 0x20 FILESTREAM,
//          |      | 0x1000000 sparse, 0x2000000 the column set (the bits
//          |      | sys.columns shows)
//       37 | 4    | dflt: the object id of the column's default
//       49 | 2    | variable column count v (1 or 2)
//       51 | 2    | end offset of the name
//  53 / 55 | ...  | name, UTF-16 (after one or two end offsets)
//      ... | ...  | idtval, an identity column's identity value: the second
//          |      | variable column (ReadIdentityValue)
//
// sysrowsets (5)
//        6 | 4    | rowset id bits 16..47
//       10 | 2    | rowset id bits 48..63
//       13 | 4    | owner object id (idmajor)
//       17 | 4    | index id (idminor): 0 heap, 1 clustered, 2+ nonclustered
//       31 | 4    | row count, low 32 bits
//       39 | 1    | compression: 0 none, 1 row, 2 page, 3 and 4 columnstore
//          |      | (2008 on; the 2005 fixed part ends at 39)
//
// sysallocunits (7); status 0x1C (ghost) rows are not units
//        6 | 4    | unit id bits 16..47 (what the unit's pages carry at header 24)
//       10 | 2    | unit id bits 48..63 (what they carry at header 6, the index id)
//       12 | 1    | type: 1 in-row data, 2 large objects, 3 row overflow
//       15 | 4    | owner (rowset) id bits 16..47
//       19 | 2    | owner id bits 48..63
//       27 | 4+2  | first page, file
//       39 | 4+2  | first IAM page, file
//
// sysidxstats (54)
//        4 | 4    | table id
//        8 | 2    | index id
//       12 | 1    | status: 0x01 index, 0x08 unique, 0x20 primary key, 0x40
//          |      | unique constraint
//       45 | 2    | end offset of the name (0x2121: not a real row)
//       47 | ...  | name, UTF-16
//
// sysiscols (55):        4 i32 table id | 8 u16 index id | 16 u32 status (0x02
//                        a key column, 0x04 descending) | 20 u16 column id |
//                        24 u8 key ordinal (from 1; 0 for an included column)
// syssingleobjrefs (74): 4 u8 class (27 referenced table, 28 referencing
//                        columns, 29 referenced columns) | 5 i32 dependent id |
//                        9 u8 dependent sub id | 13 i32 referenced id |
//                        17 u16 referenced sub id
//
// sysobjvalues (60), status 0x30
//        4 | 1    | value class: 2 a computed column's definition (object
//          |      | id the table, sub id the colid)
//        5 | 4    | object id
//        9 | 4    | sub id
//       26 | 2    | 38 01 on a module or check text row: a sql_variant int
//       28 | 4    | the int: 2 the text is one byte per character, 0 UTF-16LE
//       32 | ...  | the text, single-byte, to the end of the second variable
//          |      | column (its end offset; bit 0x8000 when kept off the row)
#pragma once

#include <cstdint>
#include <optional>

#include "engine/ByteReader.h"
#include "engine/CatalogueRecords.h"

namespace mendora {

inline constexpr uint32_t kSysRscols = 3;         // 655: column layouts
inline constexpr uint32_t kSysRowsetColumns = 4;  // 611: rowset column -> hobt column
inline constexpr uint32_t kSysRowsets = 5;
inline constexpr uint32_t kSysAllocUnits = 7;
inline constexpr uint32_t kSysHobtColumns = 13;  // 611: column layouts
inline constexpr uint32_t kSysSchObjs = 34;
inline constexpr uint32_t kSysColPars = 41;
inline constexpr uint32_t kSysIdxStats = 54;
inline constexpr uint32_t kSysIsCols = 55;
inline constexpr uint32_t kSysObjValues = 60;
inline constexpr uint32_t kSysSingleObjRefs = 74;
inline constexpr uint32_t kSysScalarTypes = 50;
inline constexpr uint32_t kSysClsObjs = 64;

inline constexpr uint32_t kObjectRowHeader2005 = 0x002C0030;
inline constexpr uint32_t kObjectRowHeader2012 = 0x00300030;
inline constexpr uint32_t kColumnRowHeader2005 = 0x002D0030;
inline constexpr uint16_t kDroppedIndexName = 0x2121;
inline constexpr uint8_t kIdxStatsUnique = 0x08;
inline constexpr uint8_t kIdxStatsPrimaryKey = 0x20;
inline constexpr uint8_t kIdxStatsUniqueConstraint = 0x40;
inline constexpr uint8_t kGhostAllocUnitStatus = 0x1C;
inline constexpr uint8_t kObjValueStatus = 0x30;

// Field offsets from the start of each row, as in the tables above.
namespace sysschobjs {
inline constexpr size_t kHeader = 0;
inline constexpr size_t kId = 4;
inline constexpr size_t kSchema = 8;
inline constexpr size_t kStatus = 13;
inline constexpr uint32_t kConstraintDisabled = 0x100;
inline constexpr uint32_t kConstraintNotForReplication = 0x200;
inline constexpr uint32_t kConstraintNotTrusted = 0x400;
inline constexpr int kUpdateActionShift = 12;
inline constexpr int kDeleteActionShift = 14;
inline constexpr size_t kType = 17;
inline constexpr size_t kTypeSize = 2;
inline constexpr size_t kParent = 19;
inline constexpr size_t kStatus2 = 44;  // 2012 on
inline constexpr uint32_t kMemoryOptimized = 0x08;
// Where rows of 2005 to 2008 R2 (11 columns, fixed part to 44) keep the
// name's end offset and the name; 2012 rows have both 4 bytes further on.
inline constexpr size_t kNameEnd = 50;
inline constexpr size_t kName = 52;
}  // namespace sysschobjs

namespace syscolpars {
inline constexpr size_t kHeader = 0;
inline constexpr size_t kTableId = 4;
inline constexpr size_t kColid = 10;
inline constexpr size_t kXtype = 14;
inline constexpr size_t kLength = 19;
inline constexpr size_t kPrecision = 21;
inline constexpr size_t kScale = 22;
inline constexpr size_t kCollation = 23;
inline constexpr size_t kStatus = 27;
inline constexpr uint32_t kFilestream = 0x20;
inline constexpr uint32_t kSparse = 0x1000000;
inline constexpr uint32_t kColumnSet = 0x2000000;
inline constexpr uint32_t kStatusIdentity = 0x04;
inline constexpr uint32_t kStatusRowGuidCol = 0x08;
inline constexpr uint32_t kStatusComputed = 0x10;
inline constexpr uint32_t kStatusPersisted = 0x200;
inline constexpr size_t kUserType = 15;
inline constexpr size_t kDefault = 37;
inline constexpr size_t kVariableCount = 49;
inline constexpr size_t kIdentityVariable = 1;
inline constexpr size_t kNameEnd = 51;
inline constexpr size_t kNameAfterOneEnd = 53;
inline constexpr size_t kNameAfterTwoEnds = 55;
}  // namespace syscolpars

namespace sysrowsets {
inline constexpr size_t kIdMid = 6;
inline constexpr size_t kIdHigh = 10;
inline constexpr size_t kOwner = 13;
inline constexpr size_t kIndexId = 17;
inline constexpr size_t kRowCount = 31;
inline constexpr size_t kCompression = 39;
inline constexpr uint16_t kFixedEndWithCompression = 40;
}  // namespace sysrowsets

namespace sysallocunits {
inline constexpr size_t kStatus = 0;
inline constexpr size_t kIdMid = 6;
inline constexpr size_t kIdHigh = 10;
inline constexpr size_t kType = 12;
inline constexpr size_t kOwnerMid = 15;
inline constexpr size_t kOwnerHigh = 19;
inline constexpr size_t kFirstPage = 27;
inline constexpr size_t kFirstFile = 31;
inline constexpr size_t kFirstIam = 39;
inline constexpr size_t kFirstIamFile = 43;
}  // namespace sysallocunits

namespace sysidxstats {
inline constexpr size_t kTableId = 4;
inline constexpr size_t kIndexId = 8;
inline constexpr size_t kStatus = 12;
inline constexpr size_t kNameEnd = 45;
inline constexpr size_t kName = 47;
}  // namespace sysidxstats

namespace sysiscols {
inline constexpr size_t kTableId = 4;
inline constexpr size_t kIndexId = 8;
inline constexpr size_t kStatus = 16;
inline constexpr size_t kColumnId = 20;
inline constexpr size_t kKeyOrdinal = 24;
inline constexpr uint32_t kKeyColumn = 0x02;
inline constexpr uint32_t kDescending = 0x04;
}  // namespace sysiscols

namespace syssingleobjrefs {
inline constexpr size_t kClass = 4;
inline constexpr size_t kDependentId = 5;
inline constexpr size_t kDependentSubId = 9;
inline constexpr size_t kReferencedId = 13;
inline constexpr size_t kReferencedSubId = 17;
}  // namespace syssingleobjrefs

namespace sysobjvalues {
inline constexpr size_t kStatus = 0;
inline constexpr size_t kValueClass = 4;
inline constexpr uint8_t kComputedColumnValue = 2;
inline constexpr size_t kObjectId = 5;
inline constexpr size_t kSubId = 9;
inline constexpr size_t kMarker = 26;  // 38 01 on a module or check text row
inline constexpr uint8_t kMarkerFirst = 0x38;
inline constexpr uint8_t kMarkerSecond = 0x01;
// The int after the marker: how the text is kept.
inline constexpr size_t kTextForm = 28;
inline constexpr uint32_t kTextFormUtf16 = 0;
inline constexpr size_t kTextVariable = 1;
}  // namespace sysobjvalues

namespace sysscalartypes {
inline constexpr uint16_t kFixedEnd = 49;
inline constexpr size_t kId = 4;
inline constexpr size_t kSchema = 8;
inline constexpr size_t kXtype = 12;
inline constexpr size_t kLength = 13;
inline constexpr size_t kPrecision = 15;
inline constexpr size_t kScale = 16;
inline constexpr size_t kStatus = 21;
inline constexpr uint32_t kStatusNotNull = 0x01;
inline constexpr size_t kNameVariable = 0;
}  // namespace sysscalartypes

namespace sysclsobjs {
// class, id, status, type, intprop, created, modified: the same in every
// given file of 2005 to 2022.
inline constexpr uint16_t kFixedEnd = 35;
inline constexpr size_t kClass = 4;
inline constexpr size_t kId = 5;
inline constexpr uint8_t kSchemaClass = 50;
inline constexpr size_t kNameVariable = 0;
}  // namespace sysclsobjs

namespace sysrscols {
// 58 in 2008 and 2008 R2 (dbfragid @54), 54 in 2012 to 2019, 58 again in
// 2022 (ordlock @54): the fields read end at 54 in all of them.
inline constexpr uint16_t kFixedEnd = 0x36;
inline constexpr size_t kRowsetId = 4;
inline constexpr size_t kColumnId = 12;
inline constexpr size_t kTypeInfo = 28;  // u32: the type id in its low byte
inline constexpr size_t kOffset = 44;
inline constexpr size_t kNullBit = 48;
inline constexpr size_t kBitPos = 52;
}  // namespace sysrscols

namespace syshobtcolumns {
inline constexpr uint16_t kFixedEnd = 0x29;
inline constexpr size_t kHobtId = 4;
inline constexpr size_t kColumnId = 12;
inline constexpr size_t kOffset = 31;
inline constexpr size_t kBitPos = 35;
inline constexpr size_t kNullBit = 37;
}  // namespace syshobtcolumns

namespace sysrowsetcolumns {
inline constexpr uint16_t kFixedEnd = 0x22;
inline constexpr size_t kRowsetId = 4;
inline constexpr size_t kColumnId = 12;
inline constexpr size_t kHobtColumn = 16;
}  // namespace sysrowsetcolumns

std::optional<_SYSOBJECTS> DecodeSysSchObjs(Bytes page, uint16_t at);
std::optional<_SYSCOLUMNS> DecodeSysColPars(Bytes page, uint16_t at);
std::optional<_2008IndexIdentifier> DecodeSysRowsets(Bytes page, uint16_t at);
std::optional<_2008IndexPageNumbers> DecodeSysAllocUnits(Bytes page, uint16_t at);

struct IdxStatsRow {
  int32_t tableId = 0;
  uint16_t indid = 0;
  uint8_t status = 0;
  std::u16string name;
};
std::optional<IdxStatsRow> DecodeSysIdxStats(Bytes page, uint16_t at);

std::optional<_SysIndexKeys> DecodeSysIsCols(Bytes page, uint16_t at);
std::optional<_SysConstraints> DecodeSysSingleObjRefs(Bytes page, uint16_t at);

struct ObjValueRow {
  uint32_t objectId = 0;
  uint8_t valueClass = 0;   // kComputedColumnValue: a computed column's definition
  int32_t subId = 0;        // of a computed column: its colid
  bool textMarker = false;  // bytes 26, 27 are 38 01
  bool utf16 = false;       // the marker's int says the text is UTF-16LE
  uint16_t textEnd = 0;     // record offset where the text ends
  bool offRow = false;      // the text is kept off the row
  uint16_t valueStart = 0;  // record offset where the text column's in-row bytes start
};
// Where a check's text starts in the row, and where a module's is taken from:
// a module's text is read from its two marker bytes on.
inline constexpr uint16_t kValueTextStart = 32;
inline constexpr uint16_t kValueModuleTextStart = sysobjvalues::kMarker;
std::optional<ObjValueRow> DecodeSysObjValues(Bytes page, uint16_t at);

// sysscalartypes (50): 4 i32 id | 8 i32 schema id | 12 u8 xtype | 13 i16
// length | 15 u8 precision | 16 u8 scale | 17 u32 collation | 21 u32 status
// (0x01 NOT NULL) | fixed part to 49 | name, the first variable column. Only
// the user's alias types (ids from 257) are given.
std::optional<_AliasType> DecodeSysScalarTypes(Bytes page, uint16_t at);

// sysclsobjs (64), status 0x30: 4 u8 class (50 a schema) | 5 i32 id | 9 i32
// status | 13 char(2) type | 15 i32 intprop (a schema's owner) | 19, 27
// created, modified | fixed part to 35 | name, the first variable column.
// Only the schema rows are given; every database lists dbo (1), guest (2),
// INFORMATION_SCHEMA (3), sys (4) and the fixed roles' schemas (16384 on).
struct SchemaRow {
  int32_t id = 0;
  std::u16string name;
};
std::optional<SchemaRow> DecodeSysClsObjs(Bytes page, uint16_t at);

// One column's place in the rows of one rowset, as the file records it.
struct LayoutRow {
  uint64_t rowsetId = 0;  // 611: the hobt id
  int32_t columnId = 0;   // 655: the table's colid (0 for the uniquifier); 611: hobt column
  int16_t offset = 0;     // >0 fixed offset, <0 minus the 1-based variable column number
  uint16_t nullBit = 0;
  uint16_t bitPos = 0;
  // 655 on: the column's type id, which a dropped column keeps here alone;
  // 0 when not recorded (611).
  uint32_t typeInfo = 0;
};
// 655 sysrscols:        4 u64 rowset id | 12 i32 rscolid | 28 u32 type info (type
//                       id in the low byte) | 38 u16 longest in-row length | 44
//                       i32 offset (low 16 bits, signed) | 48 i32 null bit (low
//                       16) | 52 u16 bit pos
std::optional<LayoutRow> DecodeSysRscols(Bytes page, uint16_t at);
// 611 syshobtcolumns:   4 u64 hobt id | 12 i32 hobt column | 31 i16 offset |
//                       35 u16 bit pos | 37 u16 null bit
std::optional<LayoutRow> DecodeSysHobtColumns(Bytes page, uint16_t at);

// 611 sysrowsetcolumns: 4 u64 rowset id | 12 i32 rscolid (the table's colid, 0
//                       for the uniquifier) | 16 i32 hobt column
struct RowsetColumnRow {
  uint64_t rowsetId = 0;
  int32_t columnId = 0;
  int32_t hobtColumn = 0;
};
std::optional<RowsetColumnRow> DecodeSysRowsetColumns(Bytes page, uint16_t at);

}  // namespace mendora
