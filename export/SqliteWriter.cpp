#include "export/SqliteWriter.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "engine/BinaryXml.h"
#include "engine/Collation.h"
#include "engine/DeletedRowReader.h"
#include "engine/IndexEntry.h"
#include "engine/TypeCodes.h"
#include "engine/Utf16.h"
#include "engine/ValueText.h"
#include "sql/ColumnTypeName.h"
#include "sql/Statements.h"

namespace mendora {
namespace {

constexpr std::string_view kBookkeeping = R"(
CREATE TABLE "_mendora_columns" ("table_name" TEXT NOT NULL, "column_name" TEXT NOT NULL,
  "original_type" TEXT NOT NULL, "collation" TEXT NOT NULL);
CREATE TABLE "_mendora_constraints" ("table_name" TEXT NOT NULL, "name" TEXT NOT NULL,
  "kind" TEXT NOT NULL, "original_text" TEXT NOT NULL, "reason" TEXT NOT NULL);
CREATE TABLE "_mendora_modules" ("name" TEXT NOT NULL, "type" TEXT NOT NULL, "table_name" TEXT,
  "text" TEXT NOT NULL);
)";

// The collation of an 8-bit text column for _mendora_columns (the
// database's where the column names none); empty for every other column.
std::string CollationOf(const Catalogue& c, const _SYSCOLUMNS& column) {
  if (!IsEightBitText(column.xtype)) return {};
  return CollationName(column.collationId ? column.collationId : c.databaseCollation);
}

// One prepared statement, finalized when it goes.
class Statement {
 public:
  Statement() = default;
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool Prepare(sqlite3* db, std::string_view sql) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    return sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) ==
           SQLITE_OK;
  }
  sqlite3_stmt* get() const { return stmt_; }
  void Finalize() {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }
  void BindText(int i, const std::string& text) {
    sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  // Steps to the end; the last result code.
  int Run() {
    int rc;
    while ((rc = sqlite3_step(stmt_)) == SQLITE_ROW) {
    }
    sqlite3_reset(stmt_);
    return rc;
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

struct KeyColumn {
  std::u16string name;
  bool descending = false;
};

// A rule in a table's definition that SQLite enforces: a check or a foreign key.
struct Rule {
  std::u16string name;
  std::string kind;         // "check" or "foreign key"
  std::string clause;       // as the definition holds it
  std::u16string original;  // the SQL Server statement
  std::string expression;   // a check's text
  std::u16string referencedTable;
  std::vector<std::u16string> columns, referencedColumns;
  bool dropped = false;
  // A check tried on every row as the rows went in: nothing left to try.
  bool checked = false;
};

struct IndexSpec {
  std::u16string name;
  bool unique = false;
  bool key = false;  // a unique key constraint
  std::vector<KeyColumn> columns;
  std::vector<std::u16string> included;
  std::u16string original;
};

struct TableSchema {
  std::u16string name;
  int64_t id = 0;
  std::vector<std::string> columnDefinitions;
  std::vector<KeyColumn> primaryKey;
  std::u16string primaryKeyName;
  std::vector<Rule> rules;
  std::vector<IndexSpec> indexes;
  // Column sets that are unique in the copy: the primary key and each
  // unique index made.
  std::vector<std::vector<std::u16string>> uniqueSets;

  std::string Sql() const {
    std::string sql = "CREATE TABLE " + SqliteName(name) + " (";
    for (size_t i = 0; i < columnDefinitions.size(); ++i) {
      if (i) sql += ", ";
      sql += columnDefinitions[i];
    }
    if (!primaryKey.empty()) {
      sql += ", CONSTRAINT " + SqliteName(primaryKeyName) + " PRIMARY KEY (";
      for (size_t i = 0; i < primaryKey.size(); ++i) {
        if (i) sql += ", ";
        sql += SqliteName(primaryKey[i].name);
        if (primaryKey[i].descending) sql += " DESC";
      }
      sql += ")";
    }
    for (const Rule& rule : rules) {
      if (!rule.dropped) sql += ", " + rule.clause;
    }
    return sql + ")";
  }
};

std::u16string Lower(std::u16string text) {
  for (auto& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return text;
}

// A table's name in the SQLite database: its own, and schema.name for a
// table outside dbo whose name another table of the file has too, so that
// neither is lost to the other.
std::u16string SqliteTableName(const Catalogue& c, const _SYSOBJECTS& table) {
  if (InDefaultSchema(table)) return table.name;
  const bool shared = std::any_of(c.userTables.begin(), c.userTables.end(), [&](const auto& t) {
    return t.id != table.id && Lower(t.name) == Lower(table.name);
  });
  return shared ? QualifiedName(table) : table.name;
}

bool SameColumnSet(std::vector<std::u16string> a, std::vector<std::u16string> b) {
  for (auto& n : a) n = Lower(n);
  for (auto& n : b) n = Lower(n);
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  return a == b;
}

std::string ColumnList(const std::vector<std::u16string>& names) {
  std::string list;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i) list += ", ";
    list += SqliteName(names[i]);
  }
  return list;
}

const _SYSCOLUMNS* ColumnById(const Catalogue& c, int64_t tableId, uint32_t colid) {
  for (const auto& column : c.columns) {
    if (column.tableId == tableId && column.colid == static_cast<int64_t>(colid)) return &column;
  }
  return nullptr;
}

// The key columns (or the included ones) of one index of a table, in key order.
std::vector<KeyColumn> IndexColumns(const Catalogue& c, int64_t tableId, uint16_t indid,
                                    bool included) {
  std::vector<KeyColumn> columns;
  for (const auto& k : c.indexKeys) {
    if (k.objectId != static_cast<uint32_t>(tableId) || k.indexId != indid) continue;
    if (k.included != included) continue;
    if (const _SYSCOLUMNS* column = ColumnById(c, tableId, k.columnId)) {
      columns.push_back({column->name, k.descending && !included});
    }
  }
  return columns;
}

const _SYSINDEXES* IndexNamed(const Catalogue& c, int64_t tableId, std::u16string_view name) {
  for (const auto& row : c.indexRows) {
    if (row.tableId == tableId && row.name == name) return &row;
  }
  return nullptr;
}

// A value as the inserting thread gives it to SQLite. A text's or a blob's
// bytes are in the arena of its batch.
struct Cell {
  enum class Kind : uint8_t { kNull, kInteger, kReal, kText, kBlob };
  Kind kind = Kind::kNull;
  union {
    int64_t integer = 0;
    double real;
    size_t offset;
  };
  size_t size = 0;
};

// The rows of one table on their way from the reading thread, which turns
// each value into a cell, to the inserting thread, which hands them to
// SQLite: batches filled and handed over in order, given back empty. The
// text is made UTF-8 on the reading side, so that the inserting side does
// nothing but SQLite's own work.
class RowQueue {
 public:
  struct Batch {
    std::vector<Cell> cells;  // row after row
    size_t rows = 0;
    std::unique_ptr<char[]> arena;
    size_t used = 0, room = 0;

    // Room for `n` more bytes at the end of the arena.
    char* Room(size_t n) {
      if (room - used < n) {
        const size_t grown = std::max({room * 2, used + n, size_t{64} << 10});
        auto bigger = std::make_unique_for_overwrite<char[]>(grown);
        if (used) std::memcpy(bigger.get(), arena.get(), used);
        arena = std::move(bigger);
        room = grown;
      }
      return arena.get() + used;
    }
    const char* Bytes(const Cell& c) const { return c.size ? arena.get() + c.offset : ""; }
  };

  static constexpr size_t kBatchRows = 1024;
  // A batch of large values is handed over before it has its rows, so that
  // the batches waiting hold a bounded amount of memory.
  static constexpr size_t kBatchBytes = size_t{4} << 20;
  // How far the reading side may run ahead, in batches and in bytes: a
  // deeper queue was not faster, only larger.
  static constexpr size_t kBatchesAhead = 8;
  static constexpr size_t kBytesAhead = size_t{32} << 20;

  // The virtual table's definition, as sqlite3_declare_vtab takes it: set
  // before it is made.
  std::string declaration;

  // The reading thread, before a table's rows.
  void Start(size_t columns) {
    std::lock_guard lock(mutex_);
    columns_ = columns;
    closing_ = false;
    failed_.store(false, std::memory_order_relaxed);
    sent_ = 0;
    if (taken_) spare_.push_back(std::move(taken_));
    for (auto& b : full_) spare_.push_back(std::move(b));
    full_.clear();
    bytesAhead_ = 0;
    if (!filling_) filling_ = Fresh();
    Prepare(*filling_);
  }
  size_t Columns() const { return columns_; }

  // The cells of the next row of the batch being filled.
  Cell* NextRow() { return filling_->cells.data() + filling_->rows * columns_; }
  Batch& Filling() { return *filling_; }
  // The row filled is complete: hands the batch over when it is full.
  // False once the inserting side has failed.
  bool EndRow() {
    ++filling_->rows;
    ++sent_;
    if (filling_->rows == kBatchRows || filling_->used >= kBatchBytes) HandOver();
    // Read without the lock: a row or two more after a failure are dropped
    // with the rest.
    return !failed_.load(std::memory_order_relaxed);
  }
  // No more rows. `abandon`: the batches still waiting are dropped (a stop).
  void Close(bool abandon) {
    if (!abandon && filling_ && filling_->rows) HandOver();
    {
      std::lock_guard lock(mutex_);
      if (abandon) {
        for (auto& b : full_) spare_.push_back(std::move(b));
        full_.clear();
        bytesAhead_ = 0;
      }
      closing_ = true;
    }
    changed_.notify_all();
  }
  uint64_t Sent() const { return sent_; }

  // The inserting thread: the next full batch, `done` given back; nullptr
  // once the queue is closed and empty.
  Batch* Next() {
    std::unique_lock lock(mutex_);
    if (taken_) spare_.push_back(std::move(taken_));
    changed_.notify_all();
    changed_.wait(lock, [&] { return !full_.empty() || closing_; });
    if (full_.empty()) return nullptr;
    taken_ = std::move(full_.front());
    full_.pop_front();
    bytesAhead_ -= taken_->used;
    changed_.notify_all();
    return taken_.get();
  }
  // No more rows are taken: the reading side stops at its next row.
  void Fail() {
    {
      std::lock_guard lock(mutex_);
      failed_.store(true, std::memory_order_relaxed);
    }
    changed_.notify_all();
  }

 private:
  std::unique_ptr<Batch> Fresh() const { return std::make_unique<Batch>(); }
  void Prepare(Batch& b) const {
    b.rows = 0;
    b.used = 0;
    // One value of many megabytes leaves a large arena: not kept for the
    // rows that follow.
    if (b.room > 4 * kBatchBytes) {
      b.arena.reset();
      b.room = 0;
    }
    if (b.cells.size() < kBatchRows * columns_) b.cells.resize(kBatchRows * columns_);
  }
  void HandOver() {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] {
        return (full_.size() < kBatchesAhead && bytesAhead_ < kBytesAhead) ||
               failed_.load(std::memory_order_relaxed);
      });
      bytesAhead_ += filling_->used;
      full_.push_back(std::move(filling_));
      if (!spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    changed_.notify_all();
    if (!filling_) filling_ = Fresh();
    Prepare(*filling_);
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<Batch>> full_, spare_;
  std::unique_ptr<Batch> filling_;  // the reading thread's
  std::unique_ptr<Batch> taken_;    // the inserting thread's
  size_t bytesAhead_ = 0;           // in the batches handed over and not yet taken
  bool closing_ = false;
  std::atomic<bool> failed_ = false;
  // The reading thread's own, on a cache line of their own: the inserting
  // thread reads none of them per row.
  alignas(64) size_t columns_ = 0;
  uint64_t sent_ = 0;
};

// The virtual table "_mendora_rows" that the queue's rows are selected
// from: a table's rows go in by one statement, INSERT ... SELECT from it,
// rather than one statement run per row, which costs SQLite far more.
// Its columns are the queue's declaration.
struct RowsTable {
  sqlite3_vtab base{};
  RowQueue* queue = nullptr;
};

struct RowsCursor {
  sqlite3_vtab_cursor base{};
  RowQueue* queue = nullptr;
  RowQueue::Batch* batch = nullptr;
  size_t row = 0;
  size_t columns = 0;
  const Cell* cells = nullptr;  // the current row's
  sqlite3_int64 rowid = 0;

  void NextBatch() {
    do {
      batch = queue->Next();
    } while (batch && batch->rows == 0);
    row = 0;
    columns = queue->Columns();
    if (batch) cells = batch->cells.data();
  }
};

int RowsConnect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char** error) {
  auto* queue = static_cast<RowQueue*>(aux);
  if (queue->declaration.empty()) {
    *error = sqlite3_mprintf("the rows' columns are not known");
    return SQLITE_ERROR;
  }
  const int rc = sqlite3_declare_vtab(db, queue->declaration.c_str());
  if (rc != SQLITE_OK) return rc;
  auto* table = new RowsTable;
  table->queue = queue;
  *out = &table->base;
  return SQLITE_OK;
}

