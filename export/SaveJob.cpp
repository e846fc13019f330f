#include "export/SaveJob.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
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
#include "export/PageRuns.h"
#include "export/ScriptFile.h"
#include "export/SqlLiteral.h"
#include "export/SqliteWriter.h"
#include "export/TablePool.h"
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

// The table name a checked tree label stands for (schema.name outside dbo):
// a table's label ends with its row count in parentheses. A label without
// one names no table.
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

// A row's Insert: `head`, the values of the columns it `takes`, ")". A
// value written as NULL is counted in `nulled`, the first with its reason.
void AppendInsert(const std::u16string& head, const std::vector<_SYSCOLUMNS>& columns,
                  const std::vector<char>& takes, const RowValues& row, std::u16string& into,
                  uint64_t& nulled, std::string& firstWhy) {
  into += head;
  std::string why;
  bool first = true;
  for (size_t i = 0; i < row.size() && i < columns.size(); ++i) {
    if (!takes[i]) continue;
    if (!first) into += u',';
    first = false;
    AppendSqlLiteral(row[i], columns[i], into, &why);
    if (!why.empty() && nulled++ == 0) firstWhy = ToUtf8(columns[i].name) + ": " + why;
  }
  into += u')';
}

// A job control that puts the buffered rows on disk before each checkpoint
// of the table reader: whatever was read before a hold is written, and after
// a stop nothing more is.
class FlushingJob final : public ForwardingJobControl {
 public:
  FlushingJob(JobControl& job, std::function<void()> flush)
      : ForwardingJobControl(job), flush_(std::move(flush)) {}
  void Checkpoint() override {
    // A stopped job puts nothing more on disk.
    if (job_.Stopped()) throw JobStopped();
    flush_();
    job_.Checkpoint();
  }

 private:
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
  std::mutex freedMutex;

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

  // A table's two scripts and the one of its deleted rows, named in the
  // tables' order; the rows its worker has read so far.
  struct TableScripts {
    std::u16string createName, dataName;
    std::string createPath, dataPath, deletedPath;
    uint64_t expectedRows = 0;
    bool made = false;  // both scripts were created
    std::atomic<uint64_t> rowsRead{0};
  };
  // What a worker did that the job's thread notes, in the tables' order.
  struct TableOutcome {
    std::vector<std::pair<std::string, std::string>> failures;  // subject, words
    std::vector<std::string> warnings;
    uint64_t rowsWritten = 0;
    uint64_t deletedRowsWritten = 0;
  };
  // A worker's word on a table's scripts: first that they were made (or
  // not) and whether its rows are read, then that they are written.
  struct ScriptPiece {
    bool finished = false;
    bool made = false;
    bool canRead = false;
    bool opened = false;  // the data script took the rows
    std::string notRead;
    TableOutcome outcome;
  };
  // Rows of a table for a data writer: one row as it is read (`row`, only
  // without workers), or a batch; the last piece has the read's counts and
  // the recovered rows.
  struct RowPiece {
    const RowValues* row = nullptr;
    std::vector<RowValues> rows;
    bool flush = false;  // the reader is at a checkpoint: the writer flushes
    bool finished = false;
    TableReadStats stats;
    // Recovered rows come after every live row of the table, one at a time
    // or in batches as live rows do.
    const RecoveredRow* recoveredRow = nullptr;
    std::vector<RecoveredRow> recovered;
  };

