// What makes a rebuilt table behave as the saved one, over builder-made files
// of 2000, 2005/2008 and a later version: identity columns with seed,
// increment and last value, named defaults with their text, rowversion
// columns and (2000) computed columns, in the catalogue, in the table's
// Create Table statement, and in the data script the export writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "browser/ObjectTree.h"
#include "engine/Analysis.h"
#include "engine/TypeCodes.h"
#include "engine/Utf16.h"
#include "sql/Statements.h"
#include "tests/engine/AnalysedFile.h"
#include "tests/integration/CliRun.h"
#include "tests/support/CatalogueBuilder.h"
#include "tests/support/RealFiles.h"
#include "tests/support/SqlStatementReader.h"
#include "tests/support/TempDir.h"

namespace mdftest {
namespace {

namespace fs = std::filesystem;
using mendora::FromUtf8;
using mendora::ToUtf8;

constexpr uint8_t kMoney = mendora::kXMoney, kTimestamp = mendora::kXTimestamp,
                  kUniqueIdentifier = mendora::kXUniqueIdentifier;

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
  ColumnDef twice{u"Twice", kMoney, 8, false, 19, 4};
  twice.computedText = u"([Freight]*(2))";
  // 2005 on the values of a persisted one stand in the rows.
  twice.persisted = version != 539;
  std::vector<ColumnDef> columns{id, freight, stamp, twice};
  std::vector<Row> rows;
  for (int i = 0; i < 3; ++i) {
    rows.push_back({IntValue(1000 + 5 * i), MoneyValue(32380 * (i + 1)), StampValue(uint8_t(i + 1)),
                    version == 539 ? kNull : MoneyValue(64760 * (i + 1))});
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
  if (version != 539) {
    ColumnDef guid{u"RowId", kUniqueIdentifier, 16, true};
    guid.statusBits = 0x08;  // ROWGUIDCOL
    builder.AddTable(u"Tagged", {guid});
  }
  b.path = b.dir.path() + "/facts.mdf";
  builder.WriteTo(b.path);
}

class TableFacts : public ::testing::TestWithParam<uint16_t> {};

TEST_P(TableFacts, CatalogueAndTableDefinition) {
  Built b;
  Build(GetParam(), b);
  mendora::DataFile file;
  mendora::Catalogue c;
  ASSERT_TRUE(analysedtest::OpenAndAnalyse(b.path, file, c));

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

  const std::string twice =
      std::string(",[Twice] As ([Freight]*(2))") + (GetParam() == 539 ? "" : " Persisted");
  EXPECT_EQ(ToUtf8(mendora::TableDefinitionStatement(c, b.orders, u"Orders")),
            "Create Table [Orders] ([OrderID] int Identity(1000,5) Not Null,"
            "[Freight] money Null Constraint [DF_Orders_Freight] Default ((0)),"
            "[Stamp] timestamp Not Null" +
                twice + ")");
  // The tree marks identity and computed columns.
  EXPECT_EQ(ToUtf8(mendora::ColumnLabel(*orderId)), "OrderID(int,Not Null,Identity(1000,5))");
  EXPECT_EQ(ToUtf8(mendora::ColumnLabel(*noteId)), "NoteID(smallint,Not Null,Identity(-1,-1))");
  auto computed = std::find_if(c.columns.begin(), c.columns.end(),
                               [](const auto& col) { return col.name == u"Twice"; });
  ASSERT_NE(computed, c.columns.end());
  const std::string computedLabel = ToUtf8(mendora::ColumnLabel(*computed));
  EXPECT_TRUE(computedLabel.starts_with("Twice(money,") && computedLabel.ends_with(",Computed)"))
      << computedLabel;
  // The column's tooltip holds its default's text.
  auto freight = std::find_if(c.columns.begin(), c.columns.end(),
                              [](const auto& col) { return col.name == u"Freight"; });
  ASSERT_NE(freight, c.columns.end());
  EXPECT_EQ(ToUtf8(mendora::ColumnToolTip(c, *freight)), "Freight(money,Null)\nDefault ((0))");
  EXPECT_EQ(ToUtf8(mendora::ColumnToolTip(c, *orderId)), "");
  if (GetParam() != 539) {
    for (const auto& table : c.userTables) {
      if (table.name != u"Tagged") continue;
      EXPECT_EQ(ToUtf8(mendora::TableDefinitionStatement(c, table.id, u"Tagged")),
                "Create Table [Tagged] ([RowId] uniqueidentifier Rowguidcol Not Null)");
    }
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

// Foreign keys and checks as the file keeps them: their actions, NOT FOR
// REPLICATION, and whether they are disabled or were never checked against
// the rows. 2000 keeps only the last two.
TEST_P(TableFacts, ConstraintActionsAndStates) {
  const uint16_t version = GetParam();
  const bool v2000 = version == 539;
  CatalogueBuilder builder(version, u"Rules");
  const int32_t parent = builder.AddTable(u"Parent", {IntColumn(u"Id", true)});
  builder.AddKey(parent, u"PK_Parent", "PK", {1}, true);
  const int32_t child =
      builder.AddTable(u"Child", {IntColumn(u"Id", true), IntColumn(u"ParentId")});
  auto foreignKey = [&](const std::u16string& name, uint32_t status) {
    int32_t id = 0;
    if (v2000) {
      id = builder.AddForeignKey(child, name, {2}, parent, {1});
    } else {
      id = builder.AddObject(name, "F ", child);
      builder.AddDependency(28, id, 1, child, 2);
      builder.AddDependency(29, id, 1, parent, 1);
    }
    builder.SetObjectStatus(id, status);
  };
  auto check = [&](const std::u16string& name, uint32_t status) {
    builder.SetObjectStatus(builder.AddCheck(child, name, "([ParentId]>(0))"), status);
  };
  if (v2000) {
    foreignKey(u"FK_Loose", 0x802);
    foreignKey(u"FK_Off", 0x902);
    check(u"CK_Plain", 0x2);
    check(u"CK_Off", 0x902);
  } else {
    foreignKey(u"FK_Cascade", 0x5000);
    foreignKey(u"FK_Null", 0xB000);
    foreignKey(u"FK_Repl", 0x600);
    foreignKey(u"FK_Off", 0x500);
    check(u"CK_Plain", 0x120000);
    check(u"CK_Repl", 0x120600);
  }
  TempDir dir;
  const std::string path = dir.path() + "/rules.mdf";
  builder.WriteTo(path);
  TempDir dest;
  const CliRun run = RunCli({"export", path, dest.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<fs::path> top(fs::directory_iterator(dest.path()), fs::directory_iterator());
  ASSERT_EQ(top.size(), 1u);
  auto keys = Lines(top[0] / "ForeignKey" / "ForeignKeys.sql");
  auto checks = Lines(top[0] / "Constraints" / "Constraints.sql");
  auto holds = [](const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  const std::string fk = " Foreign Key(ParentId) References Parent(Id)";
  const std::string ck = " Check ([ParentId]>(0))";
  std::vector<std::pair<const std::vector<std::string>*, std::string>> wanted;
  if (v2000) {
    wanted = {{&keys, "Alter table Child With Nocheck Add Constraint FK_Loose" + fk},
              {&keys, "Alter table Child With Nocheck Add Constraint FK_Off" + fk},
              {&keys, "Alter Table Child Nocheck Constraint FK_Off"},
              {&checks, "Alter Table Child Add Constraint CK_Plain" + ck},
              {&checks, "Alter Table Child With Nocheck Add Constraint CK_Off" + ck},
              {&checks, "Alter Table Child Nocheck Constraint CK_Off"}};
  } else {
    wanted = {{&keys, "Alter table Child Add Constraint FK_Cascade" + fk +
                          " On Delete Cascade On Update Cascade"},
              {&keys, "Alter table Child Add Constraint FK_Null" + fk +
                          " On Delete Set Null On Update Set Default"},
              {&keys, "Alter table Child With Nocheck Add Constraint FK_Repl" + fk +
                          " Not For Replication"},
              {&keys, "Alter table Child With Nocheck Add Constraint FK_Off" + fk},
              {&keys, "Alter Table Child Nocheck Constraint FK_Off"},
              {&checks, "Alter Table Child Add Constraint CK_Plain" + ck},
              {&checks,
               "Alter Table Child With Nocheck Add Constraint CK_Repl Check Not For "
               "Replication ([ParentId]>(0))"}};
  }
  for (const auto& [lines, line] : wanted) EXPECT_TRUE(holds(*lines, line)) << line;
  // Only a disabled constraint is disabled again.
  const auto disables = std::count_if(keys.begin(), keys.end(), [](const std::string& line) {
    return line.find("Nocheck Constraint") != std::string::npos;
  });
  EXPECT_EQ(disables, 1);
  EXPECT_EQ(std::count_if(checks.begin(), checks.end(),
                          [](const std::string& line) {
                            return line.find("Nocheck Constraint") != std::string::npos;
                          }),
            v2000 ? 1 : 0);

  // The preview and mendora-cli ddl say the same, the disabling on its own line.
  const CliRun ddl = RunCli({"ddl", path, "FK_Off"});
  EXPECT_EQ(ddl.status, 0) << ddl.err;
  EXPECT_EQ(ddl.out, "Alter table Child With Nocheck Add Constraint FK_Off" + fk +
                         "\nAlter Table Child Nocheck Constraint FK_Off\n");

  // The CSV save's schema.sql disables the same constraints.
  TempDir csv;
  ASSERT_EQ(RunCli({"export", path, csv.path(), "--format", "csv"}).status, 0);
  std::vector<fs::path> made(fs::directory_iterator(csv.path()), fs::directory_iterator());
  ASSERT_EQ(made.size(), 1u);
  std::ifstream schema(made[0] / "schema.sql");
  std::vector<std::string> off;
  for (std::string line; std::getline(schema, line);) {
    if (line.ends_with('\r')) line.pop_back();
    if (line.find("Nocheck Constraint") != std::string::npos) off.push_back(line);
  }
  std::vector<std::string> wantedOff = {"Alter Table Child Nocheck Constraint FK_Off"};
  if (v2000) wantedOff.push_back("Alter Table Child Nocheck Constraint CK_Off");
  std::sort(off.begin(), off.end());
  std::sort(wantedOff.begin(), wantedOff.end());
  EXPECT_EQ(off, wantedOff);
}

// The given files' foreign keys and checks as their install scripts left
// them. Northwind's scripts load its rows with eight keys and eight checks
// switched off and switch them on again without a check of the rows; its
// other keys and pubs' constraints were made on empty tables.
TEST(RealFileConstraints, ActionsAndStatesOfTheGivenFiles) {
  struct Expect {
    std::string file, name;
    bool nocheck = false;
    std::string end;
  };
  const std::vector<std::string> nocheck = {"FK_Employees_Employees",
                                            "FK_Order_Details_Orders",
                                            "FK_Order_Details_Products",
                                            "FK_Orders_Customers",
                                            "FK_Orders_Employees",
                                            "FK_Orders_Shippers",
                                            "FK_Products_Categories",
                                            "FK_Products_Suppliers",
                                            "CK_Birthdate",
                                            "CK_Discount",
                                            "CK_Products_UnitPrice",
                                            "CK_Quantity",
                                            "CK_ReorderLevel",
                                            "CK_UnitPrice",
                                            "CK_UnitsInStock",
                                            "CK_UnitsOnOrder"};
  const std::vector<std::string> checked = {
      "FK_CustomerCustomerDemo", "FK_CustomerCustomerDemo_Customers",
      "FK_EmployeeTerritories_Employees", "FK_EmployeeTerritories_Territories",
      "FK_Territories_Region"};
  std::vector<Expect> expects;
  for (const char* file : {"v539-northwind.mdf", "v611-northwind.mdf", "v655-northwind.mdf"}) {
    for (const auto& name : nocheck) expects.push_back({file, name, true, ")"});
    for (const auto& name : checked) expects.push_back({file, name, false, ")"});
  }
  // BLToolkit's test database: a person's rows go with the person.
  for (const char* name : {"FK_Doctor_Person", "FK_Patient_Person"}) {
    expects.push_back({"v611-bltoolkit.mdf", name, false, ") On Delete Cascade On Update Cascade"});
  }
  expects.push_back({"v655-students.mdf", "FK_SinhVien_Lop", true, ") Not For Replication"});

  std::map<std::string, std::vector<std::string>> lines;
  for (const Expect& e : expects) {
    if (!lines.count(e.file)) {
      const CliRun ddl = RunCli({"ddl", RealMdf(e.file)}, nullptr, 240);
      ASSERT_EQ(ddl.status, 0) << e.file << ": " << ddl.err;
      std::istringstream in(ddl.out);
      for (std::string line; std::getline(in, line);) lines[e.file].push_back(line);
    }
    const auto& all = lines[e.file];
    auto line = std::find_if(all.begin(), all.end(), [&](const std::string& l) {
      return l.find("Add Constraint " + e.name + " ") != std::string::npos;
    });
    ASSERT_NE(line, all.end()) << e.file << ": " << e.name;
    EXPECT_EQ(line->find(" With Nocheck Add Constraint " + e.name + " ") != std::string::npos,
              e.nocheck)
        << e.file << ": " << *line;
    EXPECT_TRUE(line->ends_with(e.end)) << e.file << ": " << *line;
  }
  // pubs: every foreign key and check as made, none disabled.
  for (const char* file : {"v539-pubs.mdf", "v611-pubs.mdf"}) {
    const CliRun ddl = RunCli({"ddl", RealMdf(file)}, nullptr, 240);
    ASSERT_EQ(ddl.status, 0) << ddl.err;
    EXPECT_EQ(ddl.out.find("Nocheck"), std::string::npos) << file;
    EXPECT_EQ(ddl.out.find(" On Delete"), std::string::npos) << file;
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, TableFacts, ::testing::Values(539, 611, 655, 869),
                         [](const auto& info) { return "v" + std::to_string(info.param); });

}  // namespace
}  // namespace mdftest