int RowsDisconnect(sqlite3_vtab* table) {
  delete reinterpret_cast<RowsTable*>(table);
  return SQLITE_OK;
}

int RowsBestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
  info->estimatedCost = 1e9;
  return SQLITE_OK;
}

int RowsOpen(sqlite3_vtab* table, sqlite3_vtab_cursor** out) {
  auto* cursor = new RowsCursor;
  cursor->queue = reinterpret_cast<RowsTable*>(table)->queue;
  *out = &cursor->base;
  return SQLITE_OK;
}

int RowsClose(sqlite3_vtab_cursor* cursor) {
  delete reinterpret_cast<RowsCursor*>(cursor);
  return SQLITE_OK;
}

int RowsFilter(sqlite3_vtab_cursor* base, int, const char*, int, sqlite3_value**) {
  reinterpret_cast<RowsCursor*>(base)->NextBatch();
  return SQLITE_OK;
}

int RowsNext(sqlite3_vtab_cursor* base) {
  auto* cursor = reinterpret_cast<RowsCursor*>(base);
  ++cursor->rowid;
  cursor->cells += cursor->columns;
  if (++cursor->row == cursor->batch->rows) cursor->NextBatch();
  return SQLITE_OK;
}

int RowsEof(sqlite3_vtab_cursor* base) {
  return reinterpret_cast<RowsCursor*>(base)->batch == nullptr;
}