  void ExportTables();
  void NameScripts(const _SYSOBJECTS& table, TableScripts& scripts);
  void TakeScriptPiece(const _SYSOBJECTS& table, TableScripts& scripts, ScriptPiece& piece);
  void WriteCreateScript(const _SYSOBJECTS& table, const std::string& createPath);
  void NoteOutcome(const TableOutcome& outcome);
  std::set<int32_t> aliasTypesWritten;
  std::set<std::u16string> schemasWritten;
  bool everyUserSchemaMade = false;
  void MakeSchema(const std::u16string& schema, std::u16string& made);
  void MakeEveryUserSchema(std::u16string& made);
  // `pageRuns`: the rows are read by a pool of workers of their own, a run
  // of pages each (a save of one table).
  void WriteTableData(const _SYSOBJECTS& table, TableScripts& scripts, JobControl& worker,
                      const TablePool<ScriptPiece>::Put& put, bool inlineRows, bool pageRuns);
  // Reads the table's rows into `onRow` (false: no more), keeping their count
  // in `rowsRead`; `flush` before each checkpoint. The rows read. With
  // `deleted`, the live rows come through it and the rows it recovers go to
  // `onRecovered` as they are found.
  uint64_t ReadRows(TableReader& reader, JobControl& worker, std::atomic<uint64_t>& rowsRead,
                    bool inlineRows, const std::function<void()>& flush,
                    const std::function<bool(const RowValues&)>& onRow,
                    DeletedRowReader* deleted = nullptr,
                    const DeletedRowReader::RecoveredSink& onRecovered = nullptr);
  // One recovered row into the table's script of deleted rows, made (with
  // identity inserts turned on for an identity table) on the first; false
  // once it cannot be written.
  bool WriteDeletedRow(const _SYSOBJECTS& table, const std::u16string& head,
                       const std::vector<_SYSCOLUMNS>& columns, const std::vector<char>& takes,
                       bool identity, const RecoveredRow& row, const std::string& deletedPath,
                       ScriptFile& script, TableOutcome& outcome);
  // Warnings for the records and values of a table that could not be read whole.
  static void ReadDamageWarnings(const _SYSOBJECTS& table, const TableReadStats& stats,
                                 std::vector<std::string>& warnings);
  void ReadTableRows(const _SYSOBJECTS& table, JobControl& worker,
                     const TablePool<RowPiece>::Put& put, bool inlineRows);
  // The freed data pages, found once for every table's deleted rows.
  const std::vector<FreedPage>& FreedPages(JobControl& worker);
  void ShowRowsRead(bool paced);
  // The rows read of the table the dialog shows, and when they were shown.
  const std::atomic<uint64_t>* shownRows = nullptr;
  uint64_t shownExpected = 0;
  std::chrono::steady_clock::time_point lastShown;
  unsigned rowPieces = 0;  // of one row each, taken: the clock is read every 32nd
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
      if (QualifiedName(t) == name) tables.push_back(&t);
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
  const std::vector<const _SYSOBJECTS*> tables = SelectedTables();
  // The script names depend on the names taken before them: given in the
  // tables' order before any worker starts.
  std::vector<TableScripts> scripts(tables.size());
  for (size_t i = 0; i < tables.size(); ++i) NameScripts(*tables[i], scripts[i]);
  TablePool<ScriptPiece> pool(request.workers);
  // Without workers, or with one table, the tables' pool runs on this thread.
  const bool inlineRows = pool.Workers() <= 1 || tables.size() <= 1;
  TablePool<ScriptPiece>::Steps steps;
  steps.make = [&](size_t i, JobControl& worker, const TablePool<ScriptPiece>::Put& put) {
    WriteTableData(*tables[i], scripts[i], worker, put, inlineRows,
                   tables.size() == 1 && pool.Workers() > 1);
  };
  steps.begin = [&](size_t i) {
    display.SetObjectName(tables[i]->name);
    AdvanceObjectCounter();
    shownRows = nullptr;
  };
  steps.take = [&](size_t i, ScriptPiece& piece) {
    TakeScriptPiece(*tables[i], scripts[i], piece);
  };
  steps.end = [&](size_t i) {
    shownRows = nullptr;
    if (!scripts[i].made) return;
    folder.AppendToFile(ExportFolder::SqlcmdLine(scripts[i].createName), "Tables_Create.bat");
    folder.AppendToFile(u"\r\n", "Tables_Create.bat");
    folder.AppendToFile(ExportFolder::SqlcmdLine(scripts[i].dataName), "Tables_Data.bat");
    folder.AppendToFile(u"\r\n", "Tables_Data.bat");
  };
  steps.idle = [&](size_t) {
    ShowRowsRead(true);
    job->Checkpoint();
  };
  pool.Run(tables.size(), *job, steps);
}

int SaveJob::State::CountObjects() const {
  if (!request.saveAllObjects) return static_cast<int>(request.checkedObjectNames.size());
  const auto modules = std::count_if(catalogue.objects.begin(), catalogue.objects.end(),
                                     [](const _SYSOBJECTS& o) { return IsModuleType(o.type); });
  return static_cast<int>(catalogue.userTables.size() + modules);
}

