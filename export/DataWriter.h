// A writer of a format that holds the recovered data itself rather than
// scripts to replay: the SQLite database (SqliteWriter) and the folder of
// CSV files (CsvWriter). The save job reads every selected table through the
// table reader and hands the writer each table, its rows as typed values,
// the modules, and at the end the selection, whose keys, indexes and
// constraints the writer adds in its own terms.
//
// A writer notes what it could not write in `SaveNotes`: a failure is
// something lost (a table, a file), a warning a value or a rule kept in
// another form. Destroying a writer that has not finished keeps what it had
// completed: the tables written before a stop stay readable, the one being
// written when it came is left out or cut where the stop was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/CatalogueRecords.h"
#include "engine/Value.h"

namespace mendora {

struct RecoveredRow;

struct SaveNotes {
  std::vector<std::string> failures;
  std::vector<std::string> warnings;
};

struct TableWritten {
  uint64_t rows = 0;
  uint64_t deletedRows = 0;
};

class DataWriter {
 public:
  virtual ~DataWriter() = default;

  // Before anything else, on the worker: false when nothing can be written
  // (the failure is noted).
  virtual bool Begin() = 0;
  // A table and its columns in colid order. The path the dialog shows for
  // it; empty when the table cannot be written (noted).
  virtual std::string BeginTable(const _SYSOBJECTS& table,
                                 const std::vector<_SYSCOLUMNS>& columns) = 0;
  // One row, its values in the columns' order. False ends the table: what
  // follows could not be written either (noted).
  virtual bool WriteRow(const RowValues& row) = 0;
  // Puts what was written so far on disk; called before each checkpoint of
  // the table reader, so that a hold finds it there.
  virtual void Flush() = 0;
  // One row of the table that a plain read leaves behind (deleted,
  // superseded, on freed pages), with where it was found and why it is no
  // live row, when the save is asked for them: given as the reader finds it,
  // after the table's last live row, so that no table's recovered rows are
  // ever held whole. The first ends the table's live rows. False ends them:
  // what follows could not be written either (noted).
  virtual bool WriteDeletedRow(const RecoveredRow& row) = 0;
  // How many rows of the table, live and recovered, were written.
  virtual TableWritten EndTable() = 0;
  // A module's stored text (empty when the catalogue holds none).
  virtual void WriteModule(const _SYSOBJECTS& module, std::u16string_view text) = 0;
  // The keys, indexes, foreign keys and checks of `tables`, then closing.
  virtual void Finish(const std::vector<const _SYSOBJECTS*>& tables) = 0;
};

}  // namespace mendora
