// The records the catalogue recovery makes of system-table rows. Each list of
// the catalogue holds one of these types; the tree, the grid, the previews and
// every script writer read only these records, never system rows again.
// Field order and widths are those the rest of the program relies on.
#pragma once

#include <cstdint>
#include <string>

namespace mendora {

// One object row (2000 sysobjects, 2005/2008 sysschobjs).
struct _SYSOBJECTS {
  std::u16string name;
  int64_t id = 0;
  int64_t parentId = 0;  // the table of a trigger, key or constraint
  std::u16string type;   // two characters as stored: "U ", "P ", "PK", ...
  int32_t schemaId = 0;  // 2000: the owner's user id; 2005/2008: the schema id
  // The name of that schema or owner, as the file lists it (ResolveSchemaNames);
  // "dbo" where the file does not name it. Empty in a record the recovery
  // did not make, which reads as dbo too.
  std::u16string schemaName;
  // The object's status word as stored (2000 sysobjects status, 2005 on
  // sysschobjs status).
  uint32_t status = 0;
  // What the status word says of a foreign key or check constraint: its
  // actions on a delete or update of the referenced key (kNoAction ...),
  // whether it was made NOT FOR REPLICATION, whether it is disabled
  // (NOCHECK CONSTRAINT), and whether the server has not checked the rows
  // it holds (made or enabled WITH NOCHECK).
  uint8_t deleteAction = 0;
  uint8_t updateAction = 0;
  bool notForReplication = false;
  bool disabled = false;
  bool notTrusted = false;
  // 2014 on (sysschobjs status2 bit 0x08): a memory-optimized table, whose
  // rows live in the memory-optimized filegroup's files, not in data pages.
  bool memoryOptimized = false;
};

// Whether the object is in the schema a name without one means: dbo. Only
// the objects of other schemas are named with their schema in statements.
inline bool InDefaultSchema(const _SYSOBJECTS& object) {
  return object.schemaName.empty() || object.schemaName == u"dbo";
}
// The name the user knows the object by: "Orders" in dbo, "Sales.Orders"
// in another schema (the tree's label, `mendora-cli export --only`).
inline std::u16string QualifiedName(const _SYSOBJECTS& object) {
  return InDefaultSchema(object) ? object.name : object.schemaName + u"." + object.name;
}

// A foreign key's action on a delete or an update of the key it references.
enum : uint8_t { kNoAction = 0, kCascade = 1, kSetNull = 2, kSetDefault = 3 };

// The object types whose text is a module: procedures, extended procedures,
// functions, triggers and views.
inline bool IsModuleType(const std::u16string& type) {
  return type == u"P " || type == u"X " || type == u"FN" || type == u"IF" || type == u"TF" ||
         type == u"TR" || type == u"V ";
}

// One column of a user table (2000 syscolumns, 2005/2008 syscolpars).
struct _SYSCOLUMNS {
  std::u16string name;
  int64_t tableId = 0;
  uint8_t xtype = 0;
  int16_t length = 0;   // bytes; -1 for the (max) types
  int16_t colid = 0;    // 1-based
  int16_t xoffset = 0;  // 2000: offset in the fixed part, negative for variable columns
  uint8_t prec = 0;
  uint8_t scale = 0;
  uint8_t status = 0;  // bit 0x01: NOT NULL
  bool twoVarColumns = false;
  // char, varchar and text: the stored collation id, and the code page their
  // bytes are read in (the collation's, unless the user chose another).
  uint32_t collationId = 0;
  uint16_t codePage = 1252;
  // 2008 on, from the whole syscolpars status: a sparse column (0x1000000),
  // the table's column set (0x2000000), a FILESTREAM column (0x20).
  bool sparse = false;
  bool columnSet = false;
  bool filestream = false;
  // The column's own type id: the base type's xtype, or an alias type's id.
  uint32_t userType = 0;
  // An identity column: its seed, increment and the last value it gave
  // (`identityHasLast` false while it has given none), as the column's
  // identity value holds them (2005/2008 syscolpars idtval, 2000
  // syscolumns autoval).
  bool identity = false;
  bool identityHasLast = false;
  int64_t identitySeed = 0;
  int64_t identityIncrement = 0;
  int64_t identityLast = 0;
  // The object id of the column's default (a "D " object); 0 for none.
  int32_t defaultId = 0;
  // A computed column, and its definition where the file keeps it; 2005 on
  // also whether its values are kept in the rows (PERSISTED).
  bool computed = false;
  bool persisted = false;
  std::u16string computedText;
  // 2005 on: the table's ROWGUIDCOL, the uniqueidentifier column that
  // names its rows.
  bool rowGuidCol = false;
};

// The identity value stored for an identity column: the last value given,
// the seed and the increment, each as wide as the column's type (`width`
// bytes, little-endian; decimal and numeric: a sign byte, 1 positive, then
// the digits' integer), then one byte of flags whose bit 0x01 says no value
// has been given yet. Fills the column's identity fields; false when the
// bytes do not hold that.
bool ReadIdentityValue(const unsigned char* bytes, size_t size, _SYSCOLUMNS& column);

// An alias type (2005/2008 sysscalartypes, 2000 systypes): a name for a
// base type with its size and nullability, as pubs declares `id` for
// varchar(11) NOT NULL. User types have ids above 256.
struct _AliasType {
  int32_t id = 0;
  int32_t schemaId = 1;
  std::u16string name;
  uint8_t xtype = 0;
  int16_t length = 0;
  uint8_t prec = 0;
  uint8_t scale = 0;
  bool notNull = false;
  std::u16string schemaName;  // that schema's name (ResolveSchemaNames)
};
inline constexpr uint32_t kFirstUserTypeId = 257;

// Allocation unit types of 2005/2008 files.
enum : uint8_t {
  kUnitInRowData = 1,
  kUnitLargeObjects = 2,
  kUnitRowOverflow = 3,
};

// One index or heap row of a user table (2000 sysindexes; 2005/2008
// sysidxstats joined with sysrowsets and sysallocunits).
struct _SYSINDEXES {
  int32_t tableId = 0;
  uint32_t firstPage = 0;
  uint32_t firstFile = 0;
  uint16_t indid = 0;
  uint16_t indid2 = 0;
  uint32_t firstIAM = 0;
  uint32_t firstIAMFile = 0;
  std::u16string name;
  uint32_t allocUnitObjId = 0;    // 2005/2008: bits 16..47 of the allocation unit id
  uint16_t allocUnitIndexId = 0;  // 2005/2008: bits 48..63 of the allocation unit id
  uint8_t status = 0;             // 2000: sysindexes status low byte; 2005/2008: sysidxstats status
  uint32_t rowCount = 0;
  uint8_t unitType = 0;  // 2005/2008: allocation unit type; 0 when none
  // 2008 on: how the rowset stores its rows (kCompressionNone ...); 0 before.
  uint8_t compression = 0;
  // What the index is, the same in every version (2000 status bits 0x02,
  // 0x800, 0x1000; 2005/2008 0x08, 0x20, 0x40).
  bool unique = false;
  bool primaryKey = false;
  bool uniqueConstraint = false;
};

// Rowset storage (2008 on, sysrowsets cmprlevel). Only uncompressed rows
// have the record format the reader decodes.
enum : uint8_t {
  kCompressionNone = 0,
  kCompressionRow = 1,
  kCompressionPage = 2,
  kCompressionColumnstore = 3,
  kCompressionColumnstoreArchive = 4,
};

// The heap's or clustered index's in-row data: where the table's rows live.
// 2000 rows carry no unit type.
inline bool HoldsTableRows(const _SYSINDEXES& row) {
  return row.indid <= 1 && (row.unitType == 0 || row.unitType == kUnitInRowData);
}

// One column of an index (2000 sysindexes.keys, 2005/2008 sysiscols). The
// list holds each index's key columns in key order, then its included columns.
struct _SysIndexKeys {
  uint32_t objectId = 0;
  uint32_t columnId = 0;
  uint32_t indexId = 0;
  uint16_t keyOrdinal = 0;  // 1-based place in the key; 0 for an included column
  bool descending = false;
  bool included = false;
};

// Dependency classes of foreign keys: the referencing and the referenced columns.
inline constexpr uint32_t kReferencingColumn = 28;
inline constexpr uint32_t kReferencedColumn = 29;

// One object dependency (2005/2008 syssingleobjrefs; 2000 sysreferences). A
// foreign key's columns: class 28 entries name the referencing table and
// column, class 29 the referenced ones, in key order (`depSubId`).
struct _SysConstraints {
  uint32_t refClass = 0;
  uint32_t depId = 0;
  uint32_t indepId = 0;
  uint32_t indepSubId = 0;
  uint32_t depSubId = 0;  // the column's place in the key, from 1
};

// The text of a check constraint or a module, whole, read through the page
// reader. In-row 2005/2008 texts also note where they lie in the data file.
// A 2000 text whose syscomments rows have a gap is kept up to the gap and
// marked incomplete.
struct _Check_Constraints {
  uint32_t objectId = 0;
  uint64_t textOffset = 0;
  uint16_t textLength = 0;
  std::u16string text;
  bool incomplete = false;
};
struct _Procedures {
  uint32_t objectId = 0;
  uint64_t textOffset = 0;
  uint16_t textLength = 0;
  std::u16string text;
  bool incomplete = false;
};

// One rowset (2005/2008 sysrowsets); used only while the catalogue is built.
struct _2008IndexIdentifier {
  uint32_t rowsetMid = 0;  // bits 16..47 of the rowset id
  uint64_t ownerKey = 0;   // owner object id << 16 | bits 48..63 of the rowset id
  uint32_t rowCount = 0;
  int32_t indexId = 0;      // idminor: 0 heap, 1 clustered, 2+ nonclustered
  uint8_t compression = 0;  // kCompressionNone ...
};

// One allocation unit (2005/2008 sysallocunits); used only while the catalogue is built.
struct _2008IndexPageNumbers {
  uint32_t ownerMid = 0;  // bits 16..47 of the owning rowset id
  uint64_t unitKey = 0;   // unit id bits 16..47 << 16 | owner id bits 48..63
  uint16_t unitHigh = 0;  // unit id bits 48..63
  uint32_t firstPage = 0;
  uint32_t firstFile = 0;
  uint32_t firstIAM = 0;
  uint32_t firstIAMFile = 0;
  uint8_t type = 0;  // kUnitInRowData, kUnitLargeObjects, kUnitRowOverflow
};

}  // namespace mendora
