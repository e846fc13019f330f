#include "export/SaveJob.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <set>
#include <unordered_map>

#include "engine/Collation.h"
#include "engine/DeletedRowReader.h"
#include "engine/FileError.h"
#include "engine/IndexEntry.h"
#include "engine/TableReader.h"
#include "engine/Utf16.h"
#include "export/CsvWriter.h"
#include "export/DataWriter.h"
#include "export/ExportFolder.h"
#include "export/ScriptFile.h"
#include "export/SqlLiteral.h"
#include "export/SqliteWriter.h"
#include "sql/Statements.h"

namespace mendora {
namespace {

// The object kinds the modules pass writes, with the words the dialog shows,
// their folders and batch files.
struct ModuleKind {
  std::u16string_view typeText;
  const char* folder;
  const char* batch;
};

const ModuleKind* KindOfModule(std::u16string_view type) {
  static constexpr ModuleKind kProcedure{u"Procedure", "Programmability/Procedure",
                                         "Procedure.bat"};
  static constexpr ModuleKind kFunction{u"Function", "Programmability/Function", "Functions.bat"};
  static constexpr ModuleKind kTrigger{u"Trigger", "Programmability/Triggers", "Triggers.bat"};
  static constexpr ModuleKind kView{u"View", "Programmability/View", "View.bat"};
  if (type == u"P " || type == u"X ") return &kProcedure;
  if (type == u"FN" || type == u"IF" || type == u"TF") return &kFunction;
  if (type == u"TR") return &kTrigger;
  if (type == u"V ") return &kView;
  return nullptr;
}

std::u16string Decimal(int64_t n) {
  return WidenAscii(std::to_string(n));
}

// The table name a checked tree label stands for: a table's label ends with
// its row count in parentheses. A label without one names no table.
std::u16string TableOfLabel(std::u16string_view label) {
  if (label.empty() || label.back() != u')') return {};
  const size_t open = label.rfind(u'(');
  return open == std::u16string_view::npos ? std::u16string()
                                           : std::u16string(label.substr(0, open));
}

// Every LF of a statement as CR LF, so that a line break the text holds stays
// one in the script.
std::u16string WithCrLf(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) out += u'\r';
    out += text[i];
  }
  return out;
}

// A job control that puts the buffered rows on disk before each checkpoint
// of the table reader: whatever was read before a hold is written, and after
// a stop nothing more is.
class FlushingJob final : public JobControl {
 public:
  FlushingJob(JobControl& job, std::function<void()> flush) : job_(job), flush_(std::move(flush)) {}
  void Hold() override { job_.Hold(); }
  void Release() override { job_.Release(); }
  void Stop() override { job_.Stop(); }
  bool Stopped() const override { return job_.Stopped(); }
  void Checkpoint() override {
    flush_();
    job_.Checkpoint();
  }

 private:
  JobControl& job_;
  std::function<void()> flush_;
};

}  // namespace

struct SaveJob::State {
  const DataFile& file;
  const Catalogue& catalogue;
  SaveRequest request;
  ui::ExportDisplay& display;
  ui::Pacer& pacer;
  ExportFolder folder;
  SaveReport report;
  JobControl* job = nullptr;
  int objectCounter = 0;
  int objectTotal = 0;
  // The freed data pages of the file, found once for every table's deleted rows.
  std::optional<std::vector<FreedPage>> freedPages;

  State(const DataFile& f, const Catalogue& c, SaveRequest r, ui::ExportDisplay& d, ui::Pacer& p)
      : file(f),
        catalogue(c),
        request(std::move(r)),
        display(d),
        pacer(p),
        folder(request.destinationFolder, c.databaseName) {
    folder.SetDatabaseCollation(CollationName(c.databaseCollation));
  }

  void Wait(int ms) {
    job->Checkpoint();
    pacer.Wait(ms);
  }