void SaveJob::State::NameScripts(const _SYSOBJECTS& table, TableScripts& s) {
  std::u16string stem = table.name;
  std::replace(stem.begin(), stem.end(), u' ', u'_');
  // One stem for both scripts, so that they keep the same name.
  s.createName = folder.UniqueFileName("Tables_Create", stem, u"_Create.sql");
  s.dataName =
      s.createName.substr(0, s.createName.size() - std::u16string_view(u"_Create.sql").size()) +
      u"_Data.sql";
  s.createPath = folder.Path("Tables_Create/" + ToUtf8(s.createName));
  s.dataPath = folder.Path("Tables_Data/" + ToUtf8(s.dataName));
  s.deletedPath = folder.Path(
      "Tables_Data/" +
      ToUtf8(s.dataName.substr(0, s.dataName.size() - std::u16string_view(u"_Data.sql").size())) +
      "_Deleted.sql");
  s.expectedRows = StoredRowCount(catalogue, table.id);
}

// The job's thread: what a worker did with a table, shown and noted in the
// tables' order.
void SaveJob::State::TakeScriptPiece(const _SYSOBJECTS& table, TableScripts& s,
                                     ScriptPiece& piece) {
  NoteOutcome(piece.outcome);
  if (!piece.finished) {
    s.made = piece.made;
    if (!s.made) return;
    ShowSavedPath(s.createPath);
    ShowSingleRecordStep();
    WriteCreateScript(table, s.createPath);
    display.SetCurrentProgress(0);
    // Rows the reader does not decode are not saved, and the save says so
    // rather than leave an empty script for a table that has rows.
    if (!piece.notRead.empty()) folder.NoteFailure(s.dataPath, piece.notRead);
    if (!piece.canRead) return;
    ShowSavedPath(s.dataPath);
    shownRows = &s.rowsRead;
    shownExpected = s.expectedRows;
    lastShown = std::chrono::steady_clock::now();
    return;
  }
  if (!piece.opened) {
    shownRows = nullptr;
    return;
  }
  ShowRowsRead(false);
  shownRows = nullptr;
  Wait(500);
  display.SetCurrentProgress(100);
  Wait(500);
}

void SaveJob::State::WriteCreateScript(const _SYSOBJECTS& table, const std::string& createPath) {
  // The alias types the table's columns are declared with, each made once,
  // in the script of the first table that uses it.
  std::vector<const _SYSCOLUMNS*> columns;
  for (const auto& column : catalogue.columns) {
    if (column.tableId == table.id) columns.push_back(&column);
  }
  std::stable_sort(columns.begin(), columns.end(),
                   [](const _SYSCOLUMNS* a, const _SYSCOLUMNS* b) { return a->colid < b->colid; });
  std::vector<const _AliasType*> types;
  for (const _SYSCOLUMNS* column : columns) {
    const _AliasType* alias = AliasTypeOf(catalogue, *column);
    if (alias && aliasTypesWritten.insert(alias->id).second) types.push_back(alias);
  }
  // The schemas of the table and of those types, each made once, in batches
  // of their own: the server takes Create Schema only as the first statement
  // of a batch.
  std::u16string made;
  MakeEveryUserSchema(made);
  MakeSchema(table.schemaName, made);
  for (const _AliasType* type : types) MakeSchema(type->schemaName, made);
  if (!made.empty()) folder.AppendStatement(createPath, u"GO\r\n" + made);
  for (const _AliasType* type : types) {
    folder.AppendStatement(createPath, CreateTypeStatement(*type));
  }
  folder.AppendStatement(createPath,
                         WithCrLf(TableDefinitionStatement(catalogue, table.id, table.name)));
}

// Appends "Create Schema [S]" and a GO line to `made` for a schema other
// than dbo that no script has made yet.
void SaveJob::State::MakeSchema(const std::u16string& schema, std::u16string& made) {
  if (schema.empty() || schema == u"dbo" || !schemasWritten.insert(schema).second) return;
  if (!made.empty()) made += u"\r\n";
  made += CreateSchemaStatement(schema) + u"\r\nGO";
}

// A save of the whole database makes every schema its users made in its
// first script, those that hold nothing included: the copy has the same
// schemas.
void SaveJob::State::MakeEveryUserSchema(std::u16string& made) {
  if (!request.saveAllObjects || everyUserSchemaMade) return;
  everyUserSchemaMade = true;
  for (const std::u16string& schema : UserSchemaNames(catalogue, file.Version())) {
    MakeSchema(schema, made);
  }
}

