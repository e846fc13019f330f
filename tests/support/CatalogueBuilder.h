// Writes a whole synthetic data file with a catalogue: user tables with their
// columns, rows, keys, indexes, check constraints, modules and dependencies,
// laid out as the server lays them out in the system tables of the file's
// version (rows from SystemRows.h), with IAM pages, data pages and, for
// 2005/2008 files, PFS pages.
//
// 539: sysobjects, syscolumns and sysindexes behind their IAM pages 10, 26 and
// 13; sysobjects' first page is page 8 and its pages are linked by their
// next-page fields. User tables: IAM and data pages carrying the table's
// object id.
// 611 and later: sysschobjs, syscolpars, sysrowsets, sysallocunits, sysidxstats,
// sysiscols, syssingleobjrefs, sysobjvalues and the column layout tables
// (655 sysrscols; 611 sysrowsetcolumns and syshobtcolumns) on pages with their
// object id and header index id 0. Every user table has a rowset (index id 0
// for a heap, 1 when a clustered key is added) and an in-row allocation unit;
// its IAM and data pages carry the unit's id bits 16..47 and header index id
// 256 (bits 48..63).
//
// Pages: the first eight pages of every object are single pages, the rest
// whole extents, as the server allocates them. Every page written is marked
// allocated in the PFS page of its interval.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/MdfBuilder.h"
#include "tests/support/SystemRows.h"
#include "tests/support/TypeCodeNames.h"

