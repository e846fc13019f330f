#include "export/ExportFolder.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "engine/Utf16.h"
#include "export/FileNames.h"
#include "sql/SqlName.h"

namespace mendora {
namespace {

constexpr std::array<const char*, 12> kFolders = {"Tables_Create",
                                                  "Tables_Data",
                                                  "Programmability",
                                                  "Programmability/Procedure",
                                                  "Programmability/Function",
                                                  "Programmability/View",
                                                  "Programmability/Triggers",
                                                  "Constraints",
                                                  "Indexes",
                                                  "PrimaryKey",
                                                  "ForeignKey",
                                                  "UniqueKey"};

struct KeyBatch {
  const char* batch;
  const char16_t* folder;
  const char16_t* script;
};
constexpr std::array<KeyBatch, 5> kKeyBatches = {{
    {"PrimaryKey.bat", u"PrimaryKey", u"PrimaryKeys.sql"},
    {"ForeignKey.bat", u"ForeignKey", u"ForeignKeys.sql"},
    {"Indexes.bat", u"Indexes", u"Indexes.sql"},
    {"UniqueKey.bat", u"UniqueKey", u"UniqueKeys.sql"},
    {"Constraints.bat", u"Constraints", u"Constraints.sql"},
}};

struct ModuleBatch {
  const char* batch;
  const char16_t* folder;
};
constexpr std::array<ModuleBatch, 4> kModuleBatches = {{
    {"Procedure.bat", u"Procedure"},
    {"Functions.bat", u"Function"},
    {"Triggers.bat", u"Triggers"},
    {"View.bat", u"View"},
}};

// The rows are replayed after the tables' keys and indexes and before the
// foreign keys and check constraints, which would refuse rows that arrive
// before the rows they refer to.
constexpr std::array<std::u16string_view, 27> kImportLines = {
    u"echo OFF",
    u"echo:",
    u"sqlcmd -S localhost -i CreateDatabase.sql",
    u"CALL Tables_Create",
    u"CD..",
    u"CALL PrimaryKey",
    u"CD..",
    u"CALL Indexes",
    u"CD..",
    u"CALL Tables_Data",
    u"CD..",
    u"CALL ForeignKey",
    u"CD..",
    u"CALL UniqueKey",
    u"CD..",
    u"CALL Constraints",
    u"CD..",
    u"CALL Procedure",
    u"CD..",
    u"CD..",
    u"CALL Functions",
    u"CD..",
    u"CD..",
    u"CALL View",
    u"CD..",
    u"CD..",
    u"CALL Triggers"};

constexpr std::string_view kImportScript = R"sh(#!/bin/sh
# Replays the saved scripts with sqlcmd in the order of Import.bat: the
# database, the tables, their primary keys and indexes, the rows, the foreign
# keys, unique keys and check constraints, then the procedures, functions,
# views and triggers. sqlcmd takes the server and the login from
# SQLCMDSERVER, SQLCMDUSER and SQLCMDPASSWORD; without SQLCMDSERVER the
# server is localhost.
cd "$(dirname "$0")" || exit 1
SQLCMDSERVER="${SQLCMDSERVER:-localhost}"
export SQLCMDSERVER
failed=0

run() {
  echo "$1/$2"
  (cd "$1" && sqlcmd -i "$2") || failed=1
}

# The scripts a batch file runs, in its order, from the folders it changes to.
replay() {
  dir=.
  while IFS= read -r line || [ -n "$line" ]; do
    line=$(printf '%s' "$line" | tr -d '\r')
    case $line in
      "cd "*) dir="$dir/${line#cd }" ;;
      "sqlcmd -S localhost -i "*)
        file=${line#sqlcmd -S localhost -i }
        file=${file#\"}
        file=${file%\"}
        run "$dir" "$file" ;;
    esac
  done < "$1"
}

run . CreateDatabase.sql
for batch in Tables_Create PrimaryKey Indexes Tables_Data ForeignKey UniqueKey Constraints \
             Procedure Functions View Triggers; do
  replay "$batch.bat"
done
exit $failed
)sh";

char16_t Upper(char16_t ch) {
  return ch >= u'a' && ch <= u'z' ? ch - u'a' + u'A' : ch;
}

}  // namespace

ExportFolder::ExportFolder(std::string destination, std::u16string databaseName)
    : destination_(std::move(destination)), databaseName_(std::move(databaseName)) {
  if (!destination_.empty() && destination_.back() != '/') destination_ += '/';
}

std::u16string ExportFolder::HeaderLine() const {
  return u"Use " + QuoteName(databaseName_);
}

void ExportFolder::NoteFailure(const std::string& subject, const std::string& what) {
  if (failedSubjects_.insert(subject).second) failures_.push_back(what);
}

void ExportFolder::Prepare() {
  for (const char* folder : kFolders) {
    const std::string path = Path(folder);
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
      NoteFailure(path, "cannot create folder " + path + ": " + std::strerror(errno));
    }
  }
  for (KeyScript script : {KeyScript::kConstraints, KeyScript::kIndexes, KeyScript::kPrimaryKeys,
                           KeyScript::kUniqueKeys, KeyScript::kForeignKeys}) {
    CreateScript(KeyScriptPath(script));
  }
}

