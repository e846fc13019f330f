// Every cell of every table of every real data file, written as the SQL
// literal of an "Insert into" statement, read back from the statement and
// compared with what an independent reader recovered (expected/ beside the
// files). The statements' tokens are checked too. Rows are paired with the
// reference's as the table-rows test pairs them: in order, or, for a heap
// with forwarded rows, as a multiset. The reference leaves xml undecoded, so
// an xml cell must only be XML text or NULL with a warning.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "engine/Analysis.h"
#include "engine/TableReader.h"
#include "engine/Utf16.h"
#include "export/SqlLiteral.h"
#include "tests/integration/ReferenceFiles.h"
#include "tests/support/RealFiles.h"
#include "tests/support/ReferenceLiteral.h"
#include "tests/support/SqlStatementReader.h"

using namespace mendora;
using nlohmann::json;

namespace {

constexpr uint8_t kXml = 241;

struct WrittenRow {
  std::vector<mdftest::ParsedLiteral> values;
  std::vector<bool> warned;
};

std::u16string Bracketed(const std::u16string& name) {
  std::u16string out = u"[";
  for (char16_t c : name) {
    out.push_back(c);
    if (c == u']') out.push_back(u']');
  }
  return out + u"]";
}

bool SameRow(const WrittenRow& ours, const json& want, const std::vector<uint8_t>& types) {
  if (ours.values.size() != want.size()) return false;
  for (size_t i = 0; i < want.size(); ++i) {
    if (!mdftest::CompareWithReference(ours.values[i], types[i], want[i]).empty()) return false;
  }
  return true;
}

class SqlLiteralRealFiles : public ::testing::TestWithParam<std::string> {};

TEST_P(SqlLiteralRealFiles, EveryCellReadsBackAsTheReference) {
  const std::string name = GetParam();
  const json expected = mdftest::Reference(name);
  DataFile file;
  ASSERT_TRUE(file.Open(mdftest::RealMdf(name)));
  ASSERT_TRUE(file.DetectVersion());
  Catalogue c;
  NullJobControl job;
  RunAnalysis(file, c, job);

  size_t cells = 0, xmlText = 0, xmlNull = 0;
  for (const auto& table : expected["tables"]) {
    const std::string tableName = table["name"];
    SCOPED_TRACE(name + " " + tableName);
    auto it = std::find_if(c.userTables.begin(), c.userTables.end(), [&](const _SYSOBJECTS& o) {
      return o.id == table["id"].get<int64_t>();
    });
    ASSERT_NE(it, c.userTables.end()) << "table not recovered";
    TableReader reader(file, c, it->id);
    ASSERT_TRUE(reader.CanRead());
    const auto& columns = reader.Columns();
    ASSERT_EQ(columns.size(), table["columns"].size());
    std::vector<uint8_t> types;
    for (const auto& col : table["columns"]) types.push_back(col["xtype"].get<uint8_t>());
    for (size_t i = 0; i < columns.size(); ++i) ASSERT_EQ(columns[i].xtype, types[i]);

    const std::u16string head = u"Insert into " + Bracketed(it->name) + u" Values(";
    std::vector<WrittenRow> rows;
    std::u16string line;
    std::string warning;
    int reported = 0;
    reader.Read(job, [&](const RowValues& row) {
      line = head;
      WrittenRow written;
      for (size_t i = 0; i < row.size(); ++i) {
        if (i) line.push_back(u',');
        AppendSqlLiteral(row[i], columns[i], line, &warning);
        written.warned.push_back(!warning.empty());
        if (!warning.empty() && columns[i].xtype != kXml && reported++ < 5) {
          ADD_FAILURE() << "column " << ToUtf8(columns[i].name) << " written as NULL: " << warning;
        }
      }
      line.push_back(u')');
      const std::string tokens = mdftest::CheckStatementTokens(line);
      std::string error;
      auto statement = mdftest::ReadInsertStatement(line, &error);
      if ((!tokens.empty() || !statement) && reported++ < 5) {
        ADD_FAILURE() << tokens << error << ": " << ToUtf8(line).substr(0, 300);
      }
      if (statement) {
        EXPECT_EQ(statement->table, std::vector<std::u16string>{it->name});
        written.values = std::move(statement->values);
      }
      rows.push_back(std::move(written));
      return true;
    });
    const json& want = table["rows"];
    ASSERT_EQ(rows.size(), want.size());

    std::vector<size_t> order(rows.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    if (reader.Stats().forwardedRows > 0) {
      // Pair each reference row with an equal row of ours, each used once.
      std::vector<bool> used(rows.size());
      for (size_t i = 0; i < want.size(); ++i) {
        for (size_t j = 0; j < rows.size(); ++j) {
          if (!used[j] && SameRow(rows[j], want[i], types)) {
            used[j] = true;
            order[i] = j;
            break;
          }
        }
      }
    }
    for (size_t i = 0; i < want.size(); ++i) {
      const WrittenRow& ours = rows[order[i]];
      ASSERT_EQ(ours.values.size(), want[i].size()) << "row " << i;
      for (size_t col = 0; col < want[i].size(); ++col) {
        ++cells;
        const auto& literal = ours.values[col];
        std::string differs = mdftest::CompareWithReference(literal, types[col], want[i][col]);
        if (differs.empty() && types[col] == kXml && !want[i][col].is_null()) {
          if (literal.kind == mdftest::ParsedLiteral::Kind::kString) {
            ++xmlText;
          } else if (ours.warned[col]) {
            ++xmlNull;
          } else {
            differs = "xml written as NULL without a warning";
          }
        }
        if (!differs.empty() && reported++ < 5) {
          ADD_FAILURE() << "row " << i << " column " << table["columns"][col]["name"] << ": "
                        << differs;
        }
      }
    }
  }
  RecordProperty("cells", static_cast<int>(cells));
  RecordProperty("xml_text", static_cast<int>(xmlText));
  RecordProperty("xml_null", static_cast<int>(xmlNull));
}

INSTANTIATE_TEST_SUITE_P(Files, SqlLiteralRealFiles, ::testing::ValuesIn(mdftest::ReferenceFiles()),
                         mdftest::FileTestName());

}  // namespace
