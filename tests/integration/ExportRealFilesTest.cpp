// mendora-cli export over every real file: everything the reference holds
// has its script or statement, every row of the data scripts reads back as
// the reference's, every statement is well formed, and nothing is written
// outside the folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>

#include "engine/Collation.h"
#include "engine/Utf16.h"
#include "sql/SqlName.h"
#include "sql/Statements.h"
#include "tests/integration/CliRun.h"
#include "tests/integration/RealFile.h"
#include "tests/support/RealFiles.h"
#include "tests/support/ReferenceLiteral.h"
#include "tests/support/SqlStatementReader.h"
#include "tests/support/TempDir.h"

namespace mdftest {
namespace {

namespace fs = std::filesystem;
using mendora::FromUtf8;
using mendora::ToUtf8;

std::string Quote(const std::string& name) {
  return ToUtf8(mendora::QuoteName(FromUtf8(name)));
}

std::string Joined(const nlohmann::json& names, const nlohmann::json* descending = nullptr) {
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i) out += ",";
    out += Quote(names[i].get<std::string>());
    if (descending &&
        std::find(descending->begin(), descending->end(), names[i]) != descending->end()) {
      out += " DESC";
    }
  }
  return out;
}

// A module's or check's text as the scripts hold it: every line break CR LF.
std::string WithCrLf(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] == '\n') {
      out += "\r\n";
    } else {
      out += text[i];
    }
  }
  size_t start = 0;
  while (out.compare(start, 2, "\r\n") == 0) start += 2;
  return out.substr(start);
}