void SaveJob::State::NoteOutcome(const TableOutcome& outcome) {
  for (const auto& [subject, what] : outcome.failures) folder.NoteFailure(subject, what);
  report.warnings.insert(report.warnings.end(), outcome.warnings.begin(), outcome.warnings.end());
  report.rowsWritten += outcome.rowsWritten;
  report.deletedRowsWritten += outcome.deletedRowsWritten;
}

// The rows read of the table being shown, as "read/expected" and a percentage;
// with `paced`, at most every 100 ms.
void SaveJob::State::ShowRowsRead(bool paced) {
  if (!shownRows) return;
  const auto now = std::chrono::steady_clock::now();
  if (paced && now - lastShown < std::chrono::milliseconds(100)) return;
  lastShown = now;
  const uint64_t written = shownRows->load(std::memory_order_relaxed);
  const uint64_t of = std::max(shownExpected, written);
  display.SetCurrentProgress(of ? static_cast<int>(written * 100 / of) : 100);
  display.SetRecords(Decimal(static_cast<int64_t>(written)) + u"/" +
                     Decimal(static_cast<int64_t>(of)));
}

const std::vector<FreedPage>& SaveJob::State::FreedPages(JobControl& worker) {
  // A worker that waits here while another lists them (and may be parked
  // doing so) stands still.
  std::unique_lock lock(freedMutex, std::try_to_lock);
  if (!lock.owns_lock()) {
    worker.WaitStarted();
    lock.lock();
    // The wait ends without the lock: a worker held there holds no other up.
    lock.unlock();
    worker.WaitEnded();
    lock.lock();
  }
  if (!freedPages) freedPages = FindFreedDataPages(file, &worker);
  return *freedPages;
}

