#include "export/CsvWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

#include "engine/DeletedRowReader.h"
#include "engine/Utf16.h"
#include "engine/ValueText.h"
#include "export/CsvField.h"
#include "export/ExportFolder.h"
#include "sql/Statements.h"

namespace mendora {
namespace {

// Rows are put on disk in pieces of about this size.
constexpr size_t kBufferBytes = 1 << 20;

// A new file written through a buffer. Closing it without Close() drops
// what is still buffered.
class OutputFile {
 public:
  ~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Create(const std::string& path) {
    path_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    return fd_ >= 0 || Fail("cannot create");
  }
  bool IsOpen() const { return fd_ >= 0; }
  std::string& Buffer() { return buffer_; }
  bool Flush() {
    size_t done = 0;
    while (fd_ >= 0 && done < buffer_.size()) {
      const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return Fail("cannot write");
      done += static_cast<size_t>(n);
    }
    buffer_.clear();
    return fd_ >= 0;
  }
  bool Close() {
    const bool ok = Flush();
    if (fd_ >= 0 && ::close(fd_) != 0 && ok) {
      fd_ = -1;
      return Fail("cannot close");
    }
    fd_ = -1;
    return ok;
  }
  const std::string& Error() const { return error_; }

 private:
  bool Fail(const char* what) {
    if (error_.empty()) error_ = std::string(what) + " " + path_ + ": " + std::strerror(errno);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    return false;
  }
  int fd_ = -1;
  std::string path_;
  std::string buffer_;
  std::string error_;
};

void AppendStatement(std::string& out, std::u16string_view statement) {
  if (statement.empty()) return;
  AppendUtf8(statement, out);
  out += "\r\nGO\r\n";
}

}  // namespace

struct CsvWriter::State {
  std::string folder;
  const Catalogue& catalogue;
  SaveNotes& notes;
  ExportFolder names;
  OutputFile file;
  uint64_t written = 0, deletedWritten = 0;
  bool deletedRows = false;  // the table's recovered rows have begun
  std::u16string table;      // the table begun, and its columns
  std::vector<std::u16string> columnNames;
  std::string text;
  std::string modules;  // the modules' part of schema.sql
  std::vector<std::u16string> moduleSchemas;
  std::vector<std::u16string> otherSchemas;  // AlsoMakeSchemas
  std::string tableFile;                     // SetTableFile

  State(std::string f, const Catalogue& c, SaveNotes& n)
      : folder(std::move(f)), catalogue(c), notes(n), names(folder, c.databaseName) {}

  void NoteFileFailure() { notes.failures.push_back(file.Error()); }

  // A new file "<stem>.csv" and its header line; false when it cannot be made.
  bool CreateFile(std::u16string_view stem, std::string& path) {
    path = names.Path(ToUtf8(names.UniqueFileName("", std::u16string(stem), u".csv")));
    if (!file.Create(path)) {
      NoteFileFailure();
      return false;
    }
    return true;
  }
  void AppendFields(const RowValues& row) {
    std::string& line = file.Buffer();
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) line.push_back(',');
      if (row[i].IsNull()) continue;
      text.clear();
      AppendExactText(row[i], text);
      AppendCsvField(line, text);
    }
  }
  // Puts the buffer on disk once it is large; false when that failed.
  bool EndLine() {
    std::string& line = file.Buffer();
    line += "\r\n";
    if (line.size() >= kBufferBytes && !file.Flush()) {
      NoteFileFailure();
      return false;
    }
    return true;
  }
};

CsvWriter::CsvWriter(std::string folder, const Catalogue& catalogue, SaveNotes& notes)
    : state_(std::make_unique<State>(std::move(folder), catalogue, notes)) {}

CsvWriter::~CsvWriter() = default;

void CsvWriter::SetTableFile(std::string path) {
  state_->tableFile = std::move(path);
}

std::string CsvWriter::BeginTable(const _SYSOBJECTS& table,
                                  const std::vector<_SYSCOLUMNS>& columns) {
  State& s = *state_;
  s.written = s.deletedWritten = 0;
  s.deletedRows = false;
  s.table = table.name;
  s.columnNames.clear();
  for (const _SYSCOLUMNS& column : columns) s.columnNames.push_back(column.name);
  std::string path;
  if (!s.tableFile.empty()) {
    // One table's export to the file the user chose.
    path = std::exchange(s.tableFile, {});
    if (!s.file.Create(path)) {
      s.NoteFileFailure();
      return {};
    }
  } else if (!s.CreateFile(table.name, path)) {
    return {};
  }
  std::string& line = s.file.Buffer();
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i) line.push_back(',');
    AppendCsvField(line, ToUtf8(columns[i].name));
  }
  line += "\r\n";
  return path;
}

bool CsvWriter::WriteRow(const RowValues& row) {
  State& s = *state_;
  if (!s.file.IsOpen() || s.deletedRows) return false;
  s.AppendFields(row);
  ++s.written;
  return s.EndLine();
}