  // The dialog's display operations.
  void ShowObject(std::u16string_view typeText, std::u16string_view name) {
    job->Checkpoint();
    display.SetObjectType(typeText);
    display.SetObjectName(name);
  }
  void ShowSavedPath(const std::string& path) {
    job->Checkpoint();
    std::u16string shown = FromUtf8(path);
    std::replace(shown.begin(), shown.end(), u' ', u'_');
    // The field is two lines high; the blank lets it wrap there.
    if (shown.size() > 95) shown.insert(95, 1, u' ');
    display.SetSavedPath(u"");
    display.SetSavedPath(shown);
  }
  void ShowSingleRecordStep() {
    job->Checkpoint();
    display.SetRecords(u"1/1");
    Wait(500);
    display.SetCurrentProgress(0);
    display.SetCurrentProgress(100);
    Wait(500);
  }
  void AdvanceObjectCounter() {
    ++objectCounter;
    Wait(500);
    display.SetOverallProgress(
        objectTotal > 0
            ? std::min(100, static_cast<int>(int64_t{objectCounter} * 100 / objectTotal))
            : 0);
    Wait(500);
    display.SetObjects(Decimal(objectCounter) + u"/" + Decimal(objectTotal));
  }

  std::vector<const _SYSOBJECTS*> SelectedTables() const;
  int CountObjects() const;
  // Reads the table's rows into `onRow` (false: no more), showing the count
  // as it goes; `flush` before each checkpoint. The rows read. With
  // `deleted`, the live rows come through it and the rows it recovers go to
  // `onRecovered` as they are found.
  uint64_t ReadRows(const _SYSOBJECTS& table, TableReader& reader,
                    const std::function<void()>& flush,
                    const std::function<bool(const RowValues&)>& onRow,
                    DeletedRowReader* deleted = nullptr,
                    const DeletedRowReader::RecoveredSink& onRecovered = nullptr);
  // Warnings for the records and values of a table that could not be read whole.
  void NoteReadDamage(const _SYSOBJECTS& table, const TableReadStats& stats);
  void ExportTables();
  void ExportTable(const _SYSOBJECTS& table);
  std::set<int32_t> aliasTypesWritten;
  void WriteTableData(const _SYSOBJECTS& table, const std::string& dataPath,
                      const std::string& deletedPath);
  // One recovered row into the table's script of deleted rows, made (with
  // identity inserts turned on for an identity table) on the first; false
  // once it cannot be written.
  bool WriteDeletedRow(const std::u16string& tableName, const std::u16string& head,
                       const std::vector<_SYSCOLUMNS>& columns, bool identity,
                       const RecoveredRow& row, const std::string& deletedPath, ScriptFile& script);
  void ExportKeys();
  void ExportTableKeys(const _SYSOBJECTS& table);
  void WriteKeyOrIndex(KeyScript script, std::u16string_view name, int64_t tableId, int mode);
  void ExportConstraints();
  void ExportConstraintsOf(const _SYSOBJECTS& object);
  // A disabled constraint is made, then disabled, as the file keeps it.
  void AppendDisable(const std::string& path, const _SYSOBJECTS& object);
  void ExportModules();
  void WriteModule(const _SYSOBJECTS& module, const ModuleKind& kind);
  bool ModuleChecked(const _SYSOBJECTS& module) const;
  void SaveData(DataWriter& writer);
  std::unique_ptr<DataWriter> MakeDataWriter();
  SaveNotes notes;
};

std::vector<const _SYSOBJECTS*> SaveJob::State::SelectedTables() const {
  std::vector<const _SYSOBJECTS*> tables;
  if (request.saveAllObjects) {
    for (const auto& t : catalogue.userTables) tables.push_back(&t);
    return tables;
  }
  for (const std::u16string& label : request.checkedObjectNames) {
    const std::u16string name = TableOfLabel(label);
    if (name.empty()) continue;
    for (const auto& t : catalogue.userTables) {
      if (t.name == name) tables.push_back(&t);
    }
  }
  return tables;
}

void SaveJob::State::ExportTables() {
  display.SetObjectType(u"Tables");
  folder.AppendToFile(u"echo OFF. \r\ncd Tables_Create", "Tables_Create.bat");
  folder.AppendToFile(u"\r\n", "Tables_Create.bat");
  folder.AppendToFile(u"echo OFF. \r\ncd Tables_Data", "Tables_Data.bat");
  folder.AppendToFile(u"\r\n", "Tables_Data.bat");
  objectTotal = CountObjects();
  for (const _SYSOBJECTS* table : SelectedTables()) ExportTable(*table);
}

