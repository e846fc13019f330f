// The folder a save writes into: its twelve subfolders, the fixed batch
// files, CreateDatabase.sql and Import.bat, import.sh for Linux, the header
// line of every script, and the three small write operations every script
// writer goes through. Paths are the destination folder (ending with "/")
// followed by a relative path with "/" between folders.
//
// Every failure to create a folder or write a file is noted once per file in
// Failures(), in words; nothing is asked or shown from here.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "export/ScriptFile.h"

namespace mendora {

// The five scripts of keys, indexes and constraints, created at the start of
// every save and appended to by the keys pass.
enum class KeyScript { kConstraints, kIndexes, kPrimaryKeys, kUniqueKeys, kForeignKeys };

// "sqlcmd -S localhost -i ": every batch line that runs a script starts so.
inline constexpr std::u16string_view kSqlcmdPrefix = u"sqlcmd -S localhost -i ";

class ExportFolder {
 public:
  // `databaseName` as recovered (blanks already "_"); it is quoted where a
  // statement names it.
  ExportFolder(std::string destination, std::u16string databaseName);
  // The collation CreateDatabase.sql creates the database with; none when
  // empty.
  void SetDatabaseCollation(std::string name) { databaseCollation_ = std::move(name); }

  const std::string& Destination() const { return destination_; }
  // "Use " + the database, the first line of every script but CreateDatabase.sql.
  std::u16string HeaderLine() const;

  // The twelve folders, then the five key, index and constraint scripts.
  void Prepare();
  // The nine fixed batch files, CreateDatabase.sql, Import.bat and import.sh.
  void WriteFixedFiles();

  // Appends `text` to the batch file `fileName` (relative to the destination),
  // which is created when missing and kept when present, in the code page.
  bool AppendToFile(std::u16string_view text, std::string_view fileName);
  // Creates or empties the script at `path` with its header line.
  bool CreateScript(const std::string& path);
  // The same without noting anything, for a worker of the save: false with
  // `error` set when it fails. The caller notes a failure (NoteFailure) in the
  // save's order.
  bool MakeScript(const std::string& path, std::string& error) const;
  // Appends the statement and CR LF to the existing script at `path`.
  bool AppendStatement(const std::string& path, std::u16string_view statement);

  std::string Path(std::string_view relative) const { return destination_ + std::string(relative); }
  std::string KeyScriptPath(KeyScript script) const;
  // A file name for `stem` + `suffix` in `folder` (relative), safe for any
  // file system and the batch files, and not taken by an earlier file of this
  // save in that folder in any letter case: "_2", "_3" ... is added to the
  // stem as needed. An unchanged name is exactly stem + suffix.
  std::u16string UniqueFileName(std::string_view folder, std::u16string_view stem,
                                std::u16string_view suffix);
  // The batch line that runs `fileName`: quoted when it holds a blank.
  static std::u16string SqlcmdLine(std::u16string_view fileName);

  // Notes a failure once per subject (a path or a table).
  void NoteFailure(const std::string& subject, const std::string& what);
  const std::vector<std::string>& Failures() const { return failures_; }

 private:
  std::string destination_;
  std::u16string databaseName_;
  std::string databaseCollation_;
  std::map<std::string, std::set<std::u16string>> taken_;  // per folder, names in upper case
  std::set<std::string> failedSubjects_;
  std::vector<std::string> failures_;
};

}  // namespace mendora