void CsvWriter::Flush() {
  State& s = *state_;
  if (s.file.IsOpen() && !s.file.Flush()) s.NoteFileFailure();
}

// "<table>_deleted.csv", made at the first: the columns "_found_at" and
// "_why", as `rows --deleted` prints them, then the table's.
bool CsvWriter::WriteDeletedRow(const RecoveredRow& row) {
  State& s = *state_;
  if (s.table.empty()) return false;
  if (!s.deletedRows) {
    s.deletedRows = true;
    // The table's own file is whole: the recovered rows go to one of their own.
    if (s.file.IsOpen() && !s.file.Close()) s.NoteFileFailure();
    std::string path;
    if (!s.CreateFile(s.table + u"_deleted", path)) return false;
    std::string& header = s.file.Buffer();
    header += "_found_at,_why";
    for (const std::u16string& name : s.columnNames) {
      header.push_back(',');
      AppendCsvField(header, ToUtf8(name));
    }
    header += "\r\n";
  }
  if (!s.file.IsOpen()) return false;
  std::string& line = s.file.Buffer();
  AppendCsvField(line, FoundAtText(row.at));
  line.push_back(',');
  AppendCsvField(line, DeletedWhyText(row.why));
  if (!row.values.empty()) line.push_back(',');
  s.AppendFields(row.values);
  if (!s.EndLine()) return false;
  ++s.deletedWritten;
  return true;
}

TableWritten CsvWriter::EndTable() {
  State& s = *state_;
  if (s.file.IsOpen() && !s.file.Close()) {
    s.NoteFileFailure();
    // The recovered rows' file cut short: none of them is counted.
    if (s.deletedRows) s.deletedWritten = 0;
  }
  return {s.written, s.deletedWritten};
}

void CsvWriter::AlsoMakeSchemas(std::vector<std::u16string> schemas) {
  state_->otherSchemas = std::move(schemas);
}

void CsvWriter::WriteModule(const _SYSOBJECTS& module, std::u16string_view text) {
  state_->moduleSchemas.push_back(module.schemaName);
  AppendStatement(state_->modules, text);
}

void CsvWriter::Finish(const std::vector<const _SYSOBJECTS*>& tables) {
  State& s = *state_;
  const Catalogue& c = s.catalogue;
  OutputFile schema;
  if (!schema.Create(s.names.Path("schema.sql"))) {
    s.notes.failures.push_back(schema.Error());
    return;
  }
  std::string& out = schema.Buffer();
  // The alias types the tables' columns are declared with.
  std::vector<const _AliasType*> types;
  for (const _AliasType& type : c.aliasTypes) {
    const bool used = std::any_of(c.columns.begin(), c.columns.end(), [&](const _SYSCOLUMNS& col) {
      return AliasTypeOf(c, col) == &type &&
             std::any_of(tables.begin(), tables.end(),
                         [&](const _SYSOBJECTS* t) { return t->id == col.tableId; });
    });
    if (used) types.push_back(&type);
  }
  // Every schema other than dbo that a type, a table or a module is in, once,
  // before them all.
  std::set<std::u16string> schemas{u"", u"dbo"};
  auto makeSchema = [&](const std::u16string& name) {
    if (schemas.insert(name).second) AppendStatement(out, CreateSchemaStatement(name));
  };
  for (const std::u16string& name : s.otherSchemas) makeSchema(name);
  for (const _AliasType* type : types) makeSchema(type->schemaName);
  for (const _SYSOBJECTS* table : tables) makeSchema(table->schemaName);
  for (const std::u16string& name : s.moduleSchemas) makeSchema(name);
  for (const _AliasType* type : types) AppendStatement(out, CreateTypeStatement(*type));
  for (const _SYSOBJECTS* table : tables) {
    AppendStatement(out, TableDefinitionStatement(c, table->id, table->name));
  }
  for (const _SYSOBJECTS* table : tables) {
    for (const auto& o : c.objects) {
      if (o.parentId != table->id) continue;
      if (o.type == u"PK" || o.type == u"UQ") {
        for (const auto& index : c.indexRows) {
          if (index.tableId != table->id || index.name != o.name) continue;
          AppendStatement(out, KeyOrIndexStatement(c, table->id, index.indid, o.type, o.name, true,
                                                   StatementUse::kScript));
          break;
        }
      } else if (o.type == u"F " || o.type == u"C ") {
        AppendStatement(out, o.type == u"F " ? ForeignKeyStatement(c, o.id, StatementUse::kScript)
                                             : CheckConstraintStatement(c, o.id));
        // A disabled constraint stays disabled in the copy.
        if (const std::u16string off = DisableConstraintStatement(c, o.id); !off.empty()) {
          AppendStatement(out, off);
        }
      }
    }
  }
  out += s.modules;
  if (!schema.Close()) s.notes.failures.push_back(schema.Error());
}

}  // namespace mendora