int RowsColumn(sqlite3_vtab_cursor* base, sqlite3_context* context, int i) {
  const auto* cursor = reinterpret_cast<RowsCursor*>(base);
  const RowQueue::Batch& batch = *cursor->batch;
  const Cell& cell = cursor->cells[i];
  // The bytes stay where they are until the row is inserted: the batch is
  // given back only when the next row is asked for.
  switch (cell.kind) {
    case Cell::Kind::kNull:
      sqlite3_result_null(context);
      break;
    case Cell::Kind::kInteger:
      sqlite3_result_int64(context, cell.integer);
      break;
    case Cell::Kind::kReal:
      sqlite3_result_double(context, cell.real);
      break;
    case Cell::Kind::kText:
      sqlite3_result_text64(context, batch.Bytes(cell), cell.size, SQLITE_STATIC, SQLITE_UTF8);
      break;
    case Cell::Kind::kBlob:
      sqlite3_result_blob64(context, batch.Bytes(cell), cell.size, SQLITE_STATIC);
      break;
  }
  return SQLITE_OK;
}

int RowsRowid(sqlite3_vtab_cursor* base, sqlite3_int64* rowid) {
  *rowid = reinterpret_cast<RowsCursor*>(base)->rowid;
  return SQLITE_OK;
}

// Only reading and only by a full scan: the other methods stay empty.
const sqlite3_module& RowsModule() {
  static const sqlite3_module module = [] {
    sqlite3_module m{};
    m.xCreate = RowsConnect;
    m.xConnect = RowsConnect;
    m.xBestIndex = RowsBestIndex;
    m.xDisconnect = RowsDisconnect;
    m.xDestroy = RowsDisconnect;
    m.xOpen = RowsOpen;
    m.xClose = RowsClose;
    m.xFilter = RowsFilter;
    m.xNext = RowsNext;
    m.xEof = RowsEof;
    m.xColumn = RowsColumn;
    m.xRowid = RowsRowid;
    return m;
  }();
  return module;
}

std::string Utf8(std::u16string_view text) {
  return ToUtf8(text);
}

}  // namespace