// A worker: the table's two scripts made, then its rows into the data script.
// Nothing here touches the display or the folder's notes: the outcome goes
// to the job's thread in the pieces.
void SaveJob::State::WriteTableData(const _SYSOBJECTS& table, TableScripts& s, JobControl& worker,
                                    const TablePool<ScriptPiece>::Put& put, bool inlineRows,
                                    bool pageRuns) {
  ScriptPiece made;
  for (const std::string* path : {&s.createPath, &s.dataPath}) {
    std::string error;
    if (!folder.MakeScript(*path, error)) {
      made.outcome.failures.emplace_back(*path, error);
      put(std::move(made));
      return;
    }
  }
  made.made = true;
  TableReader reader(file, catalogue, table.id);
  made.notRead = reader.NotReadReason();
  made.canRead = reader.CanRead();
  put(std::move(made));
  if (!reader.CanRead()) return;
  std::optional<DeletedRowReader> deleted;
  if (request.includeDeletedRows) deleted.emplace(file, catalogue, table.id, &FreedPages(worker));

  ScriptPiece done;
  done.finished = true;
  TableOutcome& outcome = done.outcome;
  ScriptFile script;
  if (!script.Open(s.dataPath, ScriptFile::Mode::kExisting)) {
    outcome.failures.emplace_back(s.dataPath, script.Error());
    put(std::move(done));
    return;
  }
  done.opened = true;
  ScriptFile deletedScript;
  bool deletedFailed = false;
  const std::vector<_SYSCOLUMNS>& columns = reader.Columns();
  const std::u16string head = InsertHead(table, columns);
  const _SYSCOLUMNS* identity = IdentityColumn(catalogue, table.id);
  std::u16string statement;
  uint64_t nulled = 0;
  std::string firstWhy;
  // An identity table's values are inserted as they were: identity inserts
  // on before the first row (none for a table without rows) and turned
  // off after the last, once.
  bool identityOn = false;
  // The columns an insert names (not computed ones, not rowversions).
  std::vector<char> takes(columns.size());
  for (size_t i = 0; i < columns.size(); ++i) takes[i] = InsertTakesColumn(columns[i]);
  uint64_t written = 0;
  std::optional<TableReadStats> runStats;
  if (!deleted && pageRuns) {
    // The rows in runs of pages, read by workers of their own: each run's
    // statements made on its worker, written here in the rows' order.
    struct Run {
      std::u16string text;
      uint64_t rows = 0;
      uint64_t nulled = 0;
      std::string firstWhy;
    };
    bool writing = true;
    runStats = ReadInPageRuns<Run>(
        file, catalogue, table.id, request.workers, worker,
        [&](const RowValues& row, Run& run) {
          AppendInsert(head, columns, takes, row, run.text, run.nulled, run.firstWhy);
          run.text += u"\r\n";
          ++run.rows;
        },
        [&](Run& run) {
          // Once stopped, nothing more is written.
          if (worker.Stopped()) throw JobStopped();
          if (!writing) return;
          if (run.rows && identity && !identityOn) {
            writing = script.WriteLine(IdentityInsertStatement(table, true));
            identityOn = writing;
          }
          writing = writing && script.Write(run.text);
          if (!writing) return;
          written += run.rows;
          if (run.nulled && nulled == 0) firstWhy = run.firstWhy;
          nulled += run.nulled;
          s.rowsRead.store(written, std::memory_order_relaxed);
          // A save of one table runs this on the job's thread: the count is
          // shown from here.
          ShowRowsRead(true);
        },
        [&] {
          // Whatever was read before a hold is on disk while the job waits.
          script.Flush();
          worker.Checkpoint();
        });
  } else {
    written = ReadRows(
        reader, worker, s.rowsRead, inlineRows,
        [&] {
          if (script.IsOpen()) script.Flush();
        },
        [&](const RowValues& row) {
          if (identity && !identityOn) {
            if (!script.WriteLine(IdentityInsertStatement(table, true))) return false;
            identityOn = true;
          }
          statement.clear();
          AppendInsert(head, columns, takes, row, statement, nulled, firstWhy);
          return script.WriteLine(statement);
        },
        deleted ? &*deleted : nullptr,
        // Each recovered row is written as it is found: a truncated table's
        // freed pages may hold more rows than memory.
        [&](const RecoveredRow& row) {
          if (deletedFailed) return true;
          deletedFailed = !WriteDeletedRow(table, head, columns, takes, identity != nullptr, row,
                                           s.deletedPath, deletedScript, outcome);
          return true;
        });
  }
  // Once stopped, a worker writes nothing more.
  if (worker.Stopped()) throw JobStopped();
  if (identityOn) script.WriteLine(IdentityInsertStatement(table, false));
  if (identity && identity->identityHasLast) {
    // A table no row was inserted into gives the reseed value itself next,
    // one that has rows the value plus the increment.
    _SYSCOLUMNS next = *identity;
    if (written == 0) next.identityLast += next.identityIncrement;
    script.WriteLine(ReseedStatement(table, next));
  }
  if (!script.Close()) outcome.failures.emplace_back(s.dataPath, script.Error());
  if (deletedScript.IsOpen()) {
    if (identity) deletedScript.WriteLine(IdentityInsertStatement(table, false));
    if (!deletedScript.Close()) outcome.failures.emplace_back(s.deletedPath, deletedScript.Error());
  }
  outcome.rowsWritten += written;
  if (nulled) {
    outcome.warnings.push_back("table " + ToUtf8(table.name) + ": " + std::to_string(nulled) +
                               " values were written as NULL (first: " + firstWhy + ")");
  }
  ReadDamageWarnings(table,
                     runStats  ? *runStats
                     : deleted ? deleted->LiveStats()
                               : reader.Stats(),
                     outcome.warnings);
  put(std::move(done));
}

uint64_t SaveJob::State::ReadRows(TableReader& reader, JobControl& worker,
                                  std::atomic<uint64_t>& rowsRead, bool inlineRows,
                                  const std::function<void()>& flush,
                                  const std::function<bool(const RowValues&)>& onRow,
                                  DeletedRowReader* deleted,
                                  const DeletedRowReader::RecoveredSink& onRecovered) {
  uint64_t written = 0;
  FlushingJob flushing(worker, flush);
  auto counted = [&](const RowValues& row) {
    if (!onRow(row)) return false;
    ++written;
    if ((written & 0xFF) == 0) {
      rowsRead.store(written, std::memory_order_relaxed);
      // Without workers the count is shown from here; with them the job's
      // thread shows it while it waits.
      if (inlineRows) ShowRowsRead(true);
    }
    return true;
  };
  if (deleted) {
    deleted->Read(flushing, counted, onRecovered);
  } else {
    reader.Read(flushing, counted);
  }
  rowsRead.store(written, std::memory_order_relaxed);
  return written;
}

void SaveJob::State::ReadDamageWarnings(const _SYSOBJECTS& table, const TableReadStats& stats,
                                        std::vector<std::string>& warnings) {
  if (stats.skippedRecords) {
    warnings.push_back("table " + ToUtf8(table.name) + ": " + std::to_string(stats.skippedRecords) +
                       " damaged records could not be read");
  }
  if (stats.codePageErrors) {
    warnings.push_back("table " + ToUtf8(table.name) + ": " + std::to_string(stats.codePageErrors) +
                       " values hold bytes outside their code page (written as U+FFFD)");
  }
}