namespace mdftest {

struct ColumnDef {
  std::u16string name;
  uint8_t xtype = xtype::kInt;
  int16_t length = 4;
  bool notNull = false;
  uint8_t prec = 0;
  uint8_t scale = 0;
  // The collation id stored with the column; 0 leaves the builder's usual
  // one (2005 and later SQL_Latin1_General_CP1_CI_AS, 2000 none).
  uint32_t collation = 0;
  // 2005 and later: bits added to the column's syscolpars status (0x20
  // FILESTREAM, 0x1000000 sparse, 0x2000000 the column set); the values are
  // written in the row's usual place all the same.
  uint32_t statusBits = 0;
  // An identity column: its identity value holds the last value given
  // (none: no value yet), the seed and the increment, as wide as the type.
  struct Identity {
    int64_t seed = 1;
    int64_t increment = 1;
    std::optional<int64_t> last;
  };
  std::optional<Identity> identity;
  // 539: a computed column with this definition (kept in syscomments under
  // the table's id, numbered by the colid); it has no place in the rows.
  // 2005 on: syscolpars status 0x10 (0x200 more when `persisted`) and a
  // sysobjvalues row of value class 2 (the table's id, sub id the colid)
  // holding the definition; its values stand in the rows as a persisted
  // column's do.
  std::u16string computedText;
  bool persisted = false;
};
ColumnDef IntColumn(const std::u16string& name, bool notNull = false);
ColumnDef BigIntColumn(const std::u16string& name);
ColumnDef CharColumn(const std::u16string& name, int16_t length);
ColumnDef VarCharColumn(const std::u16string& name, int16_t length);
ColumnDef NVarCharColumn(const std::u16string& name, int16_t characters);
ColumnDef BitColumn(const std::u16string& name);
ColumnDef NTextColumn(const std::u16string& name);
ColumnDef TextColumn(const std::u16string& name);
ColumnDef ImageColumn(const std::u16string& name);
ColumnDef VarBinaryColumn(const std::u16string& name, int16_t length);
// varchar(max), nvarchar(max), varbinary(max): the column length is -1.
ColumnDef MaxColumn(const std::u16string& name, uint8_t type);

// A column value as stored; nothing for NULL.
using Value = std::optional<ByteVec>;
using Row = std::vector<Value>;  // in colid order
Value IntValue(int32_t v);
Value BigIntValue(int64_t v);
Value CharValue(const std::string& s, size_t length);  // padded with blanks
Value VarCharValue(const std::string& s);
Value NVarCharValue(const std::u16string& s);
Value BitValue(bool v);
Value TextPointerValue(uint32_t page, uint16_t slot);  // the 16-byte in-row pointer
inline const Value kNull = std::nullopt;

// How a large value is kept off its row. The builder lays the records out on
// large-object pages (type 3, type 4 for inner nodes) of the table's
// large-object unit (2000: the table id and index id 255), or of its
// row-overflow unit, while it writes the row, and the row holds the pointer
// with bit 0x8000 on the column's end offset.
enum class LobShape : uint8_t {
  // text pointer -> small root (type 0): the data in the root itself.
  kSmallRoot,
  // text pointer -> large root (level 0) -> data fragments (type 3).
  kLargeRoot,
  // text pointer -> large root (level 1) -> one internal node (type 2) on a
  // text-tree page -> data fragments.
  kTree,
  // (max) types: an in-row root (first byte 4, level 0) whose links lead
  // straight to data fragments.
  kInRowRoot,
  // 24-byte row-overflow pointer (first byte 2) -> one data fragment on a
  // page of the row-overflow unit.
  kRowOverflow,
  // The given bytes stand in the row as they are, marked off the row (a
  // damaged or hand-made pointer).
  kAsGiven,
};
// A value the builder lays out as `shape` when it writes the row: the data
// cut into fragments of at most `fragmentBytes` (the server's 8040 when 0).
// The returned bytes are a request the builder recognises by a marker and
// never writes to the file.
Value LargeValue(const ByteVec& data, LobShape shape, size_t fragmentBytes = 0);
// A pointer written in the row as it is, marked as kept off the row.
Value OffRowBytes(const ByteVec& pointer);

// 539: how a check's or module's text is laid out in syscomments rows.
struct CommentOptions {
  // One byte per character (Windows-1252, status 0x02) instead of UTF-16LE.
  bool compressed = false;
  // Characters per row; the server's 4000 (UTF-16) or 8000 (one byte per
  // character) when 0.
  size_t charsPerRow = 0;
};

struct TableOptions {
  // Physical column order as colids (clustered key columns first); empty for
  // colid order.
  std::vector<int16_t> physicalOrder;
  // A non-unique clustered index's hidden uniquifier: variable column 1,
  // before the named variable columns; every row stores this value in it.
  bool uniquifier = false;
  uint32_t uniquifierValue = 0;
  // 2005/2008: a large-object allocation unit besides the in-row one, listed
  // first in sysallocunits when `lobUnitFirst`.
  bool lobUnit = false;
  bool lobUnitFirst = false;
  // The row count the catalogue records; the number of rows when not given.
  std::optional<uint64_t> recordedRowCount;
  // 539: the name on the heap's sysindexes row (empty by default).
  std::u16string heapName;
  // Rows per data page; as many as fit when 0.
  size_t rowsPerPage = 0;
  // A heap's rows (by index) that moved: their slot holds a 9-byte
  // forwarding stub (status 0x04, page u32, file u16, slot u16) naming a
  // forwarded record (type bits 0x02, with a trailing 10-byte back pointer
  // to the stub) on a data page of the same unit written before the rows.
  std::vector<uint64_t> forwardedRows;
  // 2008 on: the rowset's compression level as sysrowsets records it (0
  // none, 1 row, 2 page, 3 columnstore); the rows are written uncompressed
  // all the same.
  uint8_t compression = 0;
  // 2012 on: bits of the table's sysschobjs status2 (0x08 memory-optimized).
  uint32_t status2 = 0;
};

// One record of a large value on a large-object page.
struct LobRecordPlace {
  uint32_t page = 0;
  uint16_t slot = 0;
  uint16_t offset = 0;  // page offset of the record
  uint16_t type = 0;    // 0 small root, 2 internal node, 3 data, 4/5 large root
};
// Where the records of one large value went, in the order written: data
// fragments first, then the inner node, then the root.
struct LaidOutValue {
  uint64_t row = 0;
  size_t column = 0;  // 0-based colid order
  LobShape shape = LobShape::kSmallRoot;
  std::vector<LobRecordPlace> records;
};
// Where a forwarded row went.
struct ForwardedPlace {
  uint64_t row = 0;
  uint32_t stubPage = 0;
  uint16_t stubSlot = 0;
  uint32_t page = 0;  // the forwarded record
  uint16_t slot = 0;
};

// Where one table ended up.
struct BuiltTable {
  int32_t id = 0;
  uint32_t objectIdOnPages = 0;  // 539: the table id; 2005/2008: the in-row unit's id bits 16..47
  uint32_t iamPage = 0;
  uint32_t firstPage = 0;
  std::vector<uint32_t> dataPages;  // in the order the rows were written
  uint32_t lobUnitObjectId = 0;
  uint32_t lobIamPage = 0;
  std::vector<uint32_t> lobPages;     // in allocation order, text-tree pages included
  uint32_t overflowUnitObjectId = 0;  // 2005/2008 row-overflow unit, 0 when none
  uint32_t overflowIamPage = 0;
  std::vector<uint32_t> overflowPages;
  std::vector<LaidOutValue> largeValues;
  std::vector<ForwardedPlace> forwarded;
  uint64_t rowsetId = 0;
};

// A database in two files: the in-row pages of one table of a built 2005 or
// later file (its IAM page and data pages) moved into a secondary data file
// with id `fileId`, at the same page numbers. Every pointer that leads to
// them names that file: the allocation unit's first page and first IAM page
// (MoveTableRows, given to EditSystemRows before the build), the IAM page's
// interval and single pages and the data pages' next-page links
// (SplitOffSecondaryFile, after the build). Both files get a page 0 (file
// header) with the same binding id.
class CatalogueBuilder;
struct SecondaryFileSplit {
  int32_t tableId = 0;
  uint16_t fileId = 3;
  uint16_t filegroup = 2;
  std::u16string logicalName = u"Second";
  std::array<std::byte, 16> bindingId{std::byte{0x8e}, std::byte{0x2d}, std::byte{0x6a}};
  // The table's first data page and the unit's first IAM page stay in the
  // primary file, where that IAM page maps only that data page; its
  // next-page link leads to the table's IAM page in the secondary file,
  // which maps the other pages (MoveTableRows then changes nothing).
  bool chainFromPrimary = false;
};
std::function<void(std::map<uint32_t, std::vector<ByteVec>>&)> MoveTableRows(
    const CatalogueBuilder& builder, const SecondaryFileSplit& split);
// The secondary file; the table's pages in `primary` become empty pages.
MdfBuilder SplitOffSecondaryFile(const CatalogueBuilder& builder, MdfBuilder& primary,
                                 const SecondaryFileSplit& split);

class CatalogueBuilder {
 public:
  using RowSource = std::function<Row(uint64_t index)>;

