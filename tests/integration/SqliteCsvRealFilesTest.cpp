// mendora-cli export --format sqlite and --format csv over every real file
// with reference content (expected/): the database is opened by the sqlite3
// shell, whose integrity and foreign-key checks must find nothing and whose
// every cell must be the reference's in the storage class its column's type
// asks for; the CSV files, read back by a strict RFC 4180 reader, must hold
// the same cells, NULL apart from the empty string. Rows are compared as
// multisets: a table with an INTEGER PRIMARY KEY comes back in key order.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "engine/Analysis.h"
#include "engine/DataFile.h"
#include "engine/Utf16.h"
#include "export/FileNames.h"
#include "export/SaveJob.h"
#include "tests/integration/CliRun.h"
#include "tests/integration/RealFile.h"
#include "tests/support/RealFiles.h"
#include "tests/support/TempDir.h"

namespace mdftest {
namespace {

using nlohmann::json;

// Cells compared by placeholder only: the reference does not decode binary
// XML, and marks "<lob>" the large values it did not follow (the column is
// marked below).
constexpr const char* kNotCompared = "~";

bool NotCompared(const json& column) {
  return column["type"] == "xml" || column.value("unfollowed", false);
}

std::string FloatText(double value, bool single) {
  char text[64];
  if (single) {
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(static_cast<float>(value)));
  } else {
    std::snprintf(text, sizeof text, "%.17g", value);
  }
  return text;
}

bool IsFloating(const std::string& type) {
  return type == "real" || type == "float";
}

// The reference's tag for the type's cells ("dec:"), empty for none.
std::string TagOf(const std::string& type) {
  if (type == "decimal" || type == "numeric") return "dec:";
  if (type == "money" || type == "smallmoney") return "money:";
  if (type == "datetime") return "dt:";
  if (type == "smalldatetime") return "sdt:";
  if (type == "date") return "date:";
  if (type == "time") return "time:";
  if (type == "datetime2") return "dt2:";
  if (type == "datetimeoffset") return "dto:";
  if (type == "uniqueidentifier") return "guid:";
  if (type == "binary" || type == "varbinary" || type == "image" || type == "timestamp") {
    return "hex:0x";
  }
  return {};
}

// The text after the reference's tag, in ISO 8601 with the T; smalldatetime
// with its seconds. Fails the test when the tag is missing.
std::string Untagged(const json& cell, const std::string& type) {
  const std::string text = cell.get<std::string>();
  const std::string tag = TagOf(type);
  EXPECT_EQ(text.compare(0, tag.size(), tag), 0) << type << " cell " << text;
  std::string rest = text.substr(std::min(tag.size(), text.size()));
  if (type == "smalldatetime") rest += ":00";
  return rest;
}

// A reference cell as the SQLite copy holds it: "storage class:text".
std::string SqliteCell(const json& cell, const json& column) {
  const std::string type = column["type"];
  if (NotCompared(column)) return kNotCompared;
  if (cell.is_null()) return "null:";
  if (cell.is_boolean()) return std::string("integer:") + (cell.get<bool>() ? "1" : "0");
  if (IsFloating(type)) return "real:" + FloatText(cell.get<double>(), type == "real");
  if (cell.is_number_integer()) return "integer:" + std::to_string(cell.get<int64_t>());
  const std::string tag = TagOf(type);
  if (tag == "hex:0x") return "blob:" + Untagged(cell, type);
  return "text:" + (tag.empty() ? cell.get<std::string>() : Untagged(cell, type));
}

// A reference cell as the CSV file holds it; NULL as "\1".
std::string CsvCell(const json& cell, const json& column) {
  const std::string type = column["type"];
  if (NotCompared(column)) return kNotCompared;
  if (cell.is_null()) return "\1";
  if (cell.is_boolean()) return cell.get<bool>() ? "1" : "0";
  if (IsFloating(type)) return FloatText(cell.get<double>(), type == "real");
  if (cell.is_number_integer()) return std::to_string(cell.get<int64_t>());
  const std::string tag = TagOf(type);
  if (tag.empty()) return cell.get<std::string>();
  std::string text = Untagged(cell, type);
  if (tag == "hex:0x") return "0x" + text;
  // The exact text puts a blank between the date and the time.
  if (tag == "dt:" || tag == "sdt:" || tag == "dt2:" || tag == "dto:") {
    if (const size_t t = text.find('T'); t != std::string::npos) text[t] = ' ';
  }
  return text;
}

std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// The user tables of a reference: the x-files list the system's own too.
std::vector<const json*> UserTables(const json& reference) {
  std::vector<const json*> tables;
  for (const json& table : reference["tables"]) {
    // Tables a tool marked as shipped are the application's; the server's own
    // (sys, INFORMATION_SCHEMA) are never saved.
    if (!IsBuiltInSchema(table)) tables.push_back(&table);
  }
  return tables;
}

struct CsvField {
  std::string text;
  bool quoted = false;
};

// RFC 4180 records, each ending with CR LF; false when the bytes break the
// format (a quote inside an unquoted field, text after a closing quote, an
// unclosed quote, a bare line end).
bool ReadCsv(const std::string& bytes, std::vector<std::vector<CsvField>>& records) {
  size_t i = 0;
  const size_t n = bytes.size();
  while (i < n) {
    std::vector<CsvField> record;
    for (;;) {
      CsvField field;
      if (i < n && bytes[i] == '"') {
        field.quoted = true;
        for (++i;; ++i) {
          if (i >= n) return false;
          if (bytes[i] != '"') {
            field.text += bytes[i];
          } else if (i + 1 < n && bytes[i + 1] == '"') {
            field.text += '"';
            ++i;
          } else {
            ++i;
            break;
          }
        }
      } else {
        for (; i < n && bytes[i] != ',' && bytes[i] != '\r' && bytes[i] != '\n'; ++i) {
          if (bytes[i] == '"') return false;
          field.text += bytes[i];
        }
      }
      record.push_back(std::move(field));
      if (i < n && bytes[i] == ',') {
        ++i;
        continue;
      }
      if (bytes.compare(i, 2, "\r\n") != 0) return false;
      i += 2;
      break;
    }
    records.push_back(std::move(record));
  }
  return true;
}

std::string JoinRow(const std::vector<std::string>& cells) {
  std::string row;
  for (const auto& cell : cells) row += cell + "\x1f";
  return row;
}

// Compares the rows as multisets; names a few rows that differ.
void ExpectSameRows(std::vector<std::string> ours, std::vector<std::string> want,
                    const std::string& what) {
  std::sort(ours.begin(), ours.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(ours.size(), want.size()) << what << ": row count";
  if (ours == want) return;
  std::vector<std::string> missing, extra;
  std::set_difference(want.begin(), want.end(), ours.begin(), ours.end(),
                      std::back_inserter(missing));
  std::set_difference(ours.begin(), ours.end(), want.begin(), want.end(),
                      std::back_inserter(extra));
  std::string shown;
  for (size_t i = 0; i < missing.size() && i < 3; ++i) shown += "\n  want " + missing[i];
  for (size_t i = 0; i < extra.size() && i < 3; ++i) shown += "\n  ours " + extra[i];
  ADD_FAILURE() << what << ": " << missing.size() << " rows differ" << shown.substr(0, 2000);
}

// Our cell from the sqlite3 shell's json_array of typeof() and the value
// (blobs in hex, reals as quote() writes them, exactly).
std::string OurSqliteCell(const json& type, const json& value, const json& column) {
  if (NotCompared(column)) return kNotCompared;
  const std::string storage = type.get<std::string>();
  if (storage == "null") return "null:";
  if (storage == "integer") return "integer:" + std::to_string(value.get<int64_t>());
  if (storage == "real") {
    return "real:" + FloatText(std::strtod(value.get<std::string>().c_str(), nullptr),
                               column["type"] == "real");
  }
  return storage + ":" + value.get<std::string>();
}

TEST_P(RealFile, EveryCellReadsBackAsTheReference) {
  const std::string name = GetParam();
  const std::string path = RealMdf(name);
  json reference = Reference(name);
  for (json& table : reference["tables"]) {
    for (const json& row : table["rows"]) {
      for (size_t c = 0; c < row.size(); ++c) {
        if (row[c] == "<lob>") table["columns"][c]["unfollowed"] = true;
      }
    }
  }
  const std::vector<const json*> tables = UserTables(reference);
  TempDir dir;

  // The SQLite file.
  const CliRun sqlite = RunCli({"export", path, dir.path(), "--format", "sqlite"});
  ASSERT_EQ(sqlite.status, 0) << sqlite.err;
  const std::string db = sqlite.out.substr(0, sqlite.out.find('\n'));
  ASSERT_EQ(db.rfind(dir.path() + "MDRecovered_", 0), 0u) << db;
  ASSERT_EQ(db.substr(db.size() - 7), ".sqlite");

  size_t columns = 0;
  for (const json* table : tables) columns += (*table)["columns"].size();
  const CliRun checks =
      RunProgram({"sqlite3", "-batch", "-bail", db,
                  "PRAGMA integrity_check; SELECT '-'; PRAGMA foreign_key_check; SELECT '-';"
                  "SELECT count(*) FROM _mendora_columns;"});
  EXPECT_EQ(checks.out, "ok\n-\n-\n" + std::to_string(columns) + "\n") << checks.err;

  std::string query;
  for (size_t t = 0; t < tables.size(); ++t) {
    query += "SELECT json_array(" + std::to_string(t);
    for (const json& column : (*tables[t])["columns"]) {
      const std::string c = Quoted(column["name"]);
      query += ",typeof(" + c + "),CASE typeof(" + c + ") WHEN 'blob' THEN hex(" + c +
               ") WHEN 'real' THEN quote(" + c + ") ELSE " + c + " END";
    }
    query += ") FROM " + Quoted((*tables[t])["name"]) + ";";
  }
  std::vector<std::vector<std::string>> ourRows(tables.size());
  if (!tables.empty()) {
    const CliRun rows = RunProgram({"sqlite3", "-batch", "-bail", db, query});
    ASSERT_EQ(rows.status, 0) << rows.err;
    for (size_t at = 0; at < rows.out.size();) {
      const size_t end = rows.out.find('\n', at);
      const json line = json::parse(rows.out.substr(at, end - at));
      at = end == std::string::npos ? rows.out.size() : end + 1;
      const size_t t = line[0].get<size_t>();
      const json& cols = (*tables[t])["columns"];
      std::vector<std::string> cells;
      for (size_t c = 0; c < cols.size(); ++c) {
        cells.push_back(OurSqliteCell(line[1 + 2 * c], line[2 + 2 * c], cols[c]));
      }
      ourRows[t].push_back(JoinRow(cells));
    }
  }
  for (size_t t = 0; t < tables.size(); ++t) {
    const json& table = *tables[t];
    std::vector<std::string> want;
    for (const json& row : table["rows"]) {
      std::vector<std::string> cells;
      for (size_t c = 0; c < row.size(); ++c)
        cells.push_back(SqliteCell(row[c], table["columns"][c]));
      want.push_back(JoinRow(cells));
    }
    ExpectSameRows(ourRows[t], want, name + " sqlite " + table["name"].get<std::string>());
  }

  // The CSV folder.
  const CliRun csv = RunCli({"export", path, dir.path(), "--format", "csv"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  const std::string folder = csv.out.substr(0, csv.out.find('\n')) + "/";
  EXPECT_TRUE(std::filesystem::is_regular_file(folder + "schema.sql"));
  for (const json* tablePointer : tables) {
    const json& table = *tablePointer;
    const std::string tableName = table["name"];
    const std::string file =
        folder + mendora::ToUtf8(mendora::SafeFileName(mendora::FromUtf8(tableName), u".csv"));
    std::vector<std::vector<CsvField>> records;
    ASSERT_TRUE(ReadCsv(FileBytes(file), records)) << file << " is not RFC 4180";
    ASSERT_FALSE(records.empty()) << file << " has no header line";
    const json& cols = table["columns"];
    ASSERT_EQ(records[0].size(), cols.size()) << file;
    for (size_t c = 0; c < cols.size(); ++c) EXPECT_EQ(records[0][c].text, cols[c]["name"]);
    std::vector<std::string> ours, want;
    for (size_t r = 1; r < records.size(); ++r) {
      std::vector<std::string> cells;
      EXPECT_EQ(records[r].size(), cols.size()) << file << " line " << r + 1;
      for (size_t c = 0; c < records[r].size() && c < cols.size(); ++c) {
        const CsvField& f = records[r][c];
        if (NotCompared(cols[c])) {
          cells.push_back(kNotCompared);
        } else if (f.text.empty() && !f.quoted) {
          cells.push_back("\1");
        } else if (IsFloating(cols[c]["type"])) {
          cells.push_back(
              FloatText(std::strtod(f.text.c_str(), nullptr), cols[c]["type"] == "real"));
        } else {
          cells.push_back(f.text);
        }
      }
      ours.push_back(JoinRow(cells));
    }
    for (const json& row : table["rows"]) {
      std::vector<std::string> cells;
      for (size_t c = 0; c < row.size(); ++c) cells.push_back(CsvCell(row[c], cols[c]));
      want.push_back(JoinRow(cells));
    }
    ExpectSameRows(ours, want, name + " csv " + tableName);
  }
}

// Stops the job at its n-th checkpoint, whichever of the save's threads
// reaches it.
class StopAt final : public mendora::JobControl {
 public:
  explicit StopAt(int n) : n_(n) {}
  void Hold() override {}
  void Release() override {}
  void Stop() override {}
  bool Stopped() const override { return n_ <= 0; }
  void Checkpoint() override {
    if (--n_ == 0) throw mendora::JobStopped();
  }

 private:
  std::atomic<int> n_;
};

// A stop, wherever it comes, leaves a sound database: the tables finished
// before it whole, the one under way not at all.
TEST(SqliteSave, AStopLeavesTheTablesFinishedBeforeItWhole) {
  const std::string name = "v611-northwind.mdf";
  json reference = Reference(name);
  for (json& table : reference["tables"]) {
    for (const json& row : table["rows"]) {
      for (size_t c = 0; c < row.size(); ++c) {
        if (row[c] == "<lob>") table["columns"][c]["unfollowed"] = true;
      }
    }
  }
  mendora::DataFile file;
  ASSERT_TRUE(file.Open(RealMdf(name)));
  ASSERT_TRUE(file.DetectVersion());
  mendora::Catalogue catalogue;
  mendora::NullJobControl analysis;
  mendora::RunAnalysis(file, catalogue, analysis);
  for (int n : {2, 25, 60}) {
    TempDir dir;
    const std::string db = dir.path() + "stopped.sqlite";
    ui::NoDisplay display;
    ui::NoPacing pacer;
    {
      mendora::SaveJob job(file, catalogue, {db, true, {}, ui::SaveFormat::kSqlite}, display,
                           pacer);
      job.PrepareDestination();
      StopAt stop(n);
      EXPECT_THROW(job.Run(stop), mendora::JobStopped) << n;
    }
    const CliRun check = RunProgram({"sqlite3", "-batch", db, "PRAGMA integrity_check"});
    EXPECT_EQ(check.out, "ok\n") << n << check.err;
    for (const json* table : UserTables(reference)) {
      const CliRun count =
          RunProgram({"sqlite3", "-batch", db, "SELECT count(*) FROM " + Quoted((*table)["name"])});
      if (count.status != 0) continue;  // not made before the stop
      EXPECT_EQ(count.out, std::to_string((*table)["rows"].size()) + "\n")
          << n << " " << (*table)["name"];
    }
  }
}

}  // namespace
}  // namespace mdftest
