// The rows of the system tables the catalogue is recovered from, written from
// the on-disk format. Every row is a data record (status A, status B, fixed
// part end, fixed part, column count, NULL bitmap, variable part); the tables
// below give each fixed field's record offset. Fields the recovery does not
// read are still written, with plausible values, so that a reader that takes a
// neighbouring field by mistake reads something else than what it wants.
//
// ---------------------------------------------------------------- 2000 (539)
//
// sysobjects (object id 1): 30 00 2A 00, 24 columns, 1 variable column (name)
//   OFFSET | SIZE | FIELD
//        4 | 4    | id
//        8 | 2    | xtype, two single-byte characters
//       10 | 2    | (unused here)
//       12 | 2    | uid
//       14 | 2    | info
//       16 | 4    | status
//       20 | 4    | base_schema_ver
//       24 | 4    | replinfo
//       28 | 4    | parent_obj
//       32 | 8    | crdate
//       40 | 2    | ftcatid
//       42 | 2    | column count, then the NULL bitmap and the name
//
// syscolumns (object id 3): 30 00 2E 00, 20 columns, name = variable column 1
//        4 | 4    | id of the table
//        8 | 1    | xtype
//        9 | 1    | typestat: 0x01 NOT NULL
//       10 | 2    | xusertype
//       12 | 2    | length
//       14 | 1    | xprec
//       15 | 1    | xscale
//       16 | 2    | colid
//       18 | 2    | xoffset: >0 fixed offset, <0 minus the variable column number
//       20 | 1    | bitpos
//       21 | 17   | reserved, colstat, cdefault, domain, number, colorder, ...
//       38 | 4    | collationid
//       46 | 2    | column count
//
// sysindexes (object id 2): status 0x30, fixed part to 82, 27 columns;
// variable column 1 = keys (32-byte entries), variable column 2 = name
//        4 | 4    | id of the table
//        8 | 4    | status: 0x02 unique, 0x10 clustered, 0x20 hypothetical,
//          |      | 0x40 statistics, 0x800 primary key, 0x1000 unique key
//       12 | 4+2  | first page, file
//       18 | 2    | indid
//       20 | 4+2  | root page, file
//       26 | 18   | minlen, keycnt, groupid, dpages, reserved, used
//       44 | 8    | rowcnt
//       52 | 16   | rowmodctr, xmaxlen, maxirow, fill factor, ...
//       68 | 4+2  | first IAM page, file
//       74 | 8    | impid, lockflags, pgmodctr
// keys: keycnt 32-byte entries, the column id (u16) at +16 of each; byte +30
// is 1 on a clustering-key column a nonclustered index carries along (3 when
// that column is one of the index's own key columns too); column id 0 is the
// uniquifier of a non-unique clustered index, or the row locator a
// nonclustered index of a heap carries.
//
// syscomments (object id 6): 30 00 0E 00, 5 columns, ctext = variable column 1
//        4 | 4    | id of the object the text belongs to
//        8 | 2    | number: a procedure's numbered part (1, 2, ...); 0 for
//          |      | checks, defaults and views
//       10 | 2    | colid: the row's place in the text, 1, 2, 3, ...
//       12 | 2    | status: 0x02 the text is one byte per character
//          |      | (Windows-1252), else UTF-16LE
//       14 | 2    | column count, then the NULL bitmap and ctext (at most
//          |      | 8000 bytes)
//
// sysreferences (object id 14): 30 00 14 00, 7 columns, forkeys and refkeys
// = variable columns 1 and 2, each keycnt u16 column ids in key order
//        4 | 4    | constid: the foreign key's object id
//        8 | 4    | fkeyid: the referencing table
//       12 | 4    | rkeyid: the referenced table
//       16 | 2    | rkeyindid: the referenced key's index id
//       18 | 2    | keycnt
//       20 | 2    | column count
//
// A 2000 file describes these system tables in syscolumns like any table; the
// rows the builder writes for sysindexes (2), syscomments (6) and
// sysreferences (14) are SystemTableColumns2000() below.
//
// ----------------------------------------------------- 2005/2008 (611, 655)
//
// sysschobjs (34): 30 00 2C 00, 11 columns, name = variable column 1
//        4 | 4    | id
//        8 | 4    | nsid (schema)
//       12 | 1    | nsclass
//       13 | 4    | status
//       17 | 2    | type, two single-byte characters
//       19 | 4    | pid (parent object)
//       23 | 1    | pclass
//       24 | 4    | intprop
//       28 | 8    | created
//       36 | 8    | modified
//       44 | 2    | column count; 46 bitmap (2 bytes); 48 variable count;
//          |      | 50 end of the name; 52 the name
//
// syscolpars (41): 30 00 2D 00, 15 columns, name = variable column 1 of 1 or 2
//        4 | 4    | id of the owning object
//        8 | 2    | number
//       10 | 4    | colid
//       14 | 1    | xtype
//       15 | 4    | utype
//       19 | 2    | length (-1 for the (max) types)
//       21 | 1    | prec
//       22 | 1    | scale
//       23 | 4    | collationid
//       27 | 4    | status: 0x01 NOT NULL
//       31 | 2    | maxinrow
//       33 | 12   | xmlns, dflt, chk
//       45 | 2    | column count; 47 bitmap (2 bytes); 49 variable count;
//          |      | 51 end of the name (53 the second end when there are two);
//          |      | the name at 53 or 55
//
// sysrowsets (5): 0x10, fixed part to 53, 17 columns
//        4 | 8    | rowset id: bits 16..47 at 6, bits 48..63 at 10
//       12 | 1    | ownertype
//       13 | 4    | idmajor (owning object)
//       17 | 4    | idminor (index id)
//       21 | 4    | numpart
//       25 | 4    | status
//       29 | 2    | fgidfs
//       31 | 8    | rcrows
//       39 | 14   | cmprlevel, fillfact, maxnullbit, maxleaf, maxint, minleaf, minint
//
// sysallocunits (7): 0x10 (0x1C ghost), fixed part to 73, 12 columns
//        4 | 8    | allocation unit id: bits 16..47 at 6 (what the unit's
//          |      | pages carry at header 24), bits 48..63 at 10 (their header
//          |      | index id)
//       12 | 1    | type: 1 in-row data, 2 large objects, 3 row overflow
//       13 | 8    | owner (rowset) id: bits 16..47 at 15, bits 48..63 at 19
//       21 | 4    | status
//       25 | 2    | fgid
//       27 | 4+2  | first page, file
//       33 | 4+2  | root page, file
//       39 | 4+2  | first IAM page, file
//       45 | 28   | pcused, pcdata, pcreserved, dbfragid
//
// sysidxstats (54): fixed part to 39, 11 columns; 0x30 with the name as
// variable column 1, or 0x10 without a variable part (a heap)
//        4 | 4    | id of the table
//        8 | 4    | indid
//       12 | 4    | status: 0x01 index, 0x08 unique, 0x20 primary key,
//          |      | 0x40 unique constraint
//       16 | 4    | intprop
//       20 | 3    | fillfact, type, tinyprop
//       23 | 8    | dataspace, lobds
//       31 | 8    | rowset
//       39 | 2    | column count; 41 bitmap; 43 variable count; 45 end of the
//          |      | name; 47 the name
//
// sysiscols (55): 0x10, fixed part to 26
//        4 | 4    | idmajor (table)
//        8 | 4    | idminor (index)
//       12 | 4    | subid (key ordinal)
//       16 | 4    | status
//       20 | 4    | intprop: the column id
//       24 | 2    | tinyprop1 (the key ordinal again; 0 for an included
//          |      | column), tinyprop2
//
// syssingleobjrefs (74): 0x10, fixed part to 25
//        4 | 1    | class: 27 referenced table, 28 referencing columns, 29
//          |      | referenced columns
//        5 | 4    | depid
//        9 | 4    | depsubid
//       13 | 4    | indepid
//       17 | 4    | indepsubid
//       21 | 4    | status
//
// sysobjvalues (60): 0x30, fixed part to 17, 6 columns, 2 variable columns
//        4 | 1    | valclass
//        5 | 4    | objid
//        9 | 4    | subobjid
//       13 | 4    | valnum
//       17 | 2    | column count; 19 bitmap; 20 variable count; 22 end of the
//          |      | value; 24 end of the text (imageval)
//       26 | 6    | value: a sql_variant int, 38 01 then 4 bytes
//       32 | ...  | imageval: the text, single-byte
//
// sysrscols (3, 655): 0x10, fixed part to 58
//        4 | 8    | rowset id
//       12 | 4    | rscolid: the table's colid (0 for a uniquifier)
//       16 | 4    | hbcolid
//       20 | 8    | rcmodified
//       28 | 16   | ti, cid, ordkey, maxinrowlen, status
//       44 | 4    | offset: low 16 bits, signed: >0 fixed offset, <0 minus
//          |      | the variable column number
//       48 | 4    | nullbit (low 16 bits)
//       52 | 2    | bitpos
//       54 | 4    | (filler)
//
// syshobtcolumns (13, 611): 0x10, fixed part to 41
//        4 | 8    | hobt id
//       12 | 4    | hobt column id
//       16 | 15   | rcmodified, ti, cid
//       31 | 2    | offset, as in sysrscols
//       33 | 2    | (filler)
//       35 | 2    | bitpos
//       37 | 2    | nullbit
//       39 | 2    | (filler)
//
// sysrowsetcolumns (4, 611): 0x10, fixed part to 34
//        4 | 8    | rowset id
//       12 | 4    | rscolid: the table's colid (0 for a uniquifier)
//       16 | 4    | hobt column id
//       20 | 14   | rcmodified, maxinrowlen, (filler)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/MdfBuilder.h"

