// The CSV save: in the save's folder one "<table>.csv" per table and
// "schema.sql".
//
//   <table>.csv   RFC 4180 in UTF-8 without a byte-order mark, CR LF line
//                 ends, a header line of the column names, then one line per
//                 row. Each value is its exact text, as `mendora-cli rows`
//                 writes it (CsvField.h for the quoting): NULL is an empty
//                 field without quotes, an empty string is "".
//   <table>_deleted.csv  when asked for, the rows a plain read of the table
//                 leaves behind, with the columns "_found_at" and "_why" first
//   schema.sql    the table definitions with their keys, foreign keys and
//                 checks, then the modules' texts, each statement followed
//                 by a GO line, in UTF-8.
//
// A table's file name is made safe and unique within the folder in any
// letter case, as the script names are.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/Catalogue.h"
#include "export/DataWriter.h"

namespace mendora {

class CsvWriter final : public DataWriter {
 public:
  // `folder`: the save's own folder, ending with "/", made by the
  // destination step.
  CsvWriter(std::string folder, const Catalogue& catalogue, SaveNotes& notes);
  ~CsvWriter() override;

  // The next table goes to `path`, a new file, rather than to a name in the
  // folder (the export of one table from the window).
  void SetTableFile(std::string path);
  // Schemas schema.sql makes besides those of the saved objects (a save of
  // the whole database: every schema its users made).
  void AlsoMakeSchemas(std::vector<std::u16string> schemas);

  bool Begin() override { return true; }
  std::string BeginTable(const _SYSOBJECTS& table,
                         const std::vector<_SYSCOLUMNS>& columns) override;
  bool WriteRow(const RowValues& row) override;
  void Flush() override;
  bool WriteDeletedRow(const RecoveredRow& row) override;
  TableWritten EndTable() override;
  void WriteModule(const _SYSOBJECTS& module, std::u16string_view text) override;
  void Finish(const std::vector<const _SYSOBJECTS*>& tables) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace mendora