int SaveJob::State::CountObjects() const {
  if (!request.saveAllObjects) return static_cast<int>(request.checkedObjectNames.size());
  const auto modules = std::count_if(catalogue.objects.begin(), catalogue.objects.end(),
                                     [](const _SYSOBJECTS& o) { return IsModuleType(o.type); });
  return static_cast<int>(catalogue.userTables.size() + modules);
}

void SaveJob::State::ExportTable(const _SYSOBJECTS& table) {
  display.SetObjectName(table.name);
  AdvanceObjectCounter();
  std::u16string stem = table.name;
  std::replace(stem.begin(), stem.end(), u' ', u'_');
  // One stem for both scripts, so that they keep the same name.
  const std::u16string createName = folder.UniqueFileName("Tables_Create", stem, u"_Create.sql");
  const std::u16string dataName =
      createName.substr(0, createName.size() - std::u16string_view(u"_Create.sql").size()) +
      u"_Data.sql";
  const std::string createPath = folder.Path("Tables_Create/" + ToUtf8(createName));
  const std::string dataPath = folder.Path("Tables_Data/" + ToUtf8(dataName));
  const std::string deletedPath = folder.Path(
      "Tables_Data/" +
      ToUtf8(dataName.substr(0, dataName.size() - std::u16string_view(u"_Data.sql").size())) +
      "_Deleted.sql");
  if (!folder.CreateScript(createPath) || !folder.CreateScript(dataPath)) return;

  ShowSavedPath(createPath);
  ShowSingleRecordStep();
  // The alias types the table's columns are declared with, each made once,
  // in the script of the first table that uses it.
  std::vector<const _SYSCOLUMNS*> columns;
  for (const auto& column : catalogue.columns) {
    if (column.tableId == table.id) columns.push_back(&column);
  }
  std::stable_sort(columns.begin(), columns.end(),
                   [](const _SYSCOLUMNS* a, const _SYSCOLUMNS* b) { return a->colid < b->colid; });
  for (const _SYSCOLUMNS* column : columns) {
    const _AliasType* alias = AliasTypeOf(catalogue, *column);
    if (alias && aliasTypesWritten.insert(alias->id).second) {
      folder.AppendStatement(createPath, CreateTypeStatement(*alias));
    }
  }
  folder.AppendStatement(createPath,
                         WithCrLf(TableDefinitionStatement(catalogue, table.id, table.name)));
  display.SetCurrentProgress(0);
  WriteTableData(table, dataPath, deletedPath);

  folder.AppendToFile(ExportFolder::SqlcmdLine(createName), "Tables_Create.bat");
  folder.AppendToFile(u"\r\n", "Tables_Create.bat");
  folder.AppendToFile(ExportFolder::SqlcmdLine(dataName), "Tables_Data.bat");
  folder.AppendToFile(u"\r\n", "Tables_Data.bat");
}