std::string SqliteName(std::u16string_view name) {
  std::string out = "\"";
  for (char c : ToUtf8(name)) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string SqliteDeclaredType(const _SYSCOLUMNS& column) {
  switch (column.xtype) {
    case kXTinyInt:
    case kXSmallInt:
    case kXInt:
    case kXBigInt:
    case kXBit:
      return "INTEGER";
    case kXReal:
    case kXFloat:
      return "REAL";
    case kXChar:
    case kXVarChar:
    case kXText:
    case kXNChar:
    case kXNVarChar:
    case kXNText:
    case kXXml:
    case kXUniqueIdentifier:
    case kXDate:
    case kXTime:
    case kXDateTime:
    case kXSmallDateTime:
    case kXDateTime2:
    case kXDateTimeOffset:
    case kXDecimal:
    case kXNumeric:
    case kXMoney:
    case kXSmallMoney:
      return "TEXT";
    case kXBinary:
    case kXVarBinary:
    case kXImage:
    case kXTimestamp:
    case kXClr:
      return "BLOB";
    default:
      return {};
  }
}

struct SqliteWriter::State {
  std::string path;
  const Catalogue& catalogue;
  VersionFlags version;
  SaveNotes& notes;
  sqlite3* db = nullptr;
  bool inTransaction = false;
  // The longest text or blob SQLite takes.
  size_t maxLength = 0;

  std::vector<TableSchema> tables;  // the tables made, in order
  TableSchema* current = nullptr;
  std::vector<_SYSCOLUMNS> columns;
  // Which rows of the current table go in: its live rows, then (when the
  // save asks for them) the rows a plain read leaves behind.
  enum class Phase { kNone, kRows, kDeleted };
  Phase phase = Phase::kNone;
  std::u16string deletedName;  // the table the recovered rows go into
  uint64_t written = 0, deletedWritten = 0, changed = 0;
  std::string firstChange;
  std::string text;  // a value's exact text, before it goes into a batch

  // A table's rows are inserted by a thread of their own, so that reading
  // the data file and SQLite's work go on side by side: the reading thread
  // fills the queue, the inserting thread runs the one statement that
  // selects from it. Only the inserting thread uses the connection while it
  // runs.
  RowQueue queue;
  Statement insert;
  std::thread inserter;
  std::string failure;  // why the insert failed, from the inserting thread
  uint64_t inserted = 0;
  uint64_t refused = 0;           // rows SQLite left out
  std::string inserting;          // the table, for what is noted
  std::vector<uint64_t> tallies;  // per check tried while inserting
  bool tallying = false;

  State(std::string p, const Catalogue& c, const VersionFlags& v, SaveNotes& n)
      : path(std::move(p)), catalogue(c), version(v), notes(n) {}

  ~State() {
    StopInserting(true);
    insert.Finalize();
    if (db && inTransaction) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }

  std::string Error() const { return db ? sqlite3_errmsg(db) : "out of memory"; }
  bool Exec(const std::string& sql) {
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  void Fail(const std::string& what) { notes.failures.push_back(path + ": " + what); }

  void NoteConstraint(std::u16string_view table, std::u16string_view name, std::string_view kind,
                      std::u16string_view original, const std::string& reason) {
    Statement s;
    if (!s.Prepare(db, "INSERT INTO \"_mendora_constraints\" VALUES (?,?,?,?,?)")) return;
    s.BindText(1, Utf8(table));
    s.BindText(2, Utf8(name));
    s.BindText(3, std::string(kind));
    s.BindText(4, Utf8(original));
    s.BindText(5, reason);
    if (s.Run() != SQLITE_DONE) Fail("cannot note a constraint: " + Error());
  }

  TableSchema Schema(const _SYSOBJECTS& table, const std::vector<_SYSCOLUMNS>& cols) const;
  void ProbeChecks(TableSchema& schema);
  // Starts inserting rows of `count` values into `table`, in the
  // transaction begun; false (and nothing started) when SQLite refuses.
  // `columns`: the rows' columns, named and typed as the table's, so that an
  // expression over them reads each value as the table would; nameless and
  // untyped when empty. `checks`: expressions tried on each row as it goes
  // in, tallies[i] counting the rows checks[i] fails; none is tried when
  // SQLite refuses them there.
  bool StartInserting(std::u16string_view table, size_t count,
                      const std::vector<_SYSCOLUMNS>& columns = {},
                      const std::vector<std::string>& checks = {});
  // Waits for the rows handed over to be inserted, commits, and says what
  // was refused. `abandon`: without the rows still waiting, and rolled
  // back (a stop). The rows inserted.
  uint64_t StopInserting(bool abandon);
  // The current table's live rows all given: in, committed, and its checks
  // settled from the tallies where they can be.
  void EndRows();
  // StopInserting, then the transaction committed and what was changed
  // noted: the rows in the file.
  uint64_t EndInserting(const std::string& table) {
    uint64_t n = StopInserting(false);
    if (inTransaction && !Exec("COMMIT")) {
      notes.failures.push_back("table " + table + ": " + Error());
      Exec("ROLLBACK");
      n = 0;
    }
    inTransaction = false;
    NoteChanges(table);
    return n;
  }
  // The table of the current table's recovered rows made and its inserting
  // started; false (noted) when SQLite refuses.
  bool StartDeleted();
  void AddText(Cell& cell, std::string_view text);
  // The values not written as they are, in one warning for the table.
  void NoteChanges(const std::string& table) {
    if (changed) {
      notes.warnings.push_back("table " + table + ": " + std::to_string(changed) +
                               " values were not written as they are (first: " + firstChange + ")");
    }
    changed = 0;
    firstChange.clear();
  }
  // "<table>_deleted", numbered when a table of the file or of the copy
  // has that name already.
  std::u16string DeletedTableName(const std::u16string& table);
  void AddValue(Cell& cell, const Value& value, const _SYSCOLUMNS& column);
  void MakeIndexes(TableSchema& schema);
  void CheckRules(TableSchema& schema);
  void CheckForeignKeys(TableSchema& schema);
  bool Rewrite(const TableSchema& schema);
};

namespace {

// A check's result as the rows go in, "mendora_tally(i, result)": counts
// the rows it fails, as a CHECK constraint reads its result (a number equal
// to zero; NULL passes), and lets every row through.
void Tally(sqlite3_context* context, int, sqlite3_value** argv) {
  auto& tallies = *static_cast<std::vector<uint64_t>*>(sqlite3_user_data(context));
  const auto i = static_cast<size_t>(sqlite3_value_int64(argv[0]));
  sqlite3_value* result = argv[1];
  bool fails = false;
  switch (sqlite3_value_numeric_type(result)) {
    case SQLITE_NULL:
      break;
    case SQLITE_INTEGER:
      fails = sqlite3_value_int64(result) == 0;
      break;
    default:
      fails = sqlite3_value_double(result) == 0.0;
      break;
  }
  if (fails && i < tallies.size()) ++tallies[i];
  sqlite3_result_int(context, 1);
}

}  // namespace

bool SqliteWriter::State::StartInserting(std::u16string_view table, size_t count,
                                         const std::vector<_SYSCOLUMNS>& typed,
                                         const std::vector<std::string>& checks) {
  std::string& declaration = queue.declaration;
  declaration = "CREATE TABLE x(";
  for (size_t i = 0; i < count; ++i) {
    if (i) declaration += ", ";
    if (i < typed.size()) {
      declaration += SqliteName(typed[i].name);
      if (const std::string type = SqliteDeclaredType(typed[i]); !type.empty()) {
        declaration += " " + type;
      }
    } else {
      declaration += "c" + std::to_string(i);
    }
  }
  declaration += ")";
  if (!Exec("CREATE VIRTUAL TABLE temp.\"_mendora_rows\" USING mendora_rows")) return false;
  // A row SQLite refuses (a primary key repeated, a NULL in a NOT NULL
  // column: damaged files only) is left out and counted, not the end of the
  // table.
  const std::string sql =
      "INSERT OR IGNORE INTO " + SqliteName(table) + " SELECT * FROM temp.\"_mendora_rows\"";
  // The tally is called only for a row the check does not pass at once (a
  // false or NULL result): most rows pass, and a call costs more than the
  // expression.
  std::string tried;
  for (size_t i = 0; i < checks.size(); ++i) {
    tried += (i ? " AND " : " WHERE ") + std::string("((") + checks[i] + ") OR mendora_tally(" +
             std::to_string(i) + ", (" + checks[i] + ")))";
  }
  tallies.assign(checks.size(), 0);
  tallying = !checks.empty() && insert.Prepare(db, sql + tried);
  if (!tallying && !insert.Prepare(db, sql)) {
    Exec("DROP TABLE temp.\"_mendora_rows\"");
    return false;
  }
  failure.clear();
  inserted = refused = 0;
  inserting = Utf8(table);
  queue.Start(count);
  inserter = std::thread([this] {
    const int rc = sqlite3_step(insert.get());
    if (rc == SQLITE_DONE) {
      inserted = static_cast<uint64_t>(sqlite3_changes64(db));
    } else {
      failure = Error();
      queue.Fail();
    }
    sqlite3_reset(insert.get());
  });
  return true;
}

void SqliteWriter::State::EndRows() {
  written = EndInserting(Utf8(current->name));
  // The tallies speak for the table's rows only when every row given went
  // in; otherwise the checks are tried on the table in Finish.
  if (!tallying || refused != 0 || written == 0) return;
  size_t i = 0;
  for (Rule& rule : current->rules) {
    if (rule.kind != "check" || rule.dropped || i >= tallies.size()) continue;
    rule.checked = true;
    if (const uint64_t n = tallies[i++]) {
      rule.dropped = true;
      NoteConstraint(current->name, rule.name, rule.kind, rule.original,
                     std::to_string(n) + " rows do not meet it as SQLite reads it");
    }
  }
}

// "_found_at" and "_why" (where each row was found and why it is no live
// row) before the table's columns; no key and no NOT NULL, so that no row
// found is refused: older versions of one row repeat its key.
bool SqliteWriter::State::StartDeleted() {
  deletedName = DeletedTableName(current->name);
  std::u16string foundAt = u"_found_at", why = u"_why";
  auto taken = [&](const std::u16string& n) {
    return std::any_of(columns.begin(), columns.end(),
                       [&](const _SYSCOLUMNS& c) { return Lower(c.name) == Lower(n); });
  };
  while (taken(foundAt) || taken(why)) {
    foundAt.insert(0, 1, u'_');
    why.insert(0, 1, u'_');
  }
  std::string sql = "CREATE TABLE " + SqliteName(deletedName) + " (" + SqliteName(foundAt) +
                    " TEXT, " + SqliteName(why) + " TEXT";
  for (const _SYSCOLUMNS& column : columns) {
    sql += ", " + SqliteName(column.name);
    if (const std::string type = SqliteDeclaredType(column); !type.empty()) sql += " " + type;
  }
  inTransaction = Exec("BEGIN");
  if (inTransaction && Exec(sql + ")") && StartInserting(deletedName, columns.size() + 2)) {
    return true;
  }
  notes.failures.push_back("table " + Utf8(deletedName) + ": " + Error());
  if (inTransaction) Exec("ROLLBACK");
  inTransaction = false;
  return false;
}

std::u16string SqliteWriter::State::DeletedTableName(const std::u16string& table) {
  const std::u16string base = table + u"_deleted";
  std::u16string name = base;
  for (int n = 2;; ++n) {
    bool taken = std::any_of(catalogue.userTables.begin(), catalogue.userTables.end(),
                             [&](const _SYSOBJECTS& t) { return Lower(t.name) == Lower(name); });
    Statement s;
    if (!taken && s.Prepare(db, "SELECT 1 FROM sqlite_schema WHERE name = ? COLLATE NOCASE")) {
      s.BindText(1, Utf8(name));
      taken = sqlite3_step(s.get()) == SQLITE_ROW;
    }
    if (!taken) return name;
    name = base + u"_" + WidenAscii(std::to_string(n));
  }
}

uint64_t SqliteWriter::State::StopInserting(bool abandon) {
  if (!inserter.joinable()) return 0;
  queue.Close(abandon);
  inserter.join();
  insert.Finalize();
  Exec("DROP TABLE temp.\"_mendora_rows\"");
  const std::string& table = inserting;
  if (abandon) return 0;
  if (!failure.empty()) {
    notes.failures.push_back("table " + table + ": " + failure);
    return 0;
  }
  refused = queue.Sent() - inserted;
  if (refused) {
    notes.warnings.push_back("table " + table + ": " + std::to_string(refused) +
                             " rows were refused by SQLite (a key repeated or a NULL in a "
                             "column that takes none)");
  }
  return inserted;
}

TableSchema SqliteWriter::State::Schema(const _SYSOBJECTS& table,
                                        const std::vector<_SYSCOLUMNS>& cols) const {
  TableSchema schema;
  schema.name = SqliteTableName(catalogue, table);
  schema.id = table.id;
  for (const _SYSCOLUMNS& column : cols) {
    std::string definition = SqliteName(column.name);
    const std::string type = SqliteDeclaredType(column);
    if (!type.empty()) definition += " " + type;
    if (NullabilityWord(column.status) == u"Not Null") definition += " NOT NULL";
    schema.columnDefinitions.push_back(std::move(definition));
  }
  const Catalogue& c = catalogue;
  for (const auto& o : c.objects) {
    if (o.parentId != table.id) continue;
    if (o.type == u"PK" && schema.primaryKey.empty()) {
      if (const _SYSINDEXES* index = IndexNamed(c, table.id, o.name)) {
        schema.primaryKey = IndexColumns(c, table.id, index->indid, false);
        schema.primaryKeyName = o.name;
      }
    } else if (o.type == u"UQ") {
      if (const _SYSINDEXES* index = IndexNamed(c, table.id, o.name)) {
        IndexSpec wanted{o.name, true, true, IndexColumns(c, table.id, index->indid, false),
                         {},     {}};
        wanted.original = KeyOrIndexStatement(c, table.id, index->indid, u"UQ", o.name, true,
                                              StatementUse::kScript);
        if (!wanted.columns.empty()) schema.indexes.push_back(std::move(wanted));
      }
    } else if (o.type == u"C ") {
      const _Check_Constraints* text = CheckText(c, o.id);
      Rule rule;
      rule.name = o.name;
      rule.kind = "check";
      rule.original = CheckConstraintStatement(c, o.id);
      if (text && !text->incomplete) rule.expression = Utf8(text->text);
      rule.clause = "CONSTRAINT " + SqliteName(o.name) + " CHECK (" + rule.expression + ")";
      schema.rules.push_back(std::move(rule));
    } else if (o.type == u"F ") {
      Rule rule;
      rule.name = o.name;
      rule.kind = "foreign key";
      rule.original = ForeignKeyStatement(c, o.id, StatementUse::kScript);
      for (const auto& d : c.dependencies) {
        if (d.depId != static_cast<uint32_t>(o.id)) continue;
        const int64_t tableId = static_cast<int32_t>(d.indepId);
        const _SYSCOLUMNS* column = ColumnById(c, tableId, d.indepSubId);
        if (!column) continue;
        if (d.refClass == kReferencingColumn) rule.columns.push_back(column->name);
        if (d.refClass == kReferencedColumn) {
          rule.referencedColumns.push_back(column->name);
          const _SYSOBJECTS* referenced = ObjectById(c, tableId);
          rule.referencedTable = referenced ? SqliteTableName(c, *referenced) : std::u16string();
        }
      }
      rule.clause = "CONSTRAINT " + SqliteName(o.name) + " FOREIGN KEY (" +
                    ColumnList(rule.columns) + ") REFERENCES " + SqliteName(rule.referencedTable) +
                    " (" + ColumnList(rule.referencedColumns) + ")";
      schema.rules.push_back(std::move(rule));
    }
  }
  // The indexes the scripts write: not those that back a key, nor the
  // statistics the server makes by itself.
  std::vector<uint16_t> seen;
  for (const auto& row : c.indexRows) {
    if (row.tableId != table.id) continue;
    if (std::find(seen.begin(), seen.end(), row.indid) != seen.end()) continue;
    seen.push_back(row.indid);
    if (row.primaryKey || row.uniqueConstraint || row.name.empty()) continue;
    const bool keyOfThatName = std::any_of(c.objects.begin(), c.objects.end(), [&](const auto& o) {
      return o.name == row.name && (o.type == u"PK" || o.type == u"UQ");
    });
    if (keyOfThatName || std::u16string_view(row.name).starts_with(u"_WA_Sys_")) continue;
    if (!IsIndexEntry(row, version)) continue;
    IndexSpec wanted{row.name,
                     row.unique,
                     false,
                     IndexColumns(c, table.id, row.indid, false),
                     {},
                     KeyOrIndexStatement(c, table.id, row.indid, u"", row.name, row.unique,
                                         StatementUse::kScript)};
    for (const KeyColumn& k : IndexColumns(c, table.id, row.indid, true)) {
      wanted.included.push_back(k.name);
    }
    if (!wanted.columns.empty()) schema.indexes.push_back(std::move(wanted));
  }
  return schema;
}

// A check stays in the definition only when SQLite can read its text: it is
// tried on an empty table of the same columns first.
void SqliteWriter::State::ProbeChecks(TableSchema& schema) {
  bool any = false;
  for (const Rule& r : schema.rules) any = any || r.kind == "check";
  if (!any) return;
  std::string probe = "CREATE TEMP TABLE \"_mendora_probe\" (";
  for (size_t i = 0; i < schema.columnDefinitions.size(); ++i) {
    probe += (i ? ", " : "") + schema.columnDefinitions[i];
  }
  Exec("DROP TABLE IF EXISTS temp.\"_mendora_probe\"");
  const bool made = Exec(probe + ")");
  for (Rule& rule : schema.rules) {
    if (rule.kind != "check") continue;
    Statement s;
    std::string reason;
    if (rule.expression.empty()) {
      reason = "its text was not recovered whole";
    } else if (!made) {
      reason = "SQLite refused the table's columns: " + Error();
    } else if (!s.Prepare(db, "SELECT (" + rule.expression + ") FROM temp.\"_mendora_probe\"")) {
      reason = "not valid in SQLite: " + Error();
    }
    if (!reason.empty()) {
      rule.dropped = true;
      NoteConstraint(schema.name, rule.name, rule.kind, rule.original, reason);
    }
  }
  Exec("DROP TABLE IF EXISTS temp.\"_mendora_probe\"");
}

void SqliteWriter::State::AddText(Cell& cell, std::string_view bytes) {
  RowQueue::Batch& batch = queue.Filling();
  cell.kind = Cell::Kind::kText;
  cell.offset = batch.used;
  cell.size = bytes.size();
  std::memcpy(batch.Room(bytes.size()), bytes.data(), bytes.size());
  batch.used += bytes.size();
}

void SqliteWriter::State::AddValue(Cell& cell, const Value& v, const _SYSCOLUMNS& column) {
  RowQueue::Batch& batch = queue.Filling();
  auto change = [&](const std::string& why) {
    if (changed++ == 0) firstChange = Utf8(column.name) + ": " + why;
  };
  auto tooLong = [&](size_t size) {
    if (size <= maxLength) return false;
    cell.kind = Cell::Kind::kNull;
    change("a value of " + std::to_string(size) +
           " bytes, more than SQLite takes, written as NULL");
    return true;
  };
  switch (v.kind) {
    case ValueKind::kNull:
      cell.kind = Cell::Kind::kNull;
      return;
    case ValueKind::kUnreadable:
      cell.kind = Cell::Kind::kNull;
      change("an unreadable value (" + v.error + ") written as NULL");
      return;
    case ValueKind::kInteger:
    case ValueKind::kBit:
      cell.kind = Cell::Kind::kInteger;
      cell.integer = v.integer;
      return;
    case ValueKind::kReal:
    case ValueKind::kFloat: {
      const double d = v.kind == ValueKind::kReal ? double{v.real} : v.real8;
      // SQLite stores a NaN as NULL; its text keeps what it was.
      if (std::isnan(d)) {
        AddText(cell, "NaN");
        change("a float that is not a number written as the text NaN");
      } else {
        cell.kind = Cell::Kind::kReal;
        cell.real = d;
      }
      return;
    }
    case ValueKind::kString:
    case ValueKind::kXml: {
      std::optional<std::u16string> xml;
      if (v.kind == ValueKind::kXml) xml = XmlText(v);
      if (v.kind == ValueKind::kString || xml) {
        const std::u16string& text = xml ? *xml : v.text;
        char* start = batch.Room(text.size() * 3);
        cell.size = static_cast<size_t>(WriteUtf8(text, start) - start);
        if (tooLong(cell.size)) return;
        cell.kind = Cell::Kind::kText;
        cell.offset = batch.used;
        batch.used += cell.size;
        return;
      }
      change("an xml value whose binary XML was not decoded kept as its bytes");
      [[fallthrough]];
    }
    case ValueKind::kBinary:
      if (tooLong(v.bytes.size())) return;
      cell.kind = Cell::Kind::kBlob;
      cell.offset = batch.used;
      cell.size = v.bytes.size();
      if (!v.bytes.empty()) std::memcpy(batch.Room(cell.size), v.bytes.data(), cell.size);
      batch.used += cell.size;
      return;
    default:
      break;
  }
  // Decimal, money, dates and times, uniqueidentifier: their exact text,
  // dates and times in ISO 8601 with a "T" between the date and the time.
  text.clear();
  AppendExactText(v, text);
  if (v.kind == ValueKind::kDateTime || v.kind == ValueKind::kSmallDateTime ||
      v.kind == ValueKind::kDateTime2 || v.kind == ValueKind::kDateTimeOffset) {
    if (const size_t space = text.find(' '); space != std::string::npos) text[space] = 'T';
  }
  AddText(cell, text);
}

// Unique keys and indexes, once the rows are in. An index name is unique in
// the whole SQLite file but only per table on the server, so a name already
// taken is prefixed with the table's.
void SqliteWriter::State::MakeIndexes(TableSchema& schema) {
  for (const IndexSpec& index : schema.indexes) {
    std::string columnsText;
    std::vector<std::u16string> names;
    for (size_t i = 0; i < index.columns.size(); ++i) {
      if (i) columnsText += ", ";
      columnsText += SqliteName(index.columns[i].name);
      if (index.columns[i].descending) columnsText += " DESC";
      names.push_back(index.columns[i].name);
    }
    auto make = [&](bool unique, const std::u16string& name) {
      return Exec(std::string(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                  SqliteName(name) + " ON " + SqliteName(schema.name) + " (" + columnsText + ")");
    };
    std::u16string name = index.name;
    bool made = make(index.unique, name);
    if (!made && sqlite3_errcode(db) != SQLITE_CONSTRAINT) {
      name = schema.name + u"." + index.name;
      made = make(index.unique, name);
    }
    if (!made && index.unique && sqlite3_errcode(db) == SQLITE_CONSTRAINT) {
      NoteConstraint(schema.name, index.name, index.key ? "unique key" : "unique index",
                     index.original, "the rows repeat its key: " + Error());
      made = make(false, name);
    } else if (made && index.unique) {
      schema.uniqueSets.push_back(names);
    }
    if (!made) {
      NoteConstraint(schema.name, index.name, index.key ? "unique key" : "index", index.original,
                     "SQLite refused it: " + Error());
    } else if (!index.included.empty()) {
      NoteConstraint(schema.name, index.name, "index", index.original,
                     "SQLite indexes have no included columns; the index holds its key columns");
    }
  }
}

// A check whose result SQLite reads differently than the server did (LIKE
// patterns, for one) could fail rows the server took: it stays only when
// every row meets it.
void SqliteWriter::State::CheckRules(TableSchema& schema) {
  for (Rule& rule : schema.rules) {
    if (rule.kind != "check" || rule.dropped || rule.checked) continue;
    Statement s;
    std::string reason;
    if (!s.Prepare(db, "SELECT count(*) FROM " + SqliteName(schema.name) + " WHERE NOT (" +
                           rule.expression + ")")) {
      reason = "not valid in SQLite: " + Error();
    } else if (sqlite3_step(s.get()) != SQLITE_ROW) {
      reason = "SQLite could not evaluate it: " + Error();
    } else if (const int64_t n = sqlite3_column_int64(s.get(), 0); n > 0) {
      reason = std::to_string(n) + " rows do not meet it as SQLite reads it";
    }
    if (!reason.empty()) {
      rule.dropped = true;
      NoteConstraint(schema.name, rule.name, rule.kind, rule.original, reason);
    }
  }
}

// A foreign key stays when its referenced table is in the file, the
// referenced columns are unique there, and every row finds its row.
void SqliteWriter::State::CheckForeignKeys(TableSchema& schema) {
  for (Rule& rule : schema.rules) {
    if (rule.kind != "foreign key" || rule.dropped) continue;
    std::string reason;
    const auto parent = std::find_if(tables.begin(), tables.end(), [&](const TableSchema& t) {
      return Lower(t.name) == Lower(rule.referencedTable);
    });
    if (rule.columns.empty() || rule.columns.size() != rule.referencedColumns.size()) {
      reason = "its columns were not recovered";
    } else if (parent == tables.end()) {
      reason = "the table it refers to is not in this file";
    } else {
      std::vector<std::u16string> key;
      for (const KeyColumn& k : parent->primaryKey) key.push_back(k.name);
      bool unique = !key.empty() && SameColumnSet(key, rule.referencedColumns);
      for (const auto& set : parent->uniqueSets) {
        unique = unique || SameColumnSet(set, rule.referencedColumns);
      }
      if (!unique) reason = "the columns it refers to have no unique key in this file";
    }
    if (reason.empty()) {
      std::string notNull, match;
      for (size_t i = 0; i < rule.columns.size(); ++i) {
        notNull += "c." + SqliteName(rule.columns[i]) + " IS NOT NULL AND ";
        match += std::string(i ? " AND " : "") + "p." + SqliteName(rule.referencedColumns[i]) +
                 " = c." + SqliteName(rule.columns[i]);
      }
      Statement s;
      if (!s.Prepare(db, "SELECT count(*) FROM " + SqliteName(schema.name) + " AS c WHERE " +
                             notNull + "NOT EXISTS (SELECT 1 FROM " +
                             SqliteName(rule.referencedTable) + " AS p WHERE " + match + ")") ||
          sqlite3_step(s.get()) != SQLITE_ROW) {
        reason = "SQLite could not check it: " + Error();
      } else if (const int64_t n = sqlite3_column_int64(s.get(), 0); n > 0) {
        reason = std::to_string(n) + " rows refer to no row of " + Utf8(rule.referencedTable);
      }
    }
    if (!reason.empty()) {
      rule.dropped = true;
      NoteConstraint(schema.name, rule.name, rule.kind, rule.original, reason);
    }
  }
}

// Takes the dropped rules out of a table's stored definition, the way
// SQLite documents for removing a CHECK or FOREIGN KEY constraint: the rows
// stay as they are, only the text of the definition changes.
bool SqliteWriter::State::Rewrite(const TableSchema& schema) {
  Statement version;
  if (!version.Prepare(db, "PRAGMA schema_version") || sqlite3_step(version.get()) != SQLITE_ROW) {
    return false;
  }
  const int64_t schemaVersion = sqlite3_column_int64(version.get(), 0);
  version.Finalize();
  Statement update;
  if (!Exec("PRAGMA writable_schema=ON") ||
      !update.Prepare(db, "UPDATE sqlite_schema SET sql=? WHERE type='table' AND name=?")) {
    return false;
  }
  update.BindText(1, schema.Sql());
  update.BindText(2, Utf8(schema.name));
  const bool ok = update.Run() == SQLITE_DONE;
  update.Finalize();
  Exec("PRAGMA schema_version=" + std::to_string(schemaVersion + 1));
  Exec("PRAGMA writable_schema=OFF");
  return ok;
}

SqliteWriter::SqliteWriter(std::string path, const Catalogue& catalogue,
                           const VersionFlags& version, SaveNotes& notes)
    : state_(std::make_unique<State>(std::move(path), catalogue, version, notes)) {}

SqliteWriter::~SqliteWriter() = default;

bool SqliteWriter::Begin() {
  State& s = *state_;
  // One connection, used by one thread at a time: no locking per call.
  if (sqlite3_open_v2(s.path.c_str(), &s.db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                      nullptr) != SQLITE_OK) {
    s.Fail("cannot open the database: " + s.Error());
    return false;
  }
  // Tables of many rows go into larger pages: SQLite's work for each page,
  // and the file system's for each write, is shared by more rows. A file of
  // small tables keeps the default pages, so that each of its tables and
  // indexes does not take a large page for a few rows.
  uint64_t rows = 0;
  for (const auto& t : s.catalogue.tableStorage) rows += t.rowCount;
  if (!s.catalogue.tableStorage.empty() && rows / s.catalogue.tableStorage.size() >= 4096) {
    s.Exec("PRAGMA page_size=32768");
  }
  // A new file of our own that nothing else reads while it is written: no
  // fsync per table, and the rollback journal in memory, enough to take
  // back the table under way when the save is stopped. What the save
  // completed is in the file whatever comes after.
  s.Exec("PRAGMA journal_mode=MEMORY");
  s.Exec("PRAGMA synchronous=OFF");
  s.Exec("PRAGMA temp_store=MEMORY");
  s.maxLength = static_cast<size_t>(sqlite3_limit(s.db, SQLITE_LIMIT_LENGTH, -1));
  if (sqlite3_create_module(s.db, "mendora_rows", &RowsModule(), &s.queue) != SQLITE_OK ||
      sqlite3_create_function(s.db, "mendora_tally", 2, SQLITE_UTF8, &s.tallies, Tally, nullptr,
                              nullptr) != SQLITE_OK ||
      !s.Exec(std::string(kBookkeeping))) {
    s.Fail("cannot write the database: " + s.Error());
    return false;
  }
  return true;
}

std::string SqliteWriter::BeginTable(const _SYSOBJECTS& table,
                                     const std::vector<_SYSCOLUMNS>& columns) {
  State& s = *state_;
  s.current = nullptr;
  s.phase = State::Phase::kNone;
  if (!s.db) return {};
  if (columns.empty()) {
    s.notes.failures.push_back("table " + Utf8(table.name) + ": no columns were recovered");
    return {};
  }
  TableSchema schema = s.Schema(table, columns);
  s.ProbeChecks(schema);
  if (!s.Exec("BEGIN")) return {};
  s.inTransaction = true;
  // Checks are tried on the rows once they are all in.
  s.Exec("PRAGMA ignore_check_constraints=ON");
  if (!s.Exec(schema.Sql())) {
    s.notes.failures.push_back("table " + Utf8(table.name) + ": " + s.Error());
    s.Exec("ROLLBACK");
    s.inTransaction = false;
    return {};
  }
  Statement note;
  if (note.Prepare(s.db, "INSERT INTO \"_mendora_columns\" VALUES (?,?,?,?)")) {
    for (const _SYSCOLUMNS& column : columns) {
      note.BindText(1, Utf8(schema.name));
      note.BindText(2, Utf8(column.name));
      note.BindText(3, Utf8(ColumnTypeText(column)));
      note.BindText(4, CollationOf(s.catalogue, column));
      note.Run();
    }
  }
  note.Finalize();
  // The checks SQLite reads are tried on each row as it goes in, rather
  // than on the whole table once it is in.
  std::vector<std::string> checks;
  for (const Rule& rule : schema.rules) {
    if (rule.kind == "check" && !rule.dropped) checks.push_back(rule.expression);
  }
  if (!s.StartInserting(schema.name, columns.size(), columns, checks)) {
    s.notes.failures.push_back("table " + Utf8(table.name) + ": " + s.Error());
    s.Exec("ROLLBACK");
    s.inTransaction = false;
    return {};
  }
  s.columns = columns;
  s.written = s.deletedWritten = 0;
  s.phase = State::Phase::kRows;
  s.changed = 0;
  s.firstChange.clear();
  s.tables.push_back(std::move(schema));
  s.current = &s.tables.back();
  return s.path;
}

bool SqliteWriter::WriteRow(const RowValues& row) {
  State& s = *state_;
  if (s.phase != State::Phase::kRows || !s.inserter.joinable()) return false;
  Cell* cells = s.queue.NextRow();
  for (size_t i = 0; i < s.columns.size(); ++i) {
    if (i < row.size()) {
      s.AddValue(cells[i], row[i], s.columns[i]);
    } else {
      cells[i].kind = Cell::Kind::kNull;
    }
  }
  return s.queue.EndRow();
}

bool SqliteWriter::WriteDeletedRow(const RecoveredRow& row) {
  State& s = *state_;
  if (s.phase == State::Phase::kRows) {
    // The table's live rows are all in: committed before the first
    // recovered row, which goes into a table of its own.
    s.EndRows();
    s.phase = s.StartDeleted() ? State::Phase::kDeleted : State::Phase::kNone;
  }
  if (s.phase != State::Phase::kDeleted || !s.inserter.joinable()) return false;
  Cell* cells = s.queue.NextRow();
  s.AddText(cells[0], FoundAtText(row.at));
  s.AddText(cells[1], DeletedWhyText(row.why));
  const Value null;
  for (size_t i = 0; i < s.columns.size(); ++i) {
    s.AddValue(cells[i + 2], i < row.values.size() ? row.values[i] : null, s.columns[i]);
  }
  return s.queue.EndRow();
}

TableWritten SqliteWriter::EndTable() {
  State& s = *state_;
  if (!s.current) return {};
  if (s.phase == State::Phase::kRows) {
    s.EndRows();
  } else if (s.phase == State::Phase::kDeleted) {
    s.deletedWritten = s.EndInserting(Utf8(s.deletedName));
  }
  s.phase = State::Phase::kNone;
  return {s.written, s.deletedWritten};
}

void SqliteWriter::WriteModule(const _SYSOBJECTS& module, std::u16string_view text) {
  State& s = *state_;
  if (!s.db) return;
  Statement insert;
  if (!insert.Prepare(s.db, "INSERT INTO \"_mendora_modules\" VALUES (?,?,?,?)")) return;
  std::u16string type = module.type;
  while (!type.empty() && type.back() == u' ') type.pop_back();
  insert.BindText(1, Utf8(module.name));
  insert.BindText(2, Utf8(type));
  if (const _SYSOBJECTS* table = ObjectById(s.catalogue, module.parentId); module.parentId != 0) {
    insert.BindText(3, Utf8(table ? SqliteTableName(s.catalogue, *table) : std::u16string()));
  }
  insert.BindText(4, Utf8(text));
  if (insert.Run() != SQLITE_DONE) s.Fail("cannot write module " + Utf8(module.name));
}

void SqliteWriter::Finish(const std::vector<const _SYSOBJECTS*>&) {
  State& s = *state_;
  if (!s.db) return;
  if (!s.Exec("BEGIN")) {
    s.Fail("cannot write the keys and constraints: " + s.Error());
    return;
  }
  s.inTransaction = true;
  s.Exec("PRAGMA ignore_check_constraints=OFF");
  for (TableSchema& table : s.tables) {
    s.MakeIndexes(table);
    s.CheckRules(table);
  }
  for (TableSchema& table : s.tables) s.CheckForeignKeys(table);
  for (const TableSchema& table : s.tables) {
    const bool dropped = std::any_of(table.rules.begin(), table.rules.end(),
                                     [](const Rule& r) { return r.dropped; });
    if (dropped && !s.Rewrite(table)) {
      s.Fail("cannot take the rules SQLite cannot hold out of table " + Utf8(table.name) + ": " +
             s.Error());
    }
  }
  if (!s.Exec("COMMIT")) s.Fail("cannot write the keys and constraints: " + s.Error());
  s.inTransaction = false;
  if (sqlite3_close(s.db) != SQLITE_OK) s.Fail("cannot close the database: " + s.Error());
  s.db = nullptr;
}

}  // namespace mendora