bool SaveJob::State::WriteDeletedRow(const _SYSOBJECTS& table, const std::u16string& head,
                                     const std::vector<_SYSCOLUMNS>& columns,
                                     const std::vector<char>& takes, bool identity,
                                     const RecoveredRow& row, const std::string& deletedPath,
                                     ScriptFile& script, TableOutcome& outcome) {
  if (!script.IsOpen()) {
    std::string error;
    if (!folder.MakeScript(deletedPath, error)) {
      outcome.failures.emplace_back(deletedPath, error);
      return false;
    }
    if (!script.Open(deletedPath, ScriptFile::Mode::kExisting)) {
      outcome.failures.emplace_back(deletedPath, script.Error());
      return false;
    }
    if (identity && !script.WriteLine(IdentityInsertStatement(table, true))) return false;
  }
  // Where the row was found and why it is not live, before its Insert.
  std::u16string statement =
      u"-- " + FromUtf8(FoundAtText(row.at)) + u" " + FromUtf8(DeletedWhyText(row.why));
  if (!script.WriteLine(statement)) return false;
  statement.clear();
  uint64_t nulled = 0;
  std::string firstWhy;
  AppendInsert(head, columns, takes, row.values, statement, nulled, firstWhy);
  if (!script.WriteLine(statement)) return false;
  ++outcome.deletedRowsWritten;
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
  auto csv = std::make_unique<CsvWriter>(request.destinationFolder, catalogue, notes);
  if (request.saveAllObjects) csv->AlsoMakeSchemas(UserSchemaNames(catalogue, file.Version()));
  return csv;
}

// The data formats: the tables and their rows, the modules, then the keys
// and constraints, with the dialog showing each object as the scripts do.
// Workers read the tables; the writer takes their rows on the job's thread,
// table by table in order.
void SaveJob::State::SaveData(DataWriter& writer) {
  if (!writer.Begin()) return;
  display.SetObjectType(u"Tables");
  objectTotal = CountObjects();
  const std::vector<const _SYSOBJECTS*> tables = SelectedTables();
  TablePool<RowPiece> pool(request.workers);
  // Without workers, or with one table, the tables' pool runs on this thread.
  const bool inlineRows = pool.Workers() <= 1 || tables.size() <= 1;
  // The table being written: its rows read and whether the writer takes them.
  struct Taking {
    std::atomic<uint64_t> rowsRead{0};
    bool shown = false;         // the writer took the table
    bool ended = false;         // the writer refused a row: the rest is dropped
    bool deletedEnded = false;  // the same for recovered rows
  } taking;
  TablePool<RowPiece>::Steps steps;
  steps.make = [&](size_t i, JobControl& worker, const TablePool<RowPiece>::Put& put) {
    ReadTableRows(*tables[i], worker, put, inlineRows);
  };
  steps.begin = [&](size_t i) {
    const _SYSOBJECTS& table = *tables[i];
    display.SetObjectName(table.name);
    AdvanceObjectCounter();
    taking.shown = taking.ended = taking.deletedEnded = false;
    taking.rowsRead = 0;
    shownRows = nullptr;
    const TableReader reader(file, catalogue, table.id);
    const std::string shown = writer.BeginTable(table, reader.Columns());
    if (shown.empty()) return;
    taking.shown = true;
    ShowSavedPath(shown);
    display.SetCurrentProgress(0);
    if (!reader.CanRead() && !reader.NotReadReason().empty()) {
      folder.NoteFailure(shown, reader.NotReadReason());
    }
    if (reader.CanRead()) {
      shownRows = &taking.rowsRead;
      shownExpected = StoredRowCount(catalogue, table.id);
      lastShown = std::chrono::steady_clock::now();
    }
  };
  steps.take = [&](size_t i, RowPiece& piece) {
    if (!taking.shown) return;
    // After a stop nothing more is written, also of rows already read.
    if (job->Stopped()) throw JobStopped();
    auto write = [&](const RowValues& row) {
      if (taking.ended) return;
      if (!writer.WriteRow(row)) {
        taking.ended = true;
        return;
      }
      taking.rowsRead.fetch_add(1, std::memory_order_relaxed);
    };
    if (piece.row) write(*piece.row);
    for (const RowValues& row : piece.rows) write(row);
    // Each recovered row is written as it comes: a truncated table's freed
    // pages may hold more rows than memory.
    auto writeRecovered = [&](const RecoveredRow& row) {
      if (!taking.deletedEnded && !writer.WriteDeletedRow(row)) taking.deletedEnded = true;
    };
    if (piece.recoveredRow) writeRecovered(*piece.recoveredRow);
    for (const RecoveredRow& row : piece.recovered) writeRecovered(row);
    // Without workers the reader asks for the flush before its checkpoint;
    // with them each batch ends with one, so that a hold stops the writing
    // as soon as the readers.
    if (piece.flush || !inlineRows) writer.Flush();
    if (!inlineRows) job->Checkpoint();
    if (piece.finished) {
      ShowRowsRead(false);
      std::vector<std::string> warnings;
      ReadDamageWarnings(*tables[i], piece.stats, warnings);
      report.warnings.insert(report.warnings.end(), warnings.begin(), warnings.end());
    } else if (!piece.row || (++rowPieces & 31) == 0) {
      ShowRowsRead(true);
    }
  };
  steps.end = [&](size_t) {
    shownRows = nullptr;
    if (!taking.shown) return;
    const TableWritten written = writer.EndTable();
    report.rowsWritten += written.rows;
    report.deletedRowsWritten += written.deletedRows;
    Wait(500);
    display.SetCurrentProgress(100);
    Wait(500);
  };
  steps.idle = [&](size_t) {
    // Whatever was read before a hold is on disk while the job waits.
    writer.Flush();
    ShowRowsRead(true);
    job->Checkpoint();
  };
  pool.Run(tables.size(), *job, steps);
  for (const auto& o : catalogue.objects) {
    const ModuleKind* kind = KindOfModule(o.type);
    if (!kind || !ModuleChecked(o)) continue;
    AdvanceObjectCounter();
    ShowObject(kind->typeText, o.name);
    ShowSingleRecordStep();
    const _Procedures* text = ModuleText(catalogue, o.id);
    writer.WriteModule(o, text ? std::u16string_view(text->text) : std::u16string_view());
  }
  job->Checkpoint();
  display.SetObjectType(u"Constraints");
  writer.Finish(tables);
}

