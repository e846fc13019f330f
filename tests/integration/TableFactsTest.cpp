// What makes a rebuilt table behave as the saved one, over builder-made files
// of 2000, 2005/2008 and a later version: identity columns with seed,
// increment and last value, named defaults with their text, rowversion
// columns and (2000) computed columns, in the catalogue, in the table's
// Create Table statement, and in the data script the export writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "browser/ObjectTree.h"
#include "engine/Analysis.h"
#include "engine/Utf16.h"
#include "sql/Statements.h"
#include "tests/integration/CliRun.h"
#include "tests/support/CatalogueBuilder.h"
#include "tests/support/SqlStatementReader.h"
#include "tests/support/TempDir.h"

namespace mdftest {
namespace {

namespace fs = std::filesystem;
using mendora::FromUtf8;
using mendora::ToUtf8;

constexpr uint8_t kMoney = 60, kTimestamp = 189;

Value MoneyValue(int64_t tenThousandths) {
  ByteVec out;
  for (int i = 0; i < 8; ++i) {
    out.push_back(
        std::byte{static_cast<uint8_t>(static_cast<uint64_t>(tenThousandths) >> (8 * i))});
  }
  return out;
}
Value SmallIntValue(int16_t v) {
  const auto u = static_cast<uint16_t>(v);
  return ByteVec{std::byte{static_cast<uint8_t>(u)}, std::byte{static_cast<uint8_t>(u >> 8)}};
}
Value StampValue(uint8_t last) {
  ByteVec out(8, std::byte{0});
  out[7] = std::byte{last};
  return out;
}

struct Built {
  TempDir dir;
  std::string path;
  int32_t orders = 0, notes = 0, empty = 0;
};

// Orders: an identity from 1000 by 5 that last gave 1015 (its last row was
// deleted), a money column with a named default, a rowversion column, and in
// 2000 a computed column. Notes: a smallint identity counting down from -1.
// Empty: a bigint identity that has given nothing.
void Build(uint16_t version, Built& b) {
  CatalogueBuilder builder(version, u"Facts");
  ColumnDef id = IntColumn(u"OrderID", true);
  id.identity = ColumnDef::Identity{1000, 5, 1015};
  ColumnDef freight{u"Freight", kMoney, 8, false, 19, 4};
  ColumnDef stamp{u"Stamp", kTimestamp, 8, true};
  std::vector<ColumnDef> columns{id, freight, stamp};
  if (version == 539) {
    ColumnDef twice{u"Twice", kMoney, 8, false, 19, 4};
    twice.computedText = u"([Freight]*(2))";
    columns.push_back(twice);
  }
  std::vector<Row> rows;
  for (int i = 0; i < 3; ++i) {
    Row row{IntValue(1000 + 5 * i), MoneyValue(32380 * (i + 1)), StampValue(uint8_t(i + 1))};
    if (version == 539) row.push_back(kNull);
    rows.push_back(row);
  }
  b.orders = builder.AddTable(u"Orders", columns, rows);
  builder.AddDefault(b.orders, 2, u"DF_Orders_Freight", "((0))");

  ColumnDef small{u"NoteID", 52, 2, true, 5, 0};
  small.identity = ColumnDef::Identity{-1, -1, -2};
  b.notes = builder.AddTable(
      u"Notes", {small, NVarCharColumn(u"Text", 20)},
      {{SmallIntValue(-1), NVarCharValue(u"a")}, {SmallIntValue(-2), NVarCharValue(u"b")}});
  ColumnDef big = BigIntColumn(u"Id");
  big.notNull = true;
  big.identity = ColumnDef::Identity{1, 1, std::nullopt};
  b.empty = builder.AddTable(u"Empty", {big});
  ColumnDef cleared = IntColumn(u"Id", true);
  cleared.identity = ColumnDef::Identity{1, 1, 7};
  builder.AddTable(u"Cleared", {cleared});
  b.path = b.dir.path() + "/facts.mdf";
  builder.WriteTo(b.path);
}

class TableFacts : public ::testing::TestWithParam<uint16_t> {};

TEST_P(TableFacts, CatalogueAndTableDefinition) {
  Built b;
  Build(GetParam(), b);
  mendora::DataFile file;
  ASSERT_TRUE(file.Open(b.path));
  ASSERT_TRUE(file.DetectVersion());
  mendora::Catalogue c;
  mendora::NullJobControl job;
  mendora::RunAnalysis(file, c, job);

  const mendora::_SYSCOLUMNS* orderId = mendora::IdentityColumn(c, b.orders);
  ASSERT_NE(orderId, nullptr);
  EXPECT_EQ(ToUtf8(orderId->name), "OrderID");
  EXPECT_EQ(orderId->identitySeed, 1000);
  EXPECT_EQ(orderId->identityIncrement, 5);
  EXPECT_TRUE(orderId->identityHasLast);
  EXPECT_EQ(orderId->identityLast, 1015);
  const mendora::_SYSCOLUMNS* noteId = mendora::IdentityColumn(c, b.notes);
  ASSERT_NE(noteId, nullptr);
  EXPECT_EQ(noteId->identitySeed, -1);
  EXPECT_EQ(noteId->identityIncrement, -1);
  EXPECT_EQ(noteId->identityLast, -2);
  const mendora::_SYSCOLUMNS* emptyId = mendora::IdentityColumn(c, b.empty);
  ASSERT_NE(emptyId, nullptr);
  EXPECT_FALSE(emptyId->identityHasLast);

  const std::string twice = GetParam() == 539 ? ",[Twice] As ([Freight]*(2))" : "";
  EXPECT_EQ(ToUtf8(mendora::TableDefinitionStatement(c, b.orders, u"Orders")),
            "Create Table [Orders] ([OrderID] int Identity(1000,5) Not Null,"
            "[Freight] money Null Constraint [DF_Orders_Freight] Default ((0)),"
            "[Stamp] timestamp Not Null" +
                twice + ")");
  // The tree marks identity and computed columns.
  EXPECT_EQ(ToUtf8(mendora::ColumnLabel(*orderId)), "OrderID(int,Not Null,Identity(1000,5))");
  EXPECT_EQ(ToUtf8(mendora::ColumnLabel(*noteId)), "NoteID(smallint,Not Null,Identity(-1,-1))");
  if (GetParam() == 539) {
    auto computed = std::find_if(c.columns.begin(), c.columns.end(),
                                 [](const auto& col) { return col.name == u"Twice"; });
    ASSERT_NE(computed, c.columns.end());
    EXPECT_EQ(ToUtf8(mendora::ColumnLabel(*computed)), "Twice(money,Null,Computed)");
  }
  EXPECT_EQ(ToUtf8(mendora::TableDefinitionStatement(c, b.notes, u"Notes")),
            "Create Table [Notes] ([NoteID] smallint Identity(-1,-1) Not Null,"
            "[Text] nvarchar(20) Null)");
  EXPECT_EQ(ToUtf8(mendora::TableDefinitionStatement(c, b.empty, u"Empty")),
            "Create Table [Empty] ([Id] bigint Identity(1,1) Not Null)");
}

std::vector<std::string> Lines(const fs::path& path) {
  const std::u16string text = ScriptText(path.string());
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find(u"\r\n", at);
    if (end == std::u16string::npos) end = text.size();
    lines.push_back(ToUtf8(text.substr(at, end - at)));
    at = end + 2;
  }
  return lines;
}

TEST_P(TableFacts, DataScriptsKeepIdentityValues) {
  Built b;
  Build(GetParam(), b);
  TempDir dest;
  const CliRun run = RunCli({"export", b.path, dest.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<fs::path> top(fs::directory_iterator(dest.path()), fs::directory_iterator());
  ASSERT_EQ(top.size(), 1u);
  const fs::path data = top[0] / "Tables_Data";

  auto orders = Lines(data / "Orders_Data.sql");
  ASSERT_EQ(orders.size(), 7u);
  EXPECT_EQ(orders[1], "Set Identity_Insert [Orders] On");
  for (size_t i = 2; i < 5; ++i) {
    std::string error;
    auto insert = ReadInsertStatement(FromUtf8(orders[i]), &error);
    ASSERT_TRUE(insert) << error << ": " << orders[i];
    // Neither the rowversion nor the computed column is given a value.
    EXPECT_EQ(insert->columns, (std::vector<std::u16string>{u"OrderID", u"Freight"}));
    ASSERT_EQ(insert->values.size(), 2u);
    EXPECT_EQ(ToUtf8(insert->values[0].text), std::to_string(1000 + 5 * (i - 2)));
  }
  EXPECT_EQ(orders[5], "Set Identity_Insert [Orders] Off");
  EXPECT_EQ(orders[6], "DBCC CHECKIDENT ('[Orders]', RESEED, 1015)");

  auto notes = Lines(data / "Notes_Data.sql");
  ASSERT_EQ(notes.size(), 6u);
  EXPECT_EQ(notes[1], "Set Identity_Insert [Notes] On");
  EXPECT_EQ(notes[2], "Insert into [Notes] ([NoteID],[Text]) Values(-1,N'a')");
  EXPECT_EQ(notes[4], "Set Identity_Insert [Notes] Off");
  EXPECT_EQ(notes[5], "DBCC CHECKIDENT ('[Notes]', RESEED, -2)");

  // mendora-cli ddl shows a table's statement when asked for it by name.
  const CliRun ddl = RunCli({"ddl", b.path, "Notes"});
  EXPECT_EQ(ddl.status, 0) << ddl.err;
  EXPECT_EQ(ddl.out,
            "Create Table [Notes] ([NoteID] smallint Identity(-1,-1) Not Null,"
            "[Text] nvarchar(20) Null)\n");

  // A table whose rows are all gone goes on after its last value: with no
  // row inserted, the server gives the reseed value itself next.
  auto cleared = Lines(data / "Cleared_Data.sql");
  ASSERT_EQ(cleared.size(), 2u);
  EXPECT_EQ(cleared[1], "DBCC CHECKIDENT ('[Cleared]', RESEED, 8)");

  // A table without rows whose identity has given nothing needs neither.
  EXPECT_EQ(Lines(data / "Empty_Data.sql").size(), 1u);

  // Every statement of the table script passes the token check.
  TokenRules rules;
  rules.keywords = {"CREATE", "TABLE", "NULL",     "NOT",     "CONSTRAINT", "DEFAULT",
                    "AS",     "USE",   "IDENTITY", "COLLATE", "ON"};
  for (const char* table : {"Orders", "Notes", "Empty", "Cleared"}) {
    for (const std::string& line :
         Lines(top[0] / "Tables_Create" / (std::string(table) + "_Create.sql"))) {
      EXPECT_EQ(CheckStatementTokens(FromUtf8(line) + u"\r\n", rules), "") << line;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, TableFacts, ::testing::Values(539, 611, 655, 869),
                         [](const auto& info) { return "v" + std::to_string(info.param); });

}  // namespace
}  // namespace mdftest