void SaveJob::State::WriteTableData(const _SYSOBJECTS& table, const std::string& dataPath,
                                    const std::string& deletedPath) {
  TableReader reader(file, catalogue, table.id);
  // Rows the reader does not decode are not saved, and the save says so
  // rather than leave an empty script for a table that has rows.
  if (!reader.NotReadReason().empty()) folder.NoteFailure(dataPath, reader.NotReadReason());
  if (!reader.CanRead()) return;
  std::optional<DeletedRowReader> deleted;
  if (request.includeDeletedRows) {
    if (!freedPages) freedPages = FindFreedDataPages(file, job);
    deleted.emplace(file, catalogue, table.id, &*freedPages);
  }
  ShowSavedPath(dataPath);
  ScriptFile script;
  if (!script.Open(dataPath, ScriptFile::Mode::kExisting)) {
    folder.NoteFailure(dataPath, script.Error());
    return;
  }
  ScriptFile deletedScript;
  bool deletedFailed = false;
  const std::vector<_SYSCOLUMNS>& columns = reader.Columns();
  const std::u16string head = InsertHead(table.name, columns);
  const _SYSCOLUMNS* identity = IdentityColumn(catalogue, table.id);
  std::u16string statement;
  uint64_t nulled = 0;
  std::string why, firstWhy;
  // Identity values are inserted as saved: turned on before the first row,
  // off after the last, once.
  bool identityOn = false;
  const uint64_t written = ReadRows(
      table, reader,
      [&] {
        if (script.IsOpen()) script.Flush();
      },
      [&](const RowValues& row) {
        if (identity && !identityOn) {
          if (!script.WriteLine(IdentityInsertStatement(table.name, true))) return false;
          identityOn = true;
        }
        statement = head;
        bool first = true;
        for (size_t i = 0; i < row.size() && i < columns.size(); ++i) {
          if (!InsertTakesColumn(columns[i])) continue;
          if (!first) statement += u',';
          first = false;
          AppendSqlLiteral(row[i], columns[i], statement, &why);
          if (!why.empty()) {
            if (nulled++ == 0) firstWhy = ToUtf8(columns[i].name) + ": " + why;
          }
        }
        statement += u')';
        return script.WriteLine(statement);
      },
      deleted ? &*deleted : nullptr,
      // Each recovered row is written as it is found: a truncated table's
      // freed pages may hold more rows than memory.
      [&](const RecoveredRow& row) {
        if (deletedFailed) return true;
        deletedFailed = !WriteDeletedRow(table.name, head, columns, identity != nullptr, row,
                                         deletedPath, deletedScript);
        return true;
      });
  if (identityOn) script.WriteLine(IdentityInsertStatement(table.name, false));
  if (identity && identity->identityHasLast) {
    // A table no row was inserted into gives the reseed value itself next,
    // one that has rows the value plus the increment.
    _SYSCOLUMNS next = *identity;
    if (written == 0) next.identityLast += next.identityIncrement;
    script.WriteLine(ReseedStatement(table.name, next));
  }
  if (!script.Close()) {
    folder.NoteFailure(dataPath, script.Error());
  }
  if (deletedScript.IsOpen()) {
    if (identity) deletedScript.WriteLine(IdentityInsertStatement(table.name, false));
    if (!deletedScript.Close()) folder.NoteFailure(deletedPath, deletedScript.Error());
  }
  report.rowsWritten += written;
  if (nulled) {
    report.warnings.push_back("table " + ToUtf8(table.name) + ": " + std::to_string(nulled) +
                              " values were written as NULL (first: " + firstWhy + ")");
  }
  NoteReadDamage(table, deleted ? deleted->LiveStats() : reader.Stats());
  Wait(500);
  display.SetCurrentProgress(100);
  Wait(500);
}

uint64_t SaveJob::State::ReadRows(const _SYSOBJECTS& table, TableReader& reader,
                                  const std::function<void()>& flush,
                                  const std::function<bool(const RowValues&)>& onRow,
                                  DeletedRowReader* deleted,
                                  const DeletedRowReader::RecoveredSink& onRecovered) {
  uint64_t expected = 0;
  for (const auto& s : catalogue.tableStorage) {
    if (s.tableId == table.id) expected = s.rowCount;
  }
  uint64_t written = 0;
  auto lastShown = std::chrono::steady_clock::now();
  auto showCount = [&] {
    const uint64_t of = std::max(expected, written);
    display.SetCurrentProgress(of ? static_cast<int>(written * 100 / of) : 100);
    display.SetRecords(Decimal(static_cast<int64_t>(written)) + u"/" +
                       Decimal(static_cast<int64_t>(of)));
  };
  FlushingJob flushing(*job, flush);
  auto counted = [&](const RowValues& row) {
    if (!onRow(row)) return false;
    ++written;
    if ((written & 0xFF) == 0) {
      const auto now = std::chrono::steady_clock::now();
      if (now - lastShown >= std::chrono::milliseconds(100)) {
        lastShown = now;
        showCount();
      }
    }
    return true;
  };
  if (deleted) {
    deleted->Read(flushing, counted, onRecovered);
  } else {
    reader.Read(flushing, counted);
  }
  showCount();
  return written;
}

void SaveJob::State::NoteReadDamage(const _SYSOBJECTS& table, const TableReadStats& stats) {
  if (stats.skippedRecords) {
    report.warnings.push_back("table " + ToUtf8(table.name) + ": " +
                              std::to_string(stats.skippedRecords) +
                              " damaged records could not be read");
  }
  if (stats.codePageErrors) {
    report.warnings.push_back("table " + ToUtf8(table.name) + ": " +
                              std::to_string(stats.codePageErrors) +
                              " values hold bytes outside their code page (written as U+FFFD)");
  }
}