  CatalogueBuilder(uint16_t version, const std::u16string& databaseName);

  uint16_t Version() const { return version_; }
  // The database's default collation id, on the boot page.
  void SetDatabaseCollation(uint32_t collation) { databaseCollation_ = collation; }
  bool Is2000() const { return version_ == 539; }

  int32_t AddTable(const std::u16string& name, const std::vector<ColumnDef>& columns,
                   const std::vector<Row>& rows = {}, const TableOptions& options = {});
  // A table whose rows are made one at a time while the file is written.
  int32_t AddGeneratedTable(const std::u16string& name, const std::vector<ColumnDef>& columns,
                            uint64_t rowCount, RowSource rows, const TableOptions& options = {});

  // A primary key ("PK") or unique key ("UQ") object with its index. A
  // clustered one makes the table's rowset index 1 and names it.
  int32_t AddKey(int32_t tableId, const std::u16string& name, const std::string& type,
                 const std::vector<int16_t>& keyColumns, bool clustered = false);
  // A nonclustered index (index id 2, 3, ...) with its own rowset.
  int32_t AddIndex(int32_t tableId, const std::u16string& name,
                   const std::vector<int16_t>& keyColumns, uint32_t status = 0x03);
  // 539: an index with its sysindexes status (0x02 unique, 0x20 hypothetical,
  // 0x40 statistics, ...). A clustered one (0x10 added) is the table's index
  // 1 and names its row; when it is not unique its keys end in the
  // uniquifier and the table's rows carry one. Returns the index id.
  int32_t AddIndex2000(int32_t tableId, const std::u16string& name,
                       const std::vector<int16_t>& keyColumns, uint32_t status,
                       bool clustered = false);
  // Texts: 2005/2008 keep them in sysobjvalues (single-byte); 539 in
  // syscomments rows laid out as `options` says.
  int32_t AddCheck(int32_t tableId, const std::u16string& name, const std::string& text,
                   const CommentOptions& options = {});
  int32_t AddCheck(int32_t tableId, const std::u16string& name, const std::u16string& text,
                   const CommentOptions& options = {});
  // A procedure, function, trigger or view ("P ", "FN", "TR", "V ", ...). A
  // 539 procedure's text is its numbered part 1; other texts have number 0.
  int32_t AddModule(const std::string& type, const std::u16string& name, const std::string& text,
                    int32_t parent = 0, const CommentOptions& options = {});
  int32_t AddModule(const std::string& type, const std::u16string& name, const std::u16string& text,
                    int32_t parent = 0, const CommentOptions& options = {});
  // 539: the text of the next procedure of a numbered group (number 2, 3,
  // ...), kept under the first one's object id.
  void AddNumberedText(int32_t moduleId, const std::u16string& text,
                       const CommentOptions& options = {});
  // A default constraint ("D ", parent `tableId`) on the column `colid`
  // (from 1): the column names it, its text is kept as a check's.
  int32_t AddDefault(int32_t tableId, int16_t colid, const std::u16string& name,
                     const std::string& text);
  // Any other object row (a foreign key "F ", a default "D ", ...).
  int32_t AddObject(const std::u16string& name, const std::string& type, int32_t parent = 0);
  // The status word of an object's row (2000 sysobjects, 2005 on
  // sysschobjs), in place of the builder's usual one.
  void SetObjectStatus(int32_t objectId, uint32_t status);
  // A schema other than dbo with the id objects name it by (SetSchema):
  // 2005 on a sysclsobjs row of class 50, written with those of dbo (1),
  // guest (2), INFORMATION_SCHEMA (3) and sys (4); 539 an owner, a sysusers
  // row written with dbo's (1) and guest's (2), sysusers described in
  // syscolumns and found through its sysindexes row. A file without added
  // schemas has neither table.
  void AddSchema(int32_t id, const std::u16string& name);
  // The object's schema id (2005 on: sysschobjs nsid) or owner's uid (539:
  // sysobjects uid); 1, dbo, when not set.
  void SetSchema(int32_t objectId, int32_t schemaId);
  void AddDependency(uint8_t refClass, int32_t depId, int32_t depSubId, int32_t indepId,
                     int32_t indepSubId);
  // 539: a foreign key object ("F ", parent `tableId`) and its sysreferences
  // row: the referencing and referenced columns in key order, the referenced
  // key's index id.
  int32_t AddForeignKey(int32_t tableId, const std::u16string& name,
                        const std::vector<int16_t>& columns, int32_t referencedTable,
                        const std::vector<int16_t>& referencedColumns, int16_t referencedIndex = 1);