// A worker: the rows of one table in batches. Without workers each row goes
// to the writer as it is read, and what the writer holds is put on disk
// before each checkpoint of the reader.
void SaveJob::State::ReadTableRows(const _SYSOBJECTS& table, JobControl& worker,
                                   const TablePool<RowPiece>::Put& put, bool inlineRows) {
  TableReader reader(file, catalogue, table.id);
  RowPiece finished;
  finished.finished = true;
  if (!reader.CanRead()) {
    put(std::move(finished));
    return;
  }
  std::optional<DeletedRowReader> deleted;
  if (request.includeDeletedRows) deleted.emplace(file, catalogue, table.id, &FreedPages(worker));
  constexpr size_t kBatchRows = 256;
  RowPiece batch;
  auto putBatch = [&](bool flush) {
    if (batch.rows.empty() && batch.recovered.empty() && !flush) return;
    batch.flush = flush;
    put(std::move(batch));
    batch = RowPiece();
  };
  FlushingJob flushing(worker, [&] {
    if (inlineRows) putBatch(true);
  });
  auto onRow = [&](const RowValues& row) {
    if (inlineRows) {
      RowPiece one;
      one.row = &row;
      put(std::move(one));
      return true;
    }
    batch.rows.push_back(row);
    if (batch.rows.size() >= kBatchRows) putBatch(false);
    return true;
  };
  auto onRecovered = [&](const RecoveredRow& row) {
    if (inlineRows) {
      RowPiece one;
      one.recoveredRow = &row;
      put(std::move(one));
      return true;
    }
    batch.recovered.push_back(row);
    if (batch.recovered.size() >= kBatchRows) putBatch(false);
    return true;
  };
  if (deleted) {
    deleted->Read(flushing, onRow, onRecovered);
  } else {
    reader.Read(flushing, onRow);
  }
  putBatch(false);
  finished.stats = deleted ? deleted->LiveStats() : reader.Stats();
  put(std::move(finished));
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
    // A schema that no table of the save has made.
    std::u16string made;
    MakeEveryUserSchema(made);
    MakeSchema(module.schemaName, made);
    if (!made.empty()) script.WriteLine(made);
    if (const _Procedures* text = ModuleText(catalogue, module.id)) {
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