// The lines of a script, without their CR LF.
std::vector<std::u16string> ScriptLines(const std::string& utf8) {
  std::vector<std::u16string> lines;
  const std::u16string text = FromUtf8(utf8);
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find(u"\r\n", at);
    if (end == std::u16string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// The words the statements and the check texts of the real files use bare.
const std::vector<std::string> kStatementWords = {
    "USE",    "MASTER",    "CREATE",       "DATABASE", "TABLE",       "NULL",     "NOT",
    "ALTER",  "ADD",       "CONSTRAINT",   "PRIMARY",  "KEY",         "UNIQUE",   "INDEX",
    "ON",     "FOREIGN",   "REFERENCES",   "CHECK",    "INCLUDE",     "DESC",     "AND",
    "OR",     "LIKE",      "IN",           "IS",       "BETWEEN",     "CONVERT",  "CASE",
    "WHEN",   "THEN",      "ELSE",         "END",      "COLLATE",     "IDENTITY", "DEFAULT",
    "AS",     "CLUSTERED", "NONCLUSTERED", "FROM",     "WITH",        "NOCHECK",  "DELETE",
    "UPDATE", "CASCADE",   "SET",          "FOR",      "REPLICATION", "SCHEMA"};

TEST_P(RealFile, EveryObjectOfTheReferenceIsSaved) {
  const std::string file = GetParam();
  const nlohmann::json& ref = Expected();
  TempDir dest;
  const CliRun run = RunCli({"export", RealMdf(GetParam()), dest.path()}, nullptr, 240);
  ASSERT_EQ(run.status, 0) << run.err;

  // One folder, named as the window names it, holds everything.
  std::vector<fs::path> top(fs::directory_iterator(dest.path()), fs::directory_iterator());
  ASSERT_EQ(top.size(), 1u);
  const std::string folder = top[0].string() + "/";
  EXPECT_EQ(run.out, top[0].string() + "\n");
  EXPECT_TRUE(top[0].filename().string().starts_with("MDRecovered_"));
  std::map<std::string, std::string> files;  // relative path -> text as UTF-8
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    ASSERT_FALSE(entry.is_symlink());
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), folder).string()] = ToUtf8(ScriptText(entry.path()));
    }
  }
  for (const char* fixed :
       {"CreateDatabase.sql", "Import.bat", "import.sh", "Tables_Create.bat", "Tables_Data.bat",
        "PrimaryKey.bat", "ForeignKey.bat", "Indexes.bat", "UniqueKey.bat", "Constraints.bat",
        "Procedure.bat", "Functions.bat", "Triggers.bat", "View.bat"}) {
    EXPECT_TRUE(files.count(fixed)) << fixed;
  }

  // No value had to be written as NULL.
  EXPECT_EQ(run.err.find("warning:"), std::string::npos) << run.err;

  // Tables: a definition naming every column, and a data script whose rows
  // read back as the reference's.
  size_t cells = 0;
  for (const auto& table : ref["tables"]) {
    if (IsBuiltInSchema(table)) continue;
    const std::string name = table["name"];
    const std::string head = "Create Table " + ToUtf8(mendora::BracketName(FromUtf8(name))) + " (";
    std::string createFile;
    for (const auto& [path, text] : files) {
      if (path.starts_with("Tables_Create/") && text.find("\r\n" + head) != std::string::npos &&
          createFile.empty()) {
        createFile = path;
      }
    }
    ASSERT_FALSE(createFile.empty()) << name;
    const std::string& definition = files[createFile];
    size_t at = 0;
    for (const auto& column : table["columns"]) {
      const std::string c =
          ToUtf8(mendora::BracketName(FromUtf8(column["name"].get<std::string>())));
      at = definition.find(c + " ", at);
      EXPECT_NE(at, std::string::npos) << name << "." << column["name"];
      // An 8-bit text column names the collation the file gives it, so the
      // script replays to the same text whatever the database's default.
      if (at != std::string::npos && column.contains("collationid")) {
        const std::string collate =
            " Collate " + mendora::CollationName(column["collationid"].get<uint32_t>()) + " ";
        const std::string own = definition.substr(at, definition.find(',', at) - at);
        EXPECT_NE(own.find(collate), std::string::npos) << name << ": " << own;
      }
    }
    const std::string dataFile =
        "Tables_Data/" + createFile.substr(14, createFile.size() - 14 - 11) + "_Data.sql";
    ASSERT_TRUE(files.count(dataFile)) << dataFile;
    // Every row read back from its statement equals the reference row: in
    // order, or, where forwarded rows make the order differ, as a multiset.
    std::vector<uint8_t> types;
    for (const auto& column : table["columns"]) types.push_back(column["xtype"].get<uint8_t>());
    std::vector<std::vector<ParsedLiteral>> rows;
    const std::vector<std::u16string> lines = ScriptLines(files[dataFile]);
    ASSERT_FALSE(lines.empty());
    // An identity table's rows keep their identity values: Identity_Insert
    // on before the first row and off after the last, once each, then the
    // identity reseeded. Only the columns an Insert may give are named.
    const std::u16string bracketed = mendora::BracketName(FromUtf8(name));
    const std::u16string on = u"Set Identity_Insert " + bracketed + u" On";
    const std::u16string off = u"Set Identity_Insert " + bracketed + u" Off";
    int ons = 0, offs = 0, reseeds = 0;
    const size_t statementAt = definition.find("\r\n" + head);
    const std::string statement =
        definition.substr(statementAt, definition.find("\r\n", statementAt + 2) - statementAt);
    const bool identity = statement.find(" Identity(") != std::string::npos;
    std::vector<std::u16string> takes;
    for (const auto& column : table["columns"]) {
      if (!column.value("computed", false) && column["xtype"] != 189) {
        takes.push_back(FromUtf8(column["name"].get<std::string>()));
      }
    }
    for (size_t i = 1; i < lines.size(); ++i) {
      if (lines[i] == on || lines[i] == off) {
        EXPECT_EQ(ons, lines[i] == on ? 0 : 1) << name << ": " << ToUtf8(lines[i]);
        (lines[i] == on ? ons : offs)++;
        continue;
      }
      if (lines[i].starts_with(u"DBCC CHECKIDENT ('" + bracketed + u"', RESEED, ")) {
        EXPECT_EQ(i + 1, lines.size()) << name << ": the reseed ends the script";
        ++reseeds;
        continue;
      }
      std::string error;
      auto insert = ReadInsertStatement(lines[i], &error);
      ASSERT_TRUE(insert) << name << ": " << error;
      EXPECT_EQ(insert->table, std::vector<std::u16string>{FromUtf8(name)});
      EXPECT_EQ(ons - offs, identity ? 1 : 0) << name;
      if (insert->columns.empty()) {
        EXPECT_EQ(takes.size(), table["columns"].size()) << name;
      } else {
        EXPECT_EQ(insert->columns, takes) << name;
      }
      std::vector<ParsedLiteral> values;
      size_t v = 0;
      for (const auto& column : table["columns"]) {
        const bool given = !column.value("computed", false) && column["xtype"] != 189;
        values.push_back(given && v < insert->values.size() ? insert->values[v++]
                                                            : ParsedLiteral{});
      }
      rows.push_back(std::move(values));
    }
    EXPECT_EQ(ons, identity && !table["rows"].empty() ? 1 : 0) << name;
    EXPECT_EQ(offs, ons) << name;
    EXPECT_LE(reseeds, identity ? 1 : 0) << name;
    const auto& want = table["rows"];
    ASSERT_EQ(rows.size(), want.size()) << name;
    auto same = [&](const std::vector<ParsedLiteral>& row, const nlohmann::json& cells,
                    std::string* why) {
      if (row.size() != cells.size()) {
        if (why) *why = "column count";
        return false;
      }
      for (size_t c = 0; c < cells.size(); ++c) {
        if (cells[c] == "<lob>") continue;
        // Rowversion and computed values are the server's to make.
        const auto& column = table["columns"][c];
        if (column.value("computed", false) || column["xtype"] == 189) continue;
        std::string differs = CompareWithReference(row[c], types[c], cells[c]);
        if (!differs.empty()) {
          if (why) *why = table["columns"][c]["name"].get<std::string>() + ": " + differs;
          return false;
        }
      }
      return true;
    };
    bool inOrder = true;
    for (size_t r = 0; r < rows.size() && inOrder; ++r) inOrder = same(rows[r], want[r], nullptr);
    if (!inOrder) {
      std::vector<bool> used(rows.size());
      for (size_t r = 0; r < want.size(); ++r) {
        bool found = false;
        for (size_t o = 0; o < rows.size() && !found; ++o) {
          if (!used[o] && same(rows[o], want[r], nullptr)) used[o] = found = true;
        }
        std::string why;
        if (!found) same(rows[std::min(r, rows.size() - 1)], want[r], &why);
        ASSERT_TRUE(found) << name << " row " << r << " is not among the rows written: " << why;
      }
    }
    cells += rows.size() * types.size();
  }
  RecordProperty("cells", static_cast<int>(cells));

  // pubs declares its key columns with three alias types: each is made once,
  // in the script of the first table that uses it, before its table.
  if (file.find("pubs") != std::string::npos) {
    std::string creates;
    for (const auto& [path, text] : files) {
      if (path.starts_with("Tables_Create/")) creates += text;
    }
    for (const char* type : {"Create Type [id] From varchar(11) Not Null",
                             "Create Type [tid] From varchar(6) Not Null",
                             "Create Type [empid] From char(9) Not Null"}) {
      const size_t first = creates.find(std::string("\r\n") + type + "\r\n");
      EXPECT_NE(first, std::string::npos) << type;
      EXPECT_EQ(creates.find(type, first + 3), std::string::npos) << type << " made twice";
    }
    for (const auto& [path, text] : files) {
      if (text.find("\r\nCreate Table [titleauthor] (") != std::string::npos) {
        EXPECT_NE(text.find("[au_id] [id] "), std::string::npos) << text;
        EXPECT_NE(text.find("[title_id] [tid] "), std::string::npos) << text;
      }
    }
  }

  // Every statement of the table, key, index and constraint scripts is one
  // line of well-formed tokens.
  TokenRules rules;
  rules.keywords = kStatementWords;
  for (const auto& [path, text] : files) {
    const bool script = path.ends_with(".sql") && !path.starts_with("Programmability/") &&
                        !path.starts_with("Tables_Data/");
    if (!script) continue;
    for (const std::u16string& line : ScriptLines(text)) {
      EXPECT_EQ(CheckStatementTokens(line + u"\r\n", rules), "") << path << ": " << ToUtf8(line);
    }
  }

  // Every schema the database's users made comes back, once, whether or not
  // anything is in it (x904-hotel's two schemas hold nothing).
  for (const std::u16string& schema :
       mendora::UserSchemaNames(Recovered(), Analysis().file.Version())) {
    const std::string made = "\r\nCreate Schema " + ToUtf8(mendora::BracketName(schema)) + "\r\n";
    size_t count = 0;
    for (const auto& [path, text] : files) {
      for (size_t at = text.find(made); at != std::string::npos; at = text.find(made, at + 1)) {
        ++count;
      }
    }
    EXPECT_EQ(count, 1u) << ToUtf8(schema);
  }

  auto holds = [&](const std::string& file, const std::string& statement) {
    return files[file].find("\r\n" + statement + "\r\n") != std::string::npos;
  };
  for (const auto& key : ref["keys"]) {
    if (IsBuiltInSchema(key)) continue;
    const bool primary = key["type"] == "PK";
    std::string storage;
    for (const auto& index : ref["indexes"]) {
      if (index["name"] == key["name"] && index["table"] == key["table"]) {
        storage = index["type"] == "clustered" ? " Clustered" : " Nonclustered";
      }
    }
    const std::string statement = "Alter Table " + Quote(key["table"]) + " Add Constraint " +
                                  Quote(key["name"]) + (primary ? " Primary Key" : " Unique") +
                                  storage + "(" + Joined(key["columns"]) + ")";
    EXPECT_TRUE(
        holds(primary ? "PrimaryKey/PrimaryKeys.sql" : "UniqueKey/UniqueKeys.sql", statement))
        << statement;
  }
  for (const auto& index : ref["indexes"]) {
    if (IsBuiltInSchema(index)) continue;
    const std::string name = index["name"];
    if (index["primary_key"] || index["unique_constraint"] || index["type"] == "heap" ||
        name.starts_with("_WA_Sys_") || index["columns"].empty()) {
      continue;
    }
    const std::string statement =
        std::string(index["unique"] ? "Create Unique " : "Create ") +
        (index["type"] == "clustered" ? "Clustered Index " : "Nonclustered Index ") + Quote(name) +
        " On " + Quote(index["table"]) + "(" + Joined(index["columns"], &index["descending"]) + ")";
    EXPECT_NE(files["Indexes/Indexes.sql"].find("\r\n" + statement), std::string::npos)
        << statement;
  }
  for (const auto& fk : ref["foreign_keys"]) {
    if (IsBuiltInSchema(fk)) continue;
    const std::string head = "Alter table " + Quote(fk["table"]);
    const std::string tail = " Add Constraint " + Quote(fk["name"]) + " Foreign Key(" +
                             Joined(fk["columns"]) + ") References " +
                             Quote(fk["referenced_table"]) + "(" +
                             Joined(fk["referenced_columns"]) + ")";
    const auto keys = ScriptLines(files["ForeignKey/ForeignKeys.sql"]);
    EXPECT_TRUE(std::any_of(keys.begin(), keys.end(), [&](const std::u16string& line) {
      return mdftest::IsForeignKeyLine(ToUtf8(line), head, tail);
    })) << head + tail;
  }
  for (const auto& check : ref["checks"]) {
    if (IsBuiltInSchema(check)) continue;
    const std::string head = "Alter Table " + Quote(check["table"]);
    const std::string tail = " Add Constraint " + Quote(check["name"]) + " Check " +
                             WithCrLf(check["text"].get<std::string>());
    EXPECT_TRUE(holds("Constraints/Constraints.sql", head + tail) ||
                holds("Constraints/Constraints.sql", head + " With Nocheck" + tail))
        << head + tail;
  }

  // Modules: a script of their kind holds the whole text, line by line.
  const std::map<std::string, std::string> kindFolder = {
      {"P", "Procedure"}, {"X", "Procedure"}, {"FN", "Function"}, {"IF", "Function"},
      {"TF", "Function"}, {"TR", "Triggers"}, {"V", "View"}};
  for (const auto& module : ref["modules"]) {
    if (IsBuiltInSchema(module)) continue;
    const std::string prefix = "Programmability/" + kindFolder.at(module["type"]) + "/";
    const std::string text = WithCrLf(module["text"].get<std::string>());
    bool found = false;
    for (const auto& [path, content] : files) {
      if (path.starts_with(prefix) && content.find("\r\nGO\r\n" + text) != std::string::npos) {
        found = true;
      }
    }
    EXPECT_TRUE(found) << module["name"];
  }
}

}  // namespace
}  // namespace mdftest