  // System-table rows per system object id, as they will be laid out; a test
  // may change, reorder or add rows here before they are placed.
  using SystemRowLists = std::map<uint32_t, std::vector<ByteVec>>;
  void EditSystemRows(std::function<void(SystemRowLists&)> edit) { edit_ = std::move(edit); }
  // At most this many rows on each page of one system table.
  void SetSystemRowsPerPage(uint32_t systemObjectId, size_t rows) {
    systemRowsPerPage_[systemObjectId] = rows;
  }

  // Lays everything out into a data file in memory.
  MdfBuilder Build();
  // Writes the file straight to disk page by page; made rows are never held
  // all at once.
  void WriteTo(const std::string& path);

  // After Build or WriteTo: where things went.
  const BuiltTable& Table(int32_t tableId) const { return built_.at(tableId); }
  const std::vector<uint32_t>& SystemPages(uint32_t systemObjectId) const {
    return systemPages_.at(systemObjectId);
  }
  uint64_t PageCount() const { return pageCount_; }

  // Marks a page allocated or free in the PFS page of a built file.
  static void SetAllocated(MdfBuilder& file, uint32_t page, bool allocated);

 private:
  struct TableDef {
    int32_t id = 0;
    std::u16string name;
    std::vector<ColumnDef> columns;
    uint64_t rowCount = 0;
    RowSource rows;
    TableOptions options;
    int32_t clusteredIndex = 0;  // 1 once a clustered key is added
    std::u16string clusteredName;
    uint32_t clusteredStatus = 0;
    int32_t nextIndexId = 2;
    std::map<int16_t, int32_t> defaults;  // colid -> default object id
  };
  struct IndexDef {
    int32_t tableId = 0;
    int32_t indid = 0;
    std::u16string name;
    uint32_t status = 0;
    std::vector<int16_t> keyColumns;
  };
  struct ObjectDef {
    int32_t id = 0;
    std::u16string name;
    std::string type;
    int32_t parent = 0;
    uint32_t status2 = 0;
    std::optional<uint32_t> status;  // the row's usual status when not set
    int32_t schema = 1;
  };
  struct TextDef {
    int32_t objectId = 0;
    std::u16string text;
    int16_t number = 0;  // 539: the syscomments number
    CommentOptions options;
  };
  struct ForeignKeyDef {
    int32_t id = 0;
    int32_t tableId = 0;
    std::vector<int16_t> columns;
    int32_t referencedTable = 0;
    std::vector<int16_t> referencedColumns;
    int16_t referencedIndex = 1;
  };
  struct Place;
  class Layout;
  using Sink = std::function<void(const PageBuilder&)>;

