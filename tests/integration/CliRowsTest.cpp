// `mendora-cli rows` as a script runs it: every table of one real file of each
// version in JSON Lines against the reference content, the same cells again
// through CSV and TSV, and the refusals.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/integration/CliRun.h"
#include "tests/integration/ReferenceFiles.h"
#include "tests/support/CatalogueBuilder.h"
#include "tests/support/RealFiles.h"
#include "tests/support/TempDir.h"

using namespace mdftest;
using nlohmann::json;

namespace {

// The command line's text for a reference cell; floating values stay numbers.
json CliForm(const json& cell) {
  if (cell.is_boolean()) return cell.get<bool>() ? 1 : 0;
  if (!cell.is_string()) return cell;
  std::string s = cell;
  for (const char* tag : {"dec:", "money:", "guid:", "hex:", "date:", "time:"}) {
    if (s.rfind(tag, 0) == 0) return s.substr(std::string(tag).size());
  }
  for (const char* tag : {"dt2:", "dto:"}) {
    if (s.rfind(tag, 0) == 0) {
      s = s.substr(4);
      s[10] = ' ';
      return s;
    }
  }
  if (s.rfind("dt:", 0) == 0) {
    s = s.substr(3);
    s[10] = ' ';
    return s;
  }
  if (s.rfind("sdt:", 0) == 0) {
    s = s.substr(4) + ":00";
    s[10] = ' ';
    return s;
  }
  return s;
}

bool Same(const json& ours, const json& want) {
  if (want.is_number_float() && ours.is_number()) {
    return static_cast<float>(want.get<double>()) == static_cast<float>(ours.get<double>()) ||
           want.get<double>() == ours.get<double>();
  }
  return ours == want;
}

std::vector<std::string> Lines(const std::string& text, const std::string& end = "\n") {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t next = text.find(end, at);
    if (next == std::string::npos) next = text.size();
    lines.push_back(text.substr(at, next - at));
    at = next + end.size();
  }
  return lines;
}

// RFC 4180 records; a field that was never quoted and is empty is NULL.
std::vector<std::vector<std::optional<std::string>>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::optional<std::string>>> records(1);
  std::string field;
  bool quoted = false, inQuotes = false;
  auto endField = [&] {
    if (quoted || !field.empty()) {
      records.back().push_back(field);
    } else {
      records.back().push_back(std::nullopt);
    }
    field.clear();
    quoted = false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (inQuotes) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field.push_back('"');
        ++i;
      } else if (c == '"') {
        inQuotes = false;
      } else {
        field.push_back(c);
      }
    } else if (c == '"') {
      inQuotes = quoted = true;
    } else if (c == ',') {
      endField();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      endField();
      ++i;
      records.emplace_back();
    } else {
      field.push_back(c);
    }
  }
  records.pop_back();  // after the last line end
  return records;
}

class CliRowsRealFiles : public ::testing::TestWithParam<std::string> {};