namespace mdftest {

// System object ids.
inline constexpr uint32_t kObjSysObjects = 1;
inline constexpr uint32_t kObjSysIndexes = 2;
inline constexpr uint32_t kObjSysColumns = 3;
inline constexpr uint32_t kObjSysRscols = 3;
inline constexpr uint32_t kObjSysRowsetColumns = 4;
inline constexpr uint32_t kObjSysRowsets = 5;
inline constexpr uint32_t kObjSysAllocUnits = 7;
inline constexpr uint32_t kObjSysHobtColumns = 13;
inline constexpr uint32_t kObjSysSchObjs = 34;
inline constexpr uint32_t kObjSysColPars = 41;
inline constexpr uint32_t kObjSysIdxStats = 54;
inline constexpr uint32_t kObjSysIsCols = 55;
inline constexpr uint32_t kObjSysObjValues = 60;
inline constexpr uint32_t kObjSysSingleObjRefs = 74;

// A 64-bit rowset, hobt or allocation unit id: bits 16..47 and 48..63.
inline uint64_t PartitionStyleId(uint32_t mid, uint16_t high = 0x0100) {
  return (uint64_t{high} << 48) | (uint64_t{mid} << 16);
}

struct SysObjectsRow {
  int32_t id = 0;
  std::string type = "U ";
  int32_t parent = 0;
  std::u16string name;
  uint32_t status = 0x40000001;  // its high byte lands at offset 19
  uint32_t schemaVersion = 0x00A5A500;
  int16_t uid = 1;  // the owner: dbo
};
ByteVec Encode(const SysObjectsRow& r);

struct SysColumnsRow {
  int32_t tableId = 0;
  std::u16string name;
  uint8_t xtype = 56;
  uint8_t typestat = 0;
  int16_t length = 4;
  uint8_t prec = 0;
  uint8_t scale = 0;
  int16_t colid = 1;
  int16_t xoffset = 0;
  uint8_t bitpos = 0;
  bool secondVariable = false;  // an autoval-style second variable column
  uint32_t collation = 0;
  uint16_t colstat = 0;  // 0x0001 identity, 0x0004 computed
  int32_t cdefault = 0;
  ByteVec autoval;  // when not empty, the second variable column
};
ByteVec Encode(const SysColumnsRow& r);

struct SysIndexesRow {
  int32_t tableId = 0;
  uint32_t status = 0;
  uint32_t firstPage = 0;
  uint16_t indid = 0;
  uint32_t root = 0;
  uint64_t rowCount = 0;
  uint32_t firstIam = 0;
  std::u16string name;
  ByteVec keys;  // keycnt is the number of its 32-byte entries
};
ByteVec Encode(const SysIndexesRow& r);
// One 32-byte sysindexes.keys entry.
ByteVec IndexKeyEntry2000(uint16_t columnId, uint8_t carried = 0);

inline constexpr uint32_t kObjSysComments = 6;
inline constexpr uint32_t kObjSysReferences = 14;

struct SysCommentsRow {
  int32_t objectId = 0;
  int16_t number = 0;
  int16_t colid = 1;
  uint16_t status = 0;  // 0x02: ctext is one byte per character
  ByteVec text;         // ctext as stored
};
ByteVec Encode(const SysCommentsRow& r);
inline constexpr uint16_t kCommentCompressed = 0x02;

struct SysReferencesRow {
  int32_t constraintId = 0;
  int32_t tableId = 0;
  int32_t referencedTable = 0;
  int16_t referencedIndex = 1;
  std::vector<int16_t> columns;
  std::vector<int16_t> referencedColumns;
  // keycnt; the number of referencing columns when not given.
  std::optional<int16_t> keyCount;
};
ByteVec Encode(const SysReferencesRow& r);

// The syscolumns rows that describe the 2000 system tables sysindexes,
// syscomments and sysreferences, as the server writes them.
std::vector<SysColumnsRow> SystemTableColumns2000();

// sysusers (object id 10): 30 00 1A 00, 9 stored columns, name = variable
// column 1: 4 uid (smallint) | 6 status | 8 createdate | 16 updatedate | 24
// altuid. dbo is uid 1, guest 2.
inline constexpr uint32_t kObjSysUsers = 10;
struct SysUsersRow {
  int16_t uid = 1;
  std::u16string name;
};
ByteVec Encode(const SysUsersRow& r);
// The syscolumns rows that describe sysusers, as the server writes them.
std::vector<SysColumnsRow> SysUsersColumns2000();

struct SysSchObjsRow {
  int32_t id = 0;
  std::u16string name;
  std::string type = "U ";
  int32_t parent = 0;
  uint32_t status = 0;
  int32_t schema = 1;  // nsid: dbo
  // 2012 on: a twelfth column, status2 @44, so the fixed part ends at 48.
  bool status2 = false;
  uint32_t status2Bits = 0;  // what status2 holds (0x08 memory-optimized)
};
ByteVec Encode(const SysSchObjsRow& r);

// sysclsobjs (64): 30 00 23 00, 8 columns, name = variable column 1: 4
// class (50 a schema) | 5 id | 9 status | 13 type | 15 intprop | 19 created |
// 27 modified.
inline constexpr uint32_t kObjSysClsObjs = 64;
struct SysClsObjsRow {
  uint8_t cls = 50;
  int32_t id = 1;
  std::u16string name;
};
ByteVec Encode(const SysClsObjsRow& r);

struct SysColParsRow {
  int32_t objectId = 0;
  int32_t colid = 1;
  std::u16string name;
  uint8_t xtype = 56;
  int16_t length = 4;
  uint8_t prec = 10;
  uint8_t scale = 0;
  uint32_t status = 0;
  bool secondVariable = false;
  uint32_t collation = 0x3400D008;  // SQL_Latin1_General_CP1_CI_AS
  int32_t dflt = 0;
  ByteVec idtval;  // when not empty, the second variable column
};
ByteVec Encode(const SysColParsRow& r);
// An identity value (syscolpars idtval, 2000 syscolumns autoval): last,
// seed, increment, each `width` bytes, then the flags byte (0x01: no value
// given yet).
ByteVec IdentityValue(size_t width, int64_t seed, int64_t increment, std::optional<int64_t> last);

struct SysRowsetsRow {
  uint64_t rowsetId = 0;
  int32_t owner = 0;
  int32_t indexId = 0;
  uint64_t rowCount = 0;
  uint8_t compression = 0;  // cmprlevel @39: 0 none, 1 row, 2 page, 3 columnstore
};
ByteVec Encode(const SysRowsetsRow& r);

struct SysAllocUnitsRow {
  uint64_t unitId = 0;
  uint8_t type = 1;
  uint64_t ownerId = 0;
  uint32_t firstPage = 0;
  uint32_t root = 0;
  uint32_t firstIam = 0;
  bool ghost = false;
};
ByteVec Encode(const SysAllocUnitsRow& r);

struct SysIdxStatsRow {
  int32_t tableId = 0;
  int32_t indid = 0;
  uint32_t status = 0;
  std::u16string name;  // written only when indid is not 0
  uint64_t rowsetId = 0;
};
ByteVec Encode(const SysIdxStatsRow& r);

struct SysIsColsRow {
  int32_t tableId = 0;
  int32_t indexId = 0;
  int32_t ordinal = 1;
  int32_t columnId = 0;
};
ByteVec Encode(const SysIsColsRow& r);

struct SysSingleObjRefsRow {
  uint8_t refClass = 0;
  int32_t depId = 0;
  int32_t depSubId = 0;
  int32_t indepId = 0;
  int32_t indepSubId = 0;
};
ByteVec Encode(const SysSingleObjRefsRow& r);

struct SysObjValuesRow {
  int32_t objectId = 0;
  std::string text;
  bool textMarker = true;  // the value is 38 01 ...
  bool offRow = false;     // the text's end offset carries 0x8000
  // The text as UTF-16LE (the value's int 0) instead of one byte per
  // character (int 2); `wideText` is then written.
  bool utf16 = false;
  std::u16string wideText{};
  uint8_t valueClass = 1;  // 2: a computed column's definition
  int32_t subId = 0;       // of a computed column: its colid
};
ByteVec Encode(const SysObjValuesRow& r);
// Where the text starts, counted from the row's start.
inline constexpr uint16_t kObjValueTextAt = 32;

// One column's place in a rowset's rows (655 sysrscols).
struct SysRscolsRow {
  uint64_t rowsetId = 0;
  int32_t colid = 0;
  int32_t hobtColumn = 0;
  int16_t offset = 0;
  uint16_t nullBit = 0;
  uint16_t bitPos = 0;
};
ByteVec Encode(const SysRscolsRow& r);

// 611: the same place, kept by hobt column (syshobtcolumns), and the map from
// the rowset's columns to hobt columns (sysrowsetcolumns).
struct SysHobtColumnsRow {
  uint64_t hobtId = 0;
  int32_t hobtColumn = 0;
  int16_t offset = 0;
  uint16_t nullBit = 0;
  uint16_t bitPos = 0;
};
ByteVec Encode(const SysHobtColumnsRow& r);

struct SysRowsetColumnsRow {
  uint64_t rowsetId = 0;
  int32_t colid = 0;
  int32_t hobtColumn = 0;
};
ByteVec Encode(const SysRowsetColumnsRow& r);

}  // namespace mdftest