std::string ExportFolder::KeyScriptPath(KeyScript script) const {
  switch (script) {
    case KeyScript::kConstraints:
      return Path("Constraints/Constraints.sql");
    case KeyScript::kIndexes:
      return Path("Indexes/Indexes.sql");
    case KeyScript::kPrimaryKeys:
      return Path("PrimaryKey/PrimaryKeys.sql");
    case KeyScript::kUniqueKeys:
      return Path("UniqueKey/UniqueKeys.sql");
    case KeyScript::kForeignKeys:
      return Path("ForeignKey/ForeignKeys.sql");
  }
  return {};
}

bool ExportFolder::AppendToFile(std::u16string_view text, std::string_view fileName) {
  const std::string path = Path(fileName);
  ScriptFile file;
  if (!file.Open(path, ScriptFile::Mode::kAppend, ScriptFile::Text::kCodePageOnly) ||
      !file.Write(text) || !file.Close()) {
    NoteFailure(path, file.Error());
    return false;
  }
  return true;
}

bool ExportFolder::CreateScript(const std::string& path) {
  std::string error;
  if (!MakeScript(path, error)) {
    NoteFailure(path, error);
    return false;
  }
  return true;
}

bool ExportFolder::MakeScript(const std::string& path, std::string& error) const {
  ScriptFile file;
  if (!file.Open(path, ScriptFile::Mode::kCreate) || !file.WriteLine(HeaderLine()) ||
      !file.Close()) {
    error = file.Error();
    return false;
  }
  return true;
}

bool ExportFolder::AppendStatement(const std::string& path, std::u16string_view statement) {
  ScriptFile file;
  if (!file.Open(path, ScriptFile::Mode::kExisting) || !file.WriteLine(statement) ||
      !file.Close()) {
    NoteFailure(path, file.Error());
    return false;
  }
  return true;
}

void ExportFolder::WriteFixedFiles() {
  for (const KeyBatch& k : kKeyBatches) {
    AppendToFile(u"echo OFF. \r\ncd " + std::u16string(k.folder), k.batch);
    AppendToFile(u"\r\n", k.batch);
    AppendToFile(SqlcmdLine(k.script), k.batch);
    AppendToFile(u"\r\n", k.batch);
  }
  for (const ModuleBatch& m : kModuleBatches) {
    AppendToFile(u"echo OFF. \r\ncd Programmability", m.batch);
    AppendToFile(u"\r\ncd " + std::u16string(m.folder), m.batch);
    AppendToFile(u"\r\n", m.batch);
  }
  {
    const std::string path = Path("CreateDatabase.sql");
    ScriptFile file;
    if (!file.Open(path, ScriptFile::Mode::kCreate) || !file.WriteLine(u"USE master") ||
        !file.WriteLine(u"Create Database " + QuoteName(databaseName_) +
                        (databaseCollation_.empty()
                             ? std::u16string()
                             : u" Collate " + std::u16string(databaseCollation_.begin(),
                                                             databaseCollation_.end()))) ||
        !file.Close()) {
      NoteFailure(path, file.Error());
    }
  }
  for (std::u16string_view line : kImportLines) {
    AppendToFile(line, "Import.bat");
    AppendToFile(u"\r\n", "Import.bat");
  }
  const std::string shell = Path("import.sh");
  ScriptFile file;
  if (!file.Open(shell, ScriptFile::Mode::kCreate, ScriptFile::Text::kCodePageOnly) ||
      !file.Write(WidenAscii(kImportScript)) || !file.Close()) {
    NoteFailure(shell, file.Error());
  } else if (::chmod(shell.c_str(), 0755) != 0) {
    NoteFailure(shell, "cannot make " + shell + " runnable: " + std::strerror(errno));
  }
}

std::u16string ExportFolder::UniqueFileName(std::string_view folder, std::u16string_view stem,
                                            std::u16string_view suffix) {
  std::set<std::u16string>& taken = taken_[std::string(folder)];
  const std::u16string safeStem = SafeFileName(stem, u"");
  for (int n = 1;; ++n) {
    std::u16string name =
        n == 1 ? SafeFileName(stem, suffix)
               : SafeFileName(safeStem + u"_" + WidenAscii(std::to_string(n)), suffix);
    std::u16string key = name;
    std::transform(key.begin(), key.end(), key.begin(), Upper);
    if (taken.insert(key).second) return name;
  }
}

std::u16string ExportFolder::SqlcmdLine(std::u16string_view fileName) {
  std::u16string line(kSqlcmdPrefix);
  if (fileName.find(u' ') != std::u16string_view::npos) {
    line += u'"';
    line += fileName;
    line += u'"';
  } else {
    line += fileName;
  }
  return line;
}

}  // namespace mendora
