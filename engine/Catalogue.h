// The recovered catalogue of one analysed data file. Every list is appended at
// its tail and walked from its head; the analysis empties all of them before
// it starts. Readers that need another order sort their own copy.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/ByteReader.h"
#include "engine/CatalogueRecords.h"
#include "engine/DamageReport.h"
#include "engine/RowCutter.h"
#include "engine/Version.h"

namespace mendora {

struct Catalogue {
  std::vector<_SYSOBJECTS> objects;       // every accepted object row, ids unique
  std::vector<_SYSOBJECTS> userTables;    // objects of type "U ", in object order
  std::vector<_SYSCOLUMNS> columns;       // columns of user tables, in file order
  std::vector<_SYSINDEXES> indexRows;     // every accepted index row
  std::vector<_SYSINDEXES> tableStorage;  // per user table: its first index row
  std::vector<_2008IndexIdentifier> rowsets;
  std::vector<_2008IndexPageNumbers> allocationUnits;
  std::vector<_SysIndexKeys> indexKeys;
  std::vector<_SysConstraints> dependencies;
  std::vector<_Check_Constraints> checkTexts;
  std::vector<_Check_Constraints> defaultTexts;  // of the "D " objects
  std::vector<_AliasType> aliasTypes;            // the user's alias types
  std::vector<_Procedures> moduleTexts;
  // The schemas (2005 on: sysclsobjs class 50) or users (2000: sysusers) the
  // file lists, by id: what the objects' schema ids name.
  std::map<int32_t, std::u16string> schemas;

  // The physical layout of each user table's rows, by table id: as the file
  // records it where it does, otherwise the colid-order layout.
  std::map<int64_t, ColumnLayout> layouts;

  // The boot-page name, cut of its padding, blanks made "_".
  std::u16string databaseName;
  // The database's default collation id (boot page).
  uint32_t databaseCollation = 0;

  // What the analysis met that a healthy file does not hold. The catalogue
  // is still what could be read; these say how far to trust it.
  struct Damage {
    uint64_t misplacedPages = 0;     // allocated pages whose header names another page
    uint64_t referencesPastEnd = 0;  // catalogue page references past the file's end
    // Object-table pages found only by the boot page's route: their headers
    // do not say what they are.
    uint64_t pagesThroughBootPage = 0;
    // Fields of the system tables that the tables' own description (2005
    // on) places elsewhere than the reader reads them: the catalogue read
    // through them is not to be trusted.
    uint64_t misplacedSystemFields = 0;
    // Where the recovery skipped something: system-table records a slot
    // names that do not parse, allocated pages that name another page,
    // page references past the file's end; at most DamageReport::kMaxEntries.
    std::vector<DamageEntry> entries;
    uint64_t entriesNotKept = 0;
    void Add(uint64_t page, std::optional<uint16_t> slot, std::optional<uint32_t> offset,
             std::string reason);
    bool Any() const {
      return misplacedPages || referencesPastEnd || pagesThroughBootPage || misplacedSystemFields ||
             !entries.empty();
    }
  } damage;

  void Clear() { *this = Catalogue{}; }
};

// Schema ids that 2005 and later fix in every database.
inline constexpr int32_t kSchemaInformationSchema = 3;
inline constexpr int32_t kSchemaSys = 4;
// The fixed database roles' schemas (db_owner and the others) from here on;
// the schemas the database's users made lie between sys and them.
inline constexpr int32_t kFirstRoleSchema = 16384;

// The schemas the database's users made (2005 on), in id order, whether or
// not an object is in them; none in 2000, whose owners are users.
std::vector<std::u16string> UserSchemaNames(const Catalogue& catalogue,
                                            const VersionFlags& version);

// The name of a schema (2005 on) or owner (2000) the file does not need to
// name: 1 is dbo in every version; 2005 and later also fix guest (2),
// INFORMATION_SCHEMA (3) and sys (4). Empty for any other id.
std::u16string FixedSchemaName(int32_t schemaId, const VersionFlags& version);

// Gives every object and user table the name of its schema id: the file's
// own (`schemas`), else the fixed one of the version (FixedSchemaName), else
// dbo. A damaged or missing schema row loses the object no table: it is
// made in dbo.
void ResolveSchemaNames(Catalogue& catalogue, const VersionFlags& version);

// Each index's columns in key order, its included columns after them; the
// indexes in the order they were found.
void SortIndexKeys(std::vector<_SysIndexKeys>& keys);
// Each foreign key's columns in key order; the keys in the order they were found.
void SortDependencies(std::vector<_SysConstraints>& dependencies);

// The object with this id; nothing when the catalogue has none.
const _SYSOBJECTS* ObjectById(const Catalogue& catalogue, int64_t id);
// Its name; empty when there is no such object.
std::u16string ObjectName(const Catalogue& catalogue, int64_t id);
// The stored text of the default with this object id; nothing when the
// catalogue has none.
const _Check_Constraints* DefaultText(const Catalogue& catalogue, int64_t defaultId);
// The stored text of the check constraint with this object id; nothing when
// the catalogue has none.
const _Check_Constraints* CheckText(const Catalogue& catalogue, int64_t checkId);
// The alias type a column is declared with; nothing for a base type.
const _AliasType* AliasTypeOf(const Catalogue& catalogue, const _SYSCOLUMNS& column);
// The table's identity column; nothing when it has none.
const _SYSCOLUMNS* IdentityColumn(const Catalogue& catalogue, int64_t tableId);
// The module's text; nothing when the catalogue has none.
const _Procedures* ModuleText(const Catalogue& catalogue, int64_t moduleId);
// The rows the table's storage row counts; 0 when it has none.
uint64_t StoredRowCount(const Catalogue& catalogue, int64_t tableId);

// The joins both recoveries end with. The user tables are the objects of type
// "U ", in object order.
void CollectUserTables(Catalogue& catalogue);
std::unordered_set<int64_t> UserTableIds(const Catalogue& catalogue);
// For each user table, the index row its rows are found through: the heap or
// clustered index's in-row data unit where there is one, else its first row.
void CollectTableStorage(Catalogue& catalogue);

// Counts the index rows whose first page or first IAM page lies past the end
// of a file of `pageCount` pages: the file has been cut short.
void CountReferencesPastEnd(Catalogue& catalogue, uint64_t pageCount);

// Gives every char, varchar and text column the code page of its collation,
// the database default's where the column stores none.
void ResolveCodePages(Catalogue& catalogue);
// Reads every char, varchar and text column in `codePage` instead, for data
// an application stored in another code page than the collation says.
void UseCodePage(Catalogue& catalogue, uint16_t codePage);
bool IsEightBitText(uint8_t xtype);

// The records of a page of system table `table` that a slot names but that
// cannot be read: a slot that points outside the page body, or a data
// record that does not parse within its bounds. Ghosts, forwarding stubs
// and records the decoders leave for other reasons (another table's row on
// a shared page) are not damage. Each becomes an entry of `damage`.
void NoteDamagedSystemRecords(Bytes page, uint64_t pageNumber, std::string_view table,
                              Catalogue::Damage& damage);

// The damage in words, one sentence per kind; empty for a healthy file.
std::vector<std::string> DamageWarnings(const Catalogue& catalogue);

}  // namespace mendora