  int32_t NextObjectId();
  void Emit(const Sink& sink);
  void PlaceTables(Layout& layout);
  void PlaceTable(Layout& layout, const TableDef& t);
  TableDef& TableOf(int32_t tableId);
  const IndexDef* ClusteredIndexOf(int32_t tableId) const;
  ByteVec IndexKeys2000(const IndexDef& x) const;
  void CommentRows2000(const TextDef& text, std::vector<ByteVec>& out) const;
  SystemRowLists SystemRows2000() const;
  SystemRowLists SystemRows2005() const;
  void PlaceSystemTables(Layout& layout, SystemRowLists& rows);
  std::vector<Place> PlacesOf(const TableDef& t) const;
  ByteVec EncodeRow(const TableDef& t, const std::vector<Place>& places, const Row& row,
                    const std::vector<bool>& offRow = {}, bool forwarded = false) const;

  uint16_t version_;
  std::u16string databaseName_;
  uint32_t databaseCollation_ = 0;
  int32_t nextId_ = 1977058079;
  // Rowset and allocation unit ids, bits 16..47: clear of the system tables'
  // object ids, which the pages of system tables carry.
  static constexpr uint32_t kFirstMid = 0x4D2;
  uint32_t nextMid_ = kFirstMid;
  std::vector<ObjectDef> objects_;
  std::vector<std::pair<int32_t, std::u16string>> schemas_;
  std::vector<TableDef> tables_;
  std::vector<IndexDef> indexes_;
  std::vector<TextDef> checks_;
  std::vector<TextDef> modules_;
  std::vector<SysSingleObjRefsRow> dependencies_;
  std::vector<ForeignKeyDef> foreignKeys_;
  // 539: the IAM and first data page of syscomments and sysreferences, taken
  // before the system rows are made, since their sysindexes rows name them.
  std::map<uint32_t, std::pair<uint32_t, uint32_t>> systemIamAndFirst_;
  std::function<void(SystemRowLists&)> edit_;
  std::map<uint32_t, size_t> systemRowsPerPage_;

  std::map<int32_t, BuiltTable> built_;
  std::map<uint32_t, std::vector<uint32_t>> systemPages_;
  uint64_t pageCount_ = 0;
};

}  // namespace mdftest
