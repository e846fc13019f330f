// Browsing every real data file against the reference content beside it:
// the grid of every table holds as many rows as the reference, its headers
// are the columns in colid order, a cell says "NULL" exactly where the value
// is NULL, character cells show their text and image cells are never blank; and `mendora-cli ddl`
// lists every key, index, foreign key and check with its columns in key order.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "browser/GridText.h"
#include "browser/TableRowSource.h"
#include "engine/Analysis.h"
#include "engine/Utf16.h"
#include "sql/SqlName.h"
#include "tests/integration/CliRun.h"
#include "tests/integration/RealFile.h"
#include "tests/support/RealFiles.h"

using namespace mendora;
using mdftest::RealFile;
using nlohmann::json;

namespace {

std::string Quote(const std::string& name) {
  return ToUtf8(QuoteName(FromUtf8(name)));
}

// The columns, each marked DESC when it is among `descending`.
std::string Columns(const json& list, const json& descending = json::array()) {
  std::string out;
  for (const auto& c : list) {
    if (!out.empty()) out += ",";
    out += Quote(c.get<std::string>());
    if (std::find(descending.begin(), descending.end(), c) != descending.end()) out += " DESC";
  }
  return out;
}

// The text a character cell shows for the reference's value.
std::string ShownText(const std::string& value, const std::string& type) {
  std::u16string text = FromUtf8(value);
  if (type == "nvarchar" || type == "nchar")
    std::replace(text.begin(), text.end(), u'\u2019', u'\'');
  if (text.size() > kMaxCellText) text = text.substr(0, kMaxCellText) + u"\u2026";
  return ToUtf8(text);
}

TEST_P(RealFile, EveryTablesGridHoldsItsRowsWithNullOnlyWhereNull) {
  const json& expected = Expected();
  const DataFile& file = Analysis().file;
  const Catalogue& catalogue = Recovered();
  NullJobControl job;

  for (const auto& table : expected["tables"]) {
    if (mdftest::IsBuiltInSchema(table)) continue;
    SCOPED_TRACE("table " + table["name"].get<std::string>());
    // The grid's rows as the window shows them: indexed by the counting
    // pass, each cell's text read by row number.
    TableRowSource source(file, catalogue, table["id"]);
    TableReader(file, catalogue, table["id"]).CountPageRows(job, [&](uint64_t page, uint32_t n) {
      const PageRowCount counted{page, n};
      source.AddPages({&counted, 1});
      return true;
    });
    const json& rows = table["rows"];
    ASSERT_EQ(source.RowCount(), rows.size());
    const json& columns = table["columns"];
    ASSERT_EQ(source.Columns().size(), columns.size());
    for (size_t c = 0; c < columns.size(); ++c) {
      EXPECT_EQ(ToUtf8(source.Columns()[c].name), columns[c]["name"].get<std::string>());
      // Rows may stand in another order than the reference's (forwarded
      // records), so each column is compared as a multiset.
      const std::string type = columns[c]["type"];
      const bool character = type == "char" || type == "varchar" || type == "nchar" ||
                             type == "nvarchar" || type == "text" || type == "ntext";
      std::multiset<std::string> shown, wanted;
      for (size_t r = 0; r < rows.size(); ++r) {
        shown.insert(ToUtf8(source.CellText(r, c)));
        const json& v = rows[r][c];
        if (v.is_null()) {
          wanted.insert("NULL");
        } else if (type == "image") {
          // Never blank: a picture's size or the bytes' start.
          EXPECT_FALSE(source.CellText(r, c).empty()) << "row " << r;
        } else if (character && v.is_string()) {
          wanted.insert(ShownText(v.get<std::string>(), type));
        }
      }
      if (character) {
        EXPECT_EQ(shown, wanted) << "column " << columns[c]["name"];
      } else {
        EXPECT_EQ(shown.count("NULL"), wanted.count("NULL")) << "column " << columns[c]["name"];
      }
    }
  }
}

TEST_P(RealFile, DdlListsEveryKeyIndexForeignKeyAndCheck) {
  const std::string name = GetParam();
  const json& expected = Expected();
  const mdftest::CliRun run = mdftest::RunCli({"ddl", mdftest::RealMdf(name)});
  ASSERT_EQ(run.status, 0) << run.err;
  std::set<std::string> lines;
  std::istringstream in(run.out);
  for (std::string line; std::getline(in, line);) lines.insert(line);

  std::set<std::string> keyNames;
  size_t statements = 0;
  for (const auto& key : expected["keys"]) {
    if (mdftest::IsBuiltInSchema(key)) continue;
    keyNames.insert(key["name"]);
    const bool primary = key["type"] == "PK";
    std::string storage;
    for (const auto& index : expected["indexes"]) {
      if (index["name"] == key["name"] && index["table"] == key["table"])
        storage = index["type"] == "clustered" ? " Clustered(" : " Nonclustered(";
    }
    const std::string statement = "Alter Table " + Quote(key["table"]) + " Add Constraint " +
                                  Quote(key["name"]) + (primary ? " Primary Key" : " Unique Key") +
                                  storage + Columns(key["columns"]) + ")";
    EXPECT_TRUE(lines.count(statement)) << statement;
    ++statements;
  }
  for (const auto& index : expected["indexes"]) {
    if (mdftest::IsBuiltInSchema(index)) continue;
    if (index["primary_key"].get<bool>() || index["unique_constraint"].get<bool>()) continue;
    std::string statement =
        std::string(index["unique"].get<bool>() ? "Create Unique " : "Create ") +
        (index["type"] == "clustered" ? "Clustered Index " : "Nonclustered Index ") +
        Quote(index["name"]) + " On " + Quote(index["table"]) + "(" +
        Columns(index["columns"], index["descending"]) + ")";
    if (!index["included"].empty()) statement += " Include(" + Columns(index["included"]) + ")";
    EXPECT_TRUE(lines.count(statement)) << statement;
    ++statements;
  }
  for (const auto& fk : expected["foreign_keys"]) {
    if (mdftest::IsBuiltInSchema(fk)) continue;
    const std::string head = "Alter table " + Quote(fk["table"]);
    const std::string tail = " Add Constraint " + Quote(fk["name"]) + " Foreign Key(" +
                             Columns(fk["columns"]) + ") References " +
                             Quote(fk["referenced_table"]) + "(" +
                             Columns(fk["referenced_columns"]) + ")";
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
      return mdftest::IsForeignKeyLine(line, head, tail);
    })) << head + tail;
    ++statements;
  }
  for (const auto& check : expected["checks"]) {
    if (mdftest::IsBuiltInSchema(check)) continue;
    ++statements;
    const std::string tail =
        " Add Constraint " + Quote(check["name"]) + " Check " + check["text"].get<std::string>();
    // A check text may hold line breaks; the statement is then several lines.
    // A check the server never checked the rows against is made again so.
    const std::string head = "\nAlter Table " + Quote(check["table"]);
    EXPECT_TRUE(("\n" + run.out).find(head + tail) != std::string::npos ||
                ("\n" + run.out).find(head + " With Nocheck" + tail) != std::string::npos)
        << head + tail;
  }
  // A disabled constraint is disabled again on the line after its statement,
  // which was made With Nocheck.
  static const std::regex kDisable("Alter Table (.+) Nocheck Constraint (.+)");
  std::string previous;
  std::istringstream again(run.out);
  for (std::string line; std::getline(again, line);) {
    std::smatch m;
    if (std::regex_match(line, m, kDisable)) {
      ++statements;
      EXPECT_TRUE(previous.starts_with("Alter table " + m[1].str() +
                                       " With Nocheck Add Constraint " + m[2].str() +
                                       " Foreign Key(") ||
                  previous.starts_with("Alter Table " + m[1].str() +
                                       " With Nocheck Add Constraint " + m[2].str() + " Check "))
          << previous << "\n"
          << line;
    }
    previous = line;
  }
  // Nothing but these statements: one line each.
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), static_cast<long>(statements));
}

