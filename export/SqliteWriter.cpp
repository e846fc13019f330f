#include "export/SqliteWriter.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "engine/Collation.h"
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

// What a value of its kind holds, and nothing else: the other members of
// the copy are left as they were and never read.
void CopyValue(const Value& from, Value& to) {
  to.kind = from.kind;
  switch (from.kind) {
    case ValueKind::kNull:
      return;
    case ValueKind::kString:
      to.text = from.text;
      return;
    case ValueKind::kInteger:
    case ValueKind::kBit:
      to.integer = from.integer;
      return;
    case ValueKind::kBinary:
    case ValueKind::kGuid:
      to.bytes = from.bytes;
      return;
    default:
      to = from;
  }
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

  std::vector<TableSchema> tables;  // the tables made, in order
  TableSchema* current = nullptr;
  std::vector<_SYSCOLUMNS> columns;
  Statement insert;
  std::vector<std::string> buffers;
  uint64_t written = 0, refused = 0, changed = 0;
  std::string firstRefusal, firstChange;

  // A table's rows are inserted by a thread of their own, so that reading
  // the data file and SQLite's work go on side by side. The reading thread
  // fills batches of rows; the inserting thread takes them in order and
  // hands them back empty. Only the inserting thread uses the connection
  // while it runs.
  struct Batch {
    std::vector<RowValues> rows;
    size_t count = 0;
  };
  static constexpr size_t kBatchRows = 1024;
  static constexpr size_t kBatchesAhead = 4;
  std::mutex mutex;
  std::condition_variable changedState;
  std::deque<std::unique_ptr<Batch>> full, spare;
  std::unique_ptr<Batch> filling;
  bool closing = false;  // no more batches come for this table
  bool failed = false;   // an insert failed: no more rows are taken
  std::string failure;
  std::thread inserter;

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
  bool Bind(int index, const Value& value, const _SYSCOLUMNS& column);
  // On the inserting thread: false when nothing more can be inserted.
  bool InsertRow(const RowValues& row);
  void InsertBatches();
  void HandOver();
  // Waits for the inserting thread to end; `abandon`: without inserting
  // the batches still waiting (a stopped save).
  void StopInserting(bool abandon);
  void MakeIndexes(TableSchema& schema);
  void CheckRules(TableSchema& schema);
  void CheckForeignKeys(TableSchema& schema);
  bool Rewrite(const TableSchema& schema);
};

bool SqliteWriter::State::InsertRow(const RowValues& row) {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i < row.size()) {
      Bind(static_cast<int>(i + 1), row[i], columns[i]);
    } else {
      sqlite3_bind_null(insert.get(), static_cast<int>(i + 1));
    }
  }
  const int rc = sqlite3_step(insert.get());
  sqlite3_reset(insert.get());
  if (rc == SQLITE_DONE) {
    ++written;
    return true;
  }
  if ((rc & 0xFF) == SQLITE_CONSTRAINT) {
    if (refused++ == 0) firstRefusal = Error();
    return true;
  }
  std::lock_guard lock(mutex);
  failed = true;
  failure = "table " + Utf8(current->name) + ": " + Error();
  return false;
}

void SqliteWriter::State::InsertBatches() {
  bool going = true;
  for (;;) {
    std::unique_ptr<Batch> batch;
    {
      std::unique_lock lock(mutex);
      changedState.wait(lock, [&] { return !full.empty() || closing; });
      if (full.empty()) return;
      batch = std::move(full.front());
      full.pop_front();
    }
    for (size_t i = 0; i < batch->count && going; ++i) going = InsertRow(batch->rows[i]);
    batch->count = 0;
    {
      std::lock_guard lock(mutex);
      spare.push_back(std::move(batch));
    }
    changedState.notify_all();
  }
}

void SqliteWriter::State::HandOver() {
  {
    std::unique_lock lock(mutex);
    changedState.wait(lock, [&] { return full.size() < kBatchesAhead || failed; });
    full.push_back(std::move(filling));
    if (!spare.empty()) {
      filling = std::move(spare.back());
      spare.pop_back();
    }
  }
  changedState.notify_all();
  if (!filling) {
    filling = std::make_unique<Batch>();
    filling->rows.resize(kBatchRows);
  }
}

void SqliteWriter::State::StopInserting(bool abandon) {
  if (!inserter.joinable()) return;
  {
    std::lock_guard lock(mutex);
    if (abandon) full.clear();
    closing = true;
  }
  changedState.notify_all();
  inserter.join();
}

