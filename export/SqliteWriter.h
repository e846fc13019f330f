// The SQLite save: one database file, written through the SQLite library,
// that any language or tool opens without a SQL Server.
//
//   every table     its columns in colid order, declared so that SQLite's
//                   affinity keeps each value exact:
//                     tinyint ... bigint, bit          INTEGER
//                     real, float                      REAL
//                     char ... ntext, xml              TEXT (UTF-8)
//                     uniqueidentifier                 TEXT, upper-case 8-4-4-4-12
//                     date and time types              TEXT, ISO 8601 with their scale
//                     decimal, numeric, money          TEXT with every digit (a REAL
//                                                      would round them)
//                     binary ... image, timestamp      BLOB
//                     sql_variant, types not known     no type: the value as it is
//                   its primary key, foreign keys and checks in the table's
//                   definition; unique keys and indexes (DESC kept) as
//                   indexes once the rows are in
//   _mendora_columns      table, column, the SQL Server type, collation
//   _mendora_constraints  what SQLite cannot hold as it stands, with the
//                         original text and the reason: a check whose text
//                         is not valid SQLite or that the rows do not meet
//                         there, a foreign key whose rows or referenced key
//                         do not hold, a unique key the rows break, an
//                         index's included columns
//   _mendora_modules      views, procedures, functions, triggers as text
//   <table>_deleted       when asked for, the rows a plain read of the table
//                         leaves behind: "_found_at" and "_why" (as
//                         `rows --deleted` prints them), then the table's
//                         columns, without keys or rules
//
// Rows go in one transaction per table through one prepared statement, an
// INSERT that selects them from a virtual table fed by the reading thread. A
// rule SQLite would enforce is only kept in a table's definition when the
// rows meet it, so that `PRAGMA integrity_check` and
// `PRAGMA foreign_key_check` find nothing; the rule is never lost, it moves
// to _mendora_constraints. A row SQLite refuses (its primary key repeated, a
// NULL in a NOT NULL column, both only in damaged files) is counted in the
// warnings.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/Version.h"
#include "export/DataWriter.h"

namespace mendora {

class SqliteWriter final : public DataWriter {
 public:
  // `path`: the database file, which the destination step has created empty.
  SqliteWriter(std::string path, const Catalogue& catalogue, const VersionFlags& version,
               SaveNotes& notes);
  ~SqliteWriter() override;

  bool Begin() override;
  std::string BeginTable(const _SYSOBJECTS& table,
                         const std::vector<_SYSCOLUMNS>& columns) override;
  bool WriteRow(const RowValues& row) override;
  void Flush() override {}
  bool WriteDeletedRow(const RecoveredRow& row) override;
  TableWritten EndTable() override;
  void WriteModule(const _SYSOBJECTS& module, std::u16string_view text) override;
  void Finish(const std::vector<const _SYSOBJECTS*>& tables) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The column's declared SQLite type, from its SQL Server type: "INTEGER",
// "REAL", "TEXT", "BLOB", or empty for none.
std::string SqliteDeclaredType(const _SYSCOLUMNS& column);

// A name in double quotes, each double quote doubled.
std::string SqliteName(std::u16string_view name);

}  // namespace mendora