bool SaveJob::State::WriteDeletedRow(const std::u16string& tableName, const std::u16string& head,
                                     const std::vector<_SYSCOLUMNS>& columns, bool identity,
                                     const RecoveredRow& row, const std::string& deletedPath,
                                     ScriptFile& script) {
  if (!script.IsOpen()) {
    if (!folder.CreateScript(deletedPath)) return false;
    if (!script.Open(deletedPath, ScriptFile::Mode::kExisting)) {
      folder.NoteFailure(deletedPath, script.Error());
      return false;
    }
    if (identity && !script.WriteLine(IdentityInsertStatement(tableName, true))) return false;
  }
  // Where the row was found and why it is not live, before its Insert.
  std::u16string statement =
      u"-- " + FromUtf8(FoundAtText(row.at)) + u" " + FromUtf8(DeletedWhyText(row.why));
  if (!script.WriteLine(statement)) return false;
  statement = head;
  std::string why;
  bool first = true;
  for (size_t i = 0; i < row.values.size() && i < columns.size(); ++i) {
    if (!InsertTakesColumn(columns[i])) continue;
    if (!first) statement += u',';
    first = false;
    AppendSqlLiteral(row.values[i], columns[i], statement, &why);
  }
  statement += u')';
  if (!script.WriteLine(statement)) return false;
  ++report.deletedRowsWritten;
  return true;
}

void SaveJob::State::ExportKeys() {
  for (const _SYSOBJECTS* table : SelectedTables()) ExportTableKeys(*table);
  ExportConstraints();
}

void SaveJob::State::ExportTableKeys(const _SYSOBJECTS& table) {
  for (const auto& o : catalogue.objects) {
    if (o.parentId == table.id && o.type == u"PK") {
      ShowSingleRecordStep();
      ShowObject(u"PrimaryKey", o.name);
      WriteKeyOrIndex(KeyScript::kPrimaryKeys, o.name, table.id, 1);
      break;
    }
  }
  std::vector<uint16_t> seen;
  for (const auto& row : catalogue.indexRows) {
    if (row.tableId != table.id) continue;
    if (std::find(seen.begin(), seen.end(), row.indid) != seen.end()) continue;
    seen.push_back(row.indid);
    // An index that backs a key is written as the key.
    if (row.primaryKey || row.uniqueConstraint) continue;
    const bool keyOfThatName =
        std::any_of(catalogue.objects.begin(), catalogue.objects.end(), [&](const _SYSOBJECTS& o) {
          return o.name == row.name && (o.type == u"PK" || o.type == u"UQ");
        });
    if (keyOfThatName || row.name.empty()) continue;
    if (std::u16string_view(row.name).starts_with(u"_WA_Sys_")) continue;
    if (!IsIndexEntry(row, file.Version())) continue;
    ShowSingleRecordStep();
    ShowObject(u"Indexes", row.name);
    WriteKeyOrIndex(KeyScript::kIndexes, row.name, table.id, 2);
  }
}

void SaveJob::State::WriteKeyOrIndex(KeyScript script, std::u16string_view name, int64_t tableId,
                                     int mode) {
  const std::string path = folder.KeyScriptPath(script);
  ShowSavedPath(path);
  // The key's own index: the table's index row of the key's name.
  const _SYSINDEXES* index = nullptr;
  for (const auto& row : catalogue.indexRows) {
    if (row.tableId == tableId && row.name == name) {
      index = &row;
      break;
    }
  }
  std::u16string_view kind = mode == 1 ? u"PK" : mode == 3 ? u"UQ" : u"";
  const std::u16string statement =
      KeyOrIndexStatement(catalogue, tableId, index ? index->indid : 0, kind, name,
                          index && index->unique, StatementUse::kScript);
  if (!statement.empty()) folder.AppendStatement(path, statement);
}