TEST_P(CliRowsRealFiles, JsonCsvAndTsvGiveTheReferenceCells) {
  const std::string file = GetParam();
  const json expected = mdftest::Reference(file);
  for (const auto& table : expected["tables"]) {
    if (mdftest::IsBuiltInSchema(table)) continue;
    const std::string name = table["name"];
    SCOPED_TRACE(file + " " + name);
    CliRun json_ = RunCli({"rows", RealMdf(file), name, "--format", "json"});
    ASSERT_EQ(json_.status, 0) << json_.err;
    EXPECT_EQ(json_.err, "");
    const auto lines = Lines(json_.out);
    ASSERT_EQ(lines.size(), table["rows"].size());
    std::vector<json> objects;
    for (size_t r = 0; r < lines.size(); ++r) {
      json row = json::parse(lines[r]);
      for (size_t c = 0; c < table["columns"].size(); ++c) {
        const std::string column = table["columns"][c]["name"];
        const json& want = table["rows"][r][c];
        if (want == "<xml>") continue;
        EXPECT_TRUE(Same(row.at(column), CliForm(want)))
            << "row " << r << " " << column << ": " << row.at(column).dump().substr(0, 80) << " vs "
            << want.dump().substr(0, 80);
      }
      objects.push_back(std::move(row));
    }

    // CSV: a header of names, then the same cells; NULL is an empty unquoted field.
    CliRun csv = RunCli({"rows", RealMdf(file), name, "--format", "csv"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    auto records = ParseCsv(csv.out);
    ASSERT_EQ(records.size(), objects.size() + 1);
    for (size_t c = 0; c < table["columns"].size(); ++c) {
      EXPECT_EQ(records[0][c], table["columns"][c]["name"].get<std::string>());
    }
    // TSV: one line a row, NULL as \N.
    CliRun tsv = RunCli({"rows", RealMdf(file), name});
    ASSERT_EQ(tsv.status, 0) << tsv.err;
    auto tsvLines = Lines(tsv.out);
    ASSERT_EQ(tsvLines.size(), objects.size() + 1);
    for (size_t r = 0; r < objects.size(); ++r) {
      ASSERT_EQ(records[r + 1].size(), table["columns"].size());
      for (size_t c = 0; c < table["columns"].size(); ++c) {
        const json& cell = objects[r][table["columns"][c]["name"].get<std::string>()];
        const auto& field = records[r + 1][c];
        if (cell.is_null()) {
          EXPECT_FALSE(field.has_value());
        } else {
          ASSERT_TRUE(field.has_value());
          EXPECT_EQ(*field, cell.is_string() ? cell.get<std::string>() : cell.dump());
        }
      }
      EXPECT_EQ(tsvLines[r + 1].find('\r'), std::string::npos) << "line ends escaped";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Files, CliRowsRealFiles,
                         ::testing::Values("v539-pubs.mdf", "v611-northwind.mdf",
                                           "v655-students.mdf", "x706-musicstore.mdf",
                                           "x869-examination.mdf", "x957-transito.mdf"),
                         mdftest::FileTestName());

TEST(CliRows, TablesAreFoundByExactNameOrSchemaName) {
  const std::string pubs = RealMdf("v539-pubs.mdf");
  CliRun plain = RunCli({"rows", pubs, "discounts", "--format", "csv"});
  CliRun qualified = RunCli({"rows", pubs, "dbo.discounts", "--format", "csv"});
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(qualified.status, 0);
  EXPECT_EQ(plain.out, qualified.out);
  EXPECT_NE(plain.out.find("Initial Customer,,,,10.50\r\n"), std::string::npos) << plain.out;

  CliRun limited = RunCli({"rows", pubs, "discounts", "--limit", "2"});
  EXPECT_EQ(limited.status, 0);
  EXPECT_EQ(Lines(limited.out).size(), 3u) << limited.out;

  CliRun wrongCase = RunCli({"rows", pubs, "DISCOUNTS"});
  EXPECT_EQ(wrongCase.status, 1);
  EXPECT_EQ(wrongCase.out, "");
  EXPECT_NE(wrongCase.err.find("No table named DISCOUNTS"), std::string::npos) << wrongCase.err;
  EXPECT_NE(wrongCase.err.find("discounts"), std::string::npos) << wrongCase.err;
}

// pubs' publisher 9901 was written by a 1252 client into a 936 database: the
// server reads its city as the 936 bytes say; the user can ask for 1252.
TEST(CliRows, ACodePageChosenOnTheLineReadsEveryEightBitColumn) {
  const std::string pubs = RealMdf("v539-pubs.mdf");
  CliRun server = RunCli({"rows", pubs, "publishers", "--format", "csv"});
  CliRun client = RunCli({"rows", pubs, "publishers", "--format", "csv", "--code-page", "1252"});
  ASSERT_EQ(server.status, 0) << server.err;
  ASSERT_EQ(client.status, 0) << client.err;
  EXPECT_NE(server.out.find("9901,GGG&G,M\xE9\xBB\xB1"
                            "chen,"),
            std::string::npos)
      << server.out;
  EXPECT_NE(client.out.find("9901,GGG&G,M\xC3\xBCnchen,"), std::string::npos) << client.out;

  CliRun unknown = RunCli({"rows", pubs, "publishers", "--code-page", "1200"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("unknown code page 1200"), std::string::npos) << unknown.err;
}

TEST(CliRows, UsageErrorsExitTwo) {
  const std::string pubs = RealMdf("v539-pubs.mdf");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"rows", pubs},
                                               {"rows", pubs, "discounts", "--format", "xml"},
                                               {"rows", pubs, "discounts", "--limit", "many"},
                                               {"rows", pubs, "discounts", "--limit"},
                                               {"rows", pubs, "discounts", "--bogus"}}) {
    CliRun run = RunCli(args);
    EXPECT_EQ(run.status, 2) << args.back();
    EXPECT_NE(run.err.find("usage:"), std::string::npos);
  }
}

}  // namespace

namespace {

TEST(CliOutput, AFullDiskIsAFailureNotASuccess) {
  const std::string pubs = RealMdf("v539-pubs.mdf");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"info", pubs}, {"tree", pubs}, {"rows", pubs, "titles"}}) {
    CliRun run = RunCli(args, "/dev/full");
    EXPECT_EQ(run.status, 1) << args[0];
    EXPECT_NE(run.err.find("Writing the output failed"), std::string::npos) << args[0];
  }
}

