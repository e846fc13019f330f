// The commands of mendora-cli. Each writes its result to `out` and the text
// the window would show for a refused or unreadable file to `err`; the return
// value is the exit status (0 done, 1 refused or unreadable file).
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ui/SaveFormat.h"

namespace cli {

// With `damage`: instead of the counts, the file's damage report (catalogue
// pages and references, then every table's skipped records and values), one
// tab-separated line each: file, page, slot, offset, reason.
int Info(const std::string& path, std::ostream& out, std::ostream& err, bool damage = false);
// The user tables' names, one per line, as Rows takes them: schema.name
// where the file keeps schemas. For scripts and the shell's completion.
int Tables(const std::string& path, std::ostream& out, std::ostream& err);
// The object tree as the window builds it, one node per line, two spaces of
// indent per level. A refused file prints the window's bare root.
int Tree(const std::string& path, std::ostream& out, std::ostream& err);

enum class RowsFormat { kTsv, kCsv, kJson };
struct RowsOptions {
  std::string path;
  // Names or schema.names, matched exactly; several are written one after
  // the other in this order.
  std::vector<std::string> tables;
  RowsFormat format = RowsFormat::kTsv;
  std::optional<uint64_t> limit;
  // Every char, varchar and text column read in this code page instead of
  // its collation's.
  std::optional<uint16_t> codePage;
  // --deleted: only the rows recovered from what a plain read leaves behind;
  // --all: the live rows, then those. Both lead each row with `_found_at`
  // and `_why` (empty for a live row).
  bool deleted = false;
  bool all = false;
  // --damage: instead of the rows, what reading them skipped, one line each.
  bool damage = false;
  // Tables read at once when several are named; 0: one per hardware thread.
  unsigned jobs = 0;
};
// The table's rows as they are read: tsv or csv with a header line of column
// names, or JSON Lines. An unknown table exits 1 naming the tables whose
// names differ only in case. Several tables are read by a pool of workers
// and written one after the other, each as it would be alone.
int Rows(const RowsOptions& options, std::ostream& out, std::ostream& err);

struct DdlOptions {
  std::string path;
  std::optional<std::string> name;  // a key, index, constraint, module or table, matched exactly
};
// Without a name: every key, index, foreign-key and check statement of the
// file, one per line, table by table. With one: the statement or the module
// text of each object of that name, exactly as the preview shows it (a
// module one line per row). An unknown name exits 1.
int Ddl(const DdlOptions& options, std::ostream& out, std::ostream& err);

struct ExportOptions {
  std::string path;
  std::string destination;           // created when missing; the save's folder goes inside
  std::vector<std::string> only;     // tables and modules, as if checked in the tree; empty: all
  std::optional<uint16_t> codePage;  // as for rows
  ui::SaveFormat format = ui::SaveFormat::kSql;
  // --deleted: each table's recovered rows also, in Tables_Data/<table>_Deleted.sql.
  bool deleted = false;
  // Tables read at once; 0: one per hardware thread.
  unsigned jobs = 0;
};
// The save: prints the folder it wrote (the database file for sqlite),
// progress and failures on `err`; exits 1 when anything could not be written.
int Export(const ExportOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