void SaveJob::State::ExportConstraintsOf(const _SYSOBJECTS& o) {
  if (o.type == u"F ") {
    ShowSingleRecordStep();
    ShowObject(u"ForeignKeys", o.name);
    const std::string path = folder.KeyScriptPath(KeyScript::kForeignKeys);
    ShowSavedPath(path);
    const std::u16string statement = ForeignKeyStatement(catalogue, o.id, StatementUse::kScript);
    if (!statement.empty()) {
      folder.AppendStatement(path, statement);
      AppendDisable(path, o);
    }
  } else if (o.type == u"UQ") {
    ShowSingleRecordStep();
    ShowObject(u"UniqueKeys", o.name);
    WriteKeyOrIndex(KeyScript::kUniqueKeys, o.name, o.parentId, 3);
  } else if (o.type == u"C ") {
    ShowSingleRecordStep();
    ShowObject(u"CheckConstraints", o.name);
    const std::string path = folder.KeyScriptPath(KeyScript::kConstraints);
    ShowSavedPath(path);
    folder.AppendStatement(path, WithCrLf(CheckConstraintStatement(catalogue, o.id)));
    AppendDisable(path, o);
  }
}

void SaveJob::State::AppendDisable(const std::string& path, const _SYSOBJECTS& o) {
  const std::u16string statement = DisableConstraintStatement(catalogue, o.id);
  if (!statement.empty()) folder.AppendStatement(path, statement);
}

void SaveJob::State::ExportConstraints() {
  if (request.saveAllObjects) {
    for (const auto& o : catalogue.objects) ExportConstraintsOf(o);
    return;
  }
  for (const _SYSOBJECTS* table : SelectedTables()) {
    for (const auto& o : catalogue.objects) {
      if (o.parentId == table->id) ExportConstraintsOf(o);
    }
  }
}

void SaveJob::State::ExportModules() {
  for (const char* batch : {"Procedure.bat", "Functions.bat", "Triggers.bat", "View.bat"}) {
    folder.AppendToFile(u"\r\n", batch);
  }
  for (const auto& o : catalogue.objects) {
    const ModuleKind* kind = KindOfModule(o.type);
    if (kind && ModuleChecked(o)) WriteModule(o, *kind);
  }
}

bool SaveJob::State::ModuleChecked(const _SYSOBJECTS& module) const {
  return request.saveAllObjects ||
         std::find(request.checkedObjectNames.begin(), request.checkedObjectNames.end(),
                   module.name) != request.checkedObjectNames.end();
}

std::unique_ptr<DataWriter> SaveJob::State::MakeDataWriter() {
  if (request.format == ui::SaveFormat::kSqlite) {
    return std::make_unique<SqliteWriter>(request.destinationFolder, catalogue, file.Version(),
                                          notes);
  }
  return std::make_unique<CsvWriter>(request.destinationFolder, catalogue, notes);
}

// The data formats: the tables and their rows, the modules, then the keys
// and constraints, with the dialog showing each object as the scripts do.
void SaveJob::State::SaveData(DataWriter& writer) {
  if (!writer.Begin()) return;
  display.SetObjectType(u"Tables");
  objectTotal = CountObjects();
  const std::vector<const _SYSOBJECTS*> tables = SelectedTables();
  for (const _SYSOBJECTS* table : tables) {
    display.SetObjectName(table->name);
    AdvanceObjectCounter();
    TableReader reader(file, catalogue, table->id);
    const std::string shown = writer.BeginTable(*table, reader.Columns());
    if (shown.empty()) continue;
    ShowSavedPath(shown);
    display.SetCurrentProgress(0);
    std::optional<DeletedRowReader> deleted;
    std::vector<RecoveredRow> recovered;
    if (reader.CanRead()) {
      if (request.includeDeletedRows) {
        if (!freedPages) freedPages = FindFreedDataPages(file, job);
        deleted.emplace(file, catalogue, table->id, &*freedPages);
      }
      ReadRows(
          *table, reader, [&] { writer.Flush(); },
          [&](const RowValues& row) { return writer.WriteRow(row); }, deleted ? &*deleted : nullptr,
          [&](const RecoveredRow& row) {
            recovered.push_back(row);
            return true;
          });
      NoteReadDamage(*table, deleted ? deleted->LiveStats() : reader.Stats());
    } else if (!reader.NotReadReason().empty()) {
      folder.NoteFailure(shown, reader.NotReadReason());
    }
    report.rowsWritten += writer.EndTable();
    if (!recovered.empty()) report.deletedRowsWritten += writer.WriteDeletedRows(recovered);
    Wait(500);
    display.SetCurrentProgress(100);
    Wait(500);
  }
  for (const auto& o : catalogue.objects) {
    const ModuleKind* kind = KindOfModule(o.type);
    if (!kind || !ModuleChecked(o)) continue;
    AdvanceObjectCounter();
    ShowObject(kind->typeText, o.name);
    ShowSingleRecordStep();
    const auto text = std::find_if(
        catalogue.moduleTexts.begin(), catalogue.moduleTexts.end(),
        [&](const _Procedures& p) { return p.objectId == static_cast<uint32_t>(o.id); });
    writer.WriteModule(o, text != catalogue.moduleTexts.end() ? std::u16string_view(text->text)
                                                              : std::u16string_view());
  }
  job->Checkpoint();
  display.SetObjectType(u"Constraints");
  writer.Finish(tables);
}

