// mendora-cli export over every real file: everything the reference holds
// has its script or statement, and nothing is written outside the folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "engine/SqlName.h"
#include "engine/Statements.h"
#include "engine/Utf16.h"
#include "tests/integration/CliRun.h"
#include "tests/integration/ReferenceFiles.h"
#include "tests/support/RealFiles.h"
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

class ExportRealFile : public ::testing::TestWithParam<std::string> {};

TEST_P(ExportRealFile, EveryObjectOfTheReferenceIsSaved) {
  const nlohmann::json ref = Reference(GetParam());
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

  // Tables: a definition naming every column, and a data script with one
  // statement per row.
  for (const auto& table : ref["tables"]) {
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
      const std::string c = ToUtf8(mendora::BracketName(FromUtf8(column["name"].get<std::string>())));
      at = definition.find(c + " ", at);
      EXPECT_NE(at, std::string::npos) << name << "." << column["name"];
    }
    const std::string dataFile =
        "Tables_Data/" + createFile.substr(14, createFile.size() - 14 - 11) + "_Data.sql";
    ASSERT_TRUE(files.count(dataFile)) << dataFile;
    const std::string& data = files[dataFile];
    const std::string insert =
        "\r\nInsert into " + ToUtf8(mendora::BracketName(FromUtf8(name))) + " Values(";
    size_t statements = 0;
    for (size_t p = 0; (p = data.find(insert, p)) != std::string::npos; p += insert.size()) {
      ++statements;
    }
    EXPECT_EQ(statements, table["rows"].size()) << name;
  }

  auto holds = [&](const std::string& file, const std::string& statement) {
    return files[file].find("\r\n" + statement + "\r\n") != std::string::npos;
  };
  for (const auto& key : ref["keys"]) {
    const bool primary = key["type"] == "PK";
    const std::string statement = "Alter Table " + Quote(key["table"]) + " Add Constraint " +
                                  Quote(key["name"]) + (primary ? " Primary Key(" : " Unique(") +
                                  Joined(key["columns"]) + ")";
    EXPECT_TRUE(
        holds(primary ? "PrimaryKey/PrimaryKeys.sql" : "UniqueKey/UniqueKeys.sql", statement))
        << statement;
  }
  for (const auto& index : ref["indexes"]) {
    const std::string name = index["name"];
    if (index["primary_key"] || index["unique_constraint"] || index["type"] == "heap" ||
        name.starts_with("_WA_Sys_") || index["columns"].empty()) {
      continue;
    }
    const std::string statement =
        std::string(index["unique"] ? "Create Unique Index " : "Create Index ") + Quote(name) +
        " On " + Quote(index["table"]) + "(" + Joined(index["columns"], &index["descending"]) + ")";
    EXPECT_NE(files["Indexes/Indexes.sql"].find("\r\n" + statement), std::string::npos)
        << statement;
  }
  for (const auto& fk : ref["foreign_keys"]) {
    const std::string statement = "Alter table " + Quote(fk["table"]) + " Add Constraint " +
                                  Quote(fk["name"]) + " Foreign Key(" + Joined(fk["columns"]) +
                                  ") References " + Quote(fk["referenced_table"]) + "(" +
                                  Joined(fk["referenced_columns"]) + ")";
    EXPECT_TRUE(holds("ForeignKey/ForeignKeys.sql", statement)) << statement;
  }
  for (const auto& check : ref["checks"]) {
    const std::string statement = "Alter Table " + Quote(check["table"]) + " Add Constraint " +
                                  Quote(check["name"]) + " Check " +
                                  WithCrLf(check["text"].get<std::string>());
    EXPECT_TRUE(holds("Constraints/Constraints.sql", statement)) << statement;
  }

  // Modules: a script of their kind holds the whole text, line by line.
  const std::map<std::string, std::string> kindFolder = {
      {"P", "Procedure"}, {"X", "Procedure"}, {"FN", "Function"}, {"IF", "Function"},
      {"TF", "Function"}, {"TR", "Triggers"}, {"V", "View"}};
  for (const auto& module : ref["modules"]) {
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

INSTANTIATE_TEST_SUITE_P(RealFiles, ExportRealFile, ::testing::ValuesIn(ReferenceFiles()),
                         FileTestName());

}  // namespace
}  // namespace mdftest