TEST(CliOutput, ControlCharactersInNamesAreWrittenEscaped) {
  TempFile f;
  CatalogueBuilder b(655, u"db\tname");
  b.AddTable(u"Bad\nName\u007F", {IntColumn(u"Id\r", true)}, {{IntValue(1)}});
  b.WriteTo(f.path());

  CliRun tree = RunCli({"tree", f.path()});
  ASSERT_EQ(tree.status, 0) << tree.err;
  EXPECT_NE(tree.out.find("Bad\\nName\\x7F(1)\n"), std::string::npos) << tree.out;
  EXPECT_NE(tree.out.find("Id\\r(int,Not Null)"), std::string::npos) << tree.out;
  for (const auto& line : Lines(tree.out)) {
    EXPECT_EQ(line.find_first_of(std::string("\r\x7F\0", 3)), std::string::npos);
  }
  CliRun info = RunCli({"info", f.path()});
  EXPECT_NE(info.out.find("database: db\\tname\n"), std::string::npos) << info.out;
}

}  // namespace

namespace {

TEST(CliRows, RowsNotDecodedAreRefusedWithTheirReason) {
  struct Case {
    const char* name;
    uint8_t compression;
    uint32_t columnStatus;  // syscolpars status bits of the column
    uint32_t tableStatus2;  // sysschobjs status2 bits
    const char* reason;
  };
  for (Case c : {Case{"page", 2, 0, 0, "rows stored with page compression are not read"},
                 Case{"sparse", 0, 0x1000000, 0, "rows stored with sparse columns are not read"},
                 Case{"filestream", 0, 0x20, 0,
                      "rows with FILESTREAM data kept outside the data file are not read"},
                 Case{"memory", 0, 0, 0x08,
                      "rows of a memory-optimized table are kept outside the data file and are "
                      "not read"}}) {
    SCOPED_TRACE(c.name);
    TempFile f;
    CatalogueBuilder b(904, u"db");
    TableOptions options;
    options.compression = c.compression;
    options.status2 = c.tableStatus2;
    ColumnDef column = IntColumn(u"id", true);
    column.statusBits = c.columnStatus;
    b.AddTable(u"Packed", {column}, {{IntValue(1)}}, options);
    b.AddTable(u"Plain", {IntColumn(u"id", true)}, {{IntValue(7)}});
    b.WriteTo(f.path());
    CliRun packed = RunCli({"rows", f.path(), "Packed"});
    EXPECT_EQ(packed.status, 1);
    EXPECT_EQ(packed.out, "");
    EXPECT_EQ(packed.err, std::string("Packed: ") + c.reason + "\n");
    CliRun plain = RunCli({"rows", f.path(), "Plain"});
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, "id\n7\n");
    // The tree shows the table with its columns.
    CliRun tree = RunCli({"tree", f.path()});
    EXPECT_NE(tree.out.find("Packed(1)\n      Columns(1)\n        id(int,"), std::string::npos)
        << tree.out;
    // The save writes the table's definition and says its rows were not saved.
    TempDir dest;
    CliRun save = RunCli({"export", f.path(), dest.path()});
    EXPECT_EQ(save.status, 1);
    EXPECT_NE(save.err.find(c.reason), std::string::npos) << save.err;
  }
}

TEST(CliInfo, ADatabaseInSeveralFilesListsThemAndReadsTheirTables) {
  CliRun info = RunCli({"info", RealMdf("x869-examination.mdf")});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("release: SQL Server 2017\n"), std::string::npos) << info.out;
  const json ref = Reference("x869-examination.mdf");
  for (const auto& f : ref["data_files"]) {
    const std::string line = "data file " + std::to_string(f["file_id"].get<int>()) + ": " +
                             f["logical_name"].get<std::string>() + ", filegroup " +
                             std::to_string(f["filegroup"].get<int>()) + ", " +
                             std::to_string(f["pages"].get<int>()) + " pages, " +
                             f["file"].get<std::string>() + "\n";
    EXPECT_NE(info.out.find(line), std::string::npos) << line << info.out;
  }
}

TEST(CliRows, APrimaryFileWithoutItsSecondaryFilesSaysWhichIsMissing) {
  TempDir dir;
  const std::string copy = dir.path() + "x869-examination.mdf";
  std::filesystem::copy_file(RealMdf("x869-examination.mdf"), copy);
  CliRun exam = RunCli({"rows", copy, "Exam"});
  EXPECT_EQ(exam.status, 1);
  EXPECT_EQ(exam.err,
            "Exam: rows are in data file 3, which was not found beside the primary file\n");
  // A table without pages of its own is still read: it has no rows.
  CliRun log = RunCli({"rows", copy, "databaseLog", "--format", "json"});
  EXPECT_EQ(log.status, 0) << log.err;
  EXPECT_EQ(log.out, "");
}

}  // namespace