void SaveJob::State::WriteModule(const _SYSOBJECTS& module, const ModuleKind& kind) {
  AdvanceObjectCounter();
  const std::u16string fileName = folder.UniqueFileName(kind.folder, module.name, u".sql");
  const std::string path = folder.Path(std::string(kind.folder) + "/" + ToUtf8(fileName));
  ShowObject(kind.typeText, module.name);
  ShowSavedPath(path);
  ScriptFile script;
  if (script.Open(path, ScriptFile::Mode::kCreate)) {
    ShowSingleRecordStep();
    script.WriteLine(folder.HeaderLine());
    script.WriteLine(u"GO");
    const auto text = std::find_if(
        catalogue.moduleTexts.begin(), catalogue.moduleTexts.end(),
        [&](const _Procedures& p) { return p.objectId == static_cast<uint32_t>(module.id); });
    if (text != catalogue.moduleTexts.end()) {
      if (text->incomplete) script.WriteLine(kIncompleteTextComment);
      for (std::u16string_view line : ModuleTextLines(text->text)) script.WriteLine(line);
    }
  }
  if (!script.Close()) {
    folder.NoteFailure(path, script.Error());
  }
  folder.AppendToFile(ExportFolder::SqlcmdLine(fileName), kind.batch);
  folder.AppendToFile(u"\r\n", kind.batch);
}

SaveJob::SaveJob(const DataFile& file, const Catalogue& catalogue, SaveRequest request,
                 ui::ExportDisplay& display, ui::Pacer& pacer)
    : state_(std::make_unique<State>(file, catalogue, std::move(request), display, pacer)) {}

SaveJob::~SaveJob() = default;

void SaveJob::PrepareDestination() {
  if (state_->request.format == ui::SaveFormat::kSql) state_->folder.Prepare();
}

void SaveJob::Run(JobControl& job) {
  State& s = *state_;
  s.job = &job;
  s.objectCounter = 0;
  s.objectTotal = 0;
  try {
    job.Checkpoint();
    if (s.request.format == ui::SaveFormat::kSql) {
      s.folder.WriteFixedFiles();
      s.ExportTables();
      s.ExportKeys();
      s.ExportModules();
    } else {
      const std::unique_ptr<DataWriter> writer = s.MakeDataWriter();
      s.SaveData(*writer);
    }
    s.Wait(1000);
    s.display.SetOverallProgress(100);
    s.Wait(3000);
    s.report.completed = true;
  } catch (const FileError& e) {
    s.folder.NoteFailure("data file", std::string("reading the data file failed: ") + e.what());
  }
  s.report.filesWritten = s.folder.FilesCreated();
}

const SaveReport& SaveJob::Report() const {
  State& s = *state_;
  s.report.failures = s.folder.Failures();
  s.report.failures.insert(s.report.failures.end(), s.notes.failures.begin(),
                           s.notes.failures.end());
  s.report.warnings.insert(s.report.warnings.end(), s.notes.warnings.begin(),
                           s.notes.warnings.end());
  s.notes.warnings.clear();
  return s.report;
}

}  // namespace mendora