TEST_P(RealFile, DdlOfAModuleIsItsTextLineByLine) {
  const std::string name = GetParam();
  const json& expected = Expected();
  std::map<std::string, int> named;
  for (const auto& m : expected["modules"]) ++named[m["name"].get<std::string>()];
  int shown = 0;
  for (const auto& module : expected["modules"]) {
    const std::string moduleName = module["name"];
    if (mdftest::IsBuiltInSchema(module)) continue;
    // Every third module, and only those whose name no other object shares.
    if (named[moduleName] != 1 || shown++ % 3 != 0) continue;
    SCOPED_TRACE("module " + moduleName);
    const mdftest::CliRun run = mdftest::RunCli({"ddl", mdftest::RealMdf(name), moduleName});
    ASSERT_EQ(run.status, 0) << run.err;
    // Lines end at CR LF, or at a CR or LF alone; leading line breaks go.
    std::string text = module["text"];
    text.erase(0, text.find_first_not_of("\r\n") == std::string::npos
                      ? text.size()
                      : text.find_first_not_of("\r\n"));
    std::string lines;
    for (size_t at = 0;;) {
      const size_t end = text.find_first_of("\r\n", at);
      std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
      std::replace(line.begin(), line.end(), '\t', ' ');
      lines += line + "\n";
      if (end == std::string::npos) break;
      at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    EXPECT_EQ(run.out, lines);
  }
}

TEST(BrowseRealFilesCli, DdlOfAnUnknownNameExitsOne) {
  const mdftest::CliRun run =
      mdftest::RunCli({"ddl", mdftest::RealMdf("v611-northwind.mdf"), "NoSuchObject"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("NoSuchObject"), std::string::npos);
}

}  // namespace