TableSchema SqliteWriter::State::Schema(const _SYSOBJECTS& table,
                                        const std::vector<_SYSCOLUMNS>& cols) const {
  TableSchema schema;
  schema.name = table.name;
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
      const auto text = std::find_if(
          c.checkTexts.begin(), c.checkTexts.end(),
          [&](const _Check_Constraints& t) { return t.objectId == static_cast<uint32_t>(o.id); });
      Rule rule;
      rule.name = o.name;
      rule.kind = "check";
      rule.original = CheckConstraintStatement(c, o.id);
      if (text != c.checkTexts.end() && !text->incomplete) rule.expression = Utf8(text->text);
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
          rule.referencedTable = ObjectName(c, tableId);
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

bool SqliteWriter::State::Bind(int index, const Value& v, const _SYSCOLUMNS& column) {
  sqlite3_stmt* st = insert.get();
  std::string& text = buffers[index - 1];
  text.clear();
  auto bindText = [&] {
    sqlite3_bind_text(st, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  };
  auto bindBytes = [&](const std::vector<std::byte>& bytes) {
    sqlite3_bind_blob(st, index, bytes.empty() ? "" : static_cast<const void*>(bytes.data()),
                      static_cast<int>(bytes.size()), SQLITE_STATIC);
  };
  auto change = [&](const std::string& why) {
    if (changed++ == 0) firstChange = Utf8(column.name) + ": " + why;
  };
  switch (v.kind) {
    case ValueKind::kNull:
      sqlite3_bind_null(st, index);
      return true;
    case ValueKind::kUnreadable:
      sqlite3_bind_null(st, index);
      change("an unreadable value (" + v.error + ") written as NULL");
      return true;
    case ValueKind::kInteger:
    case ValueKind::kBit:
      sqlite3_bind_int64(st, index, v.integer);
      return true;
    case ValueKind::kReal:
    case ValueKind::kFloat: {
      const double d = v.kind == ValueKind::kReal ? double{v.real} : v.real8;
      // SQLite stores a NaN as NULL; its text keeps what it was.
      if (std::isnan(d)) {
        text = "NaN";
        bindText();
        change("a float that is not a number written as the text NaN");
      } else {
        sqlite3_bind_double(st, index, d);
      }
      return true;
    }
    case ValueKind::kBinary:
    case ValueKind::kXml:
      if (v.kind == ValueKind::kXml && v.error.empty()) {
        AppendUtf8(v.text, text);
        bindText();
        return true;
      }
      if (v.kind == ValueKind::kXml)
        change("an xml value whose binary XML was not decoded kept as its bytes");
      bindBytes(v.bytes);
      return true;
    case ValueKind::kString:
      AppendUtf8(v.text, text);
      bindText();
      return true;
    default:
      break;
  }
  // Decimal, money, dates and times, uniqueidentifier: their exact text,
  // dates and times in ISO 8601 with a "T" between the date and the time.
  AppendExactText(v, text);
  if (v.kind == ValueKind::kDateTime || v.kind == ValueKind::kSmallDateTime ||
      v.kind == ValueKind::kDateTime2 || v.kind == ValueKind::kDateTimeOffset) {
    if (const size_t space = text.find(' '); space != std::string::npos) text[space] = 'T';
  }
  bindText();
  return true;
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
    if (rule.kind != "check" || rule.dropped) continue;
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
  // A new file of our own: a crash leaves nothing of value to protect, and
  // no fsync per table keeps the save fast.
  s.Exec("PRAGMA journal_mode=MEMORY");
  s.Exec("PRAGMA synchronous=OFF");
  if (!s.Exec(std::string(kBookkeeping))) {
    s.Fail("cannot write the database: " + s.Error());
    return false;
  }
  return true;
}

std::string SqliteWriter::BeginTable(const _SYSOBJECTS& table,
                                     const std::vector<_SYSCOLUMNS>& columns) {
  State& s = *state_;
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
      note.BindText(1, Utf8(table.name));
      note.BindText(2, Utf8(column.name));
      note.BindText(3, Utf8(ColumnTypeText(column)));
      note.BindText(4, CollationOf(s.catalogue, column));
      note.Run();
    }
  }
  std::string sql = "INSERT INTO " + SqliteName(table.name) + " VALUES (";
  for (size_t i = 0; i < columns.size(); ++i) sql += i ? ",?" : "?";
  if (!s.insert.Prepare(s.db, sql + ")")) {
    s.notes.failures.push_back("table " + Utf8(table.name) + ": " + s.Error());
    s.Exec("ROLLBACK");
    s.inTransaction = false;
    return {};
  }
  s.columns = columns;
  s.buffers.assign(columns.size(), {});
  s.written = s.refused = s.changed = 0;
  s.firstRefusal.clear();
  s.firstChange.clear();
  s.tables.push_back(std::move(schema));
  s.current = &s.tables.back();
  s.closing = s.failed = false;
  if (!s.filling) {
    s.filling = std::make_unique<State::Batch>();
    s.filling->rows.resize(State::kBatchRows);
  }
  s.inserter = std::thread([&s] { s.InsertBatches(); });
  return s.path;
}

bool SqliteWriter::WriteRow(const RowValues& row) {
  State& s = *state_;
  if (!s.inserter.joinable()) return false;
  // Copied into a row of the batch that already has the room, most times.
  RowValues& copy = s.filling->rows[s.filling->count++];
  copy.resize(row.size());
  for (size_t i = 0; i < row.size(); ++i) CopyValue(row[i], copy[i]);
  if (s.filling->count == State::kBatchRows) s.HandOver();
  std::lock_guard lock(s.mutex);
  return !s.failed;
}

uint64_t SqliteWriter::EndTable() {
  State& s = *state_;
  if (s.filling && s.filling->count > 0 && s.inserter.joinable()) s.HandOver();
  s.StopInserting(false);
  if (s.failed) s.notes.failures.push_back(s.failure);
  s.insert.Finalize();
  if (s.inTransaction && !s.Exec("COMMIT")) {
    s.notes.failures.push_back("table " + Utf8(s.current->name) + ": " + s.Error());
    s.Exec("ROLLBACK");
    s.written = 0;
  }
  s.inTransaction = false;
  const std::string table = s.current ? Utf8(s.current->name) : std::string();
  if (s.refused) {
    s.notes.warnings.push_back("table " + table + ": " + std::to_string(s.refused) +
                               " rows were refused by SQLite (first: " + s.firstRefusal + ")");
  }
  if (s.changed) {
    s.notes.warnings.push_back("table " + table + ": " + std::to_string(s.changed) +
                               " values were not written as they are (first: " + s.firstChange +
                               ")");
  }
  return s.written;
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
  if (module.parentId != 0) {
    insert.BindText(3, Utf8(ObjectName(s.catalogue, module.parentId)));
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
