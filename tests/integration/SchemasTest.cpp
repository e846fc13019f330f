// Tables outside dbo, over builder-made files of 2000 (owners in sysusers),
// 2005/2008 and a later version (schemas in sysclsobjs): the catalogue names
// each table's schema, and every statement that names such a table names it
// with its schema, the schema made once before its first table. Tables in
// dbo keep their bare names.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "engine/Analysis.h"
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

// dbo.Customers; Sales.Orders (an identity, a key, a foreign key to
// Customers); Sales.Lines (a foreign key to Sales.Orders); Items, in a
// schema whose row is lost; dbo.Orders; Reports.Totals, a view in a schema
// that holds no table; the schema Empty, with nothing in it. Objects are
// made in that order.
struct Shop {
  TempDir dir;
  std::string path;
  int32_t customers = 0, orders = 0, lines = 0, items = 0;
};

void BuildShop(uint16_t version, Shop& s) {
  const bool v2000 = version == 539;
  CatalogueBuilder b(version, u"Shop");
  b.AddSchema(5, u"Sales");
  b.AddSchema(6, u"Reports");
  b.AddSchema(7, u"Empty");
  s.customers = b.AddTable(u"Customers", {IntColumn(u"Id", true)}, {{IntValue(7)}});
  b.AddKey(s.customers, u"PK_Customers", "PK", {1}, true);
  ColumnDef orderId = IntColumn(u"OrderID", true);
  orderId.identity = ColumnDef::Identity{1, 1, 2};
  s.orders = b.AddTable(u"Orders", {orderId, IntColumn(u"CustomerId")},
                        {{IntValue(1), IntValue(7)}, {IntValue(2), IntValue(7)}});
  const int32_t key = b.AddKey(s.orders, u"PK_Orders", "PK", {1}, true);
  s.lines = b.AddTable(u"Lines", {IntColumn(u"OrderID", true)}, {{IntValue(2)}});
  s.items = b.AddTable(u"Items", {IntColumn(u"Id", true)});
  b.AddTable(u"Orders", {IntColumn(u"Id", true)});
  auto foreignKey = [&](int32_t table, const std::u16string& name, int32_t referenced) {
    if (v2000)
      return b.AddForeignKey(table, name, {table == s.orders ? int16_t(2) : int16_t(1)}, referenced,
                             {1});
    const int32_t id = b.AddObject(name, "F ", table);
    b.AddDependency(28, id, 1, table, table == s.orders ? 2 : 1);
    b.AddDependency(29, id, 1, referenced, 1);
    return id;
  };
  const int32_t toCustomers = foreignKey(s.orders, u"FK_Orders_Customers", s.customers);
  const int32_t toOrders = foreignKey(s.lines, u"FK_Lines_Orders", s.orders);
  b.AddCheck(s.orders, u"CK_Orders", "([CustomerId]>(0))");
  for (int32_t id : {s.orders, key, s.lines, toCustomers, toOrders}) b.SetSchema(id, 5);
  b.SetSchema(s.items, 9);
  b.SetSchema(b.AddModule("V ", u"Totals",
                          "Create View Reports.Totals As Select Count(*) n From Sales.Orders"),
              6);
  s.path = s.dir.path() + "/shop.mdf";
  b.WriteTo(s.path);
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

bool Holds(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class Schemas : public ::testing::TestWithParam<uint16_t> {};

TEST_P(Schemas, CatalogueStatementsAndScripts) {
  Shop s;
  BuildShop(GetParam(), s);
  mendora::DataFile file;
  mendora::Catalogue c;
  ASSERT_TRUE(analysedtest::OpenAndAnalyse(s.path, file, c));

  // A schema the file does not name leaves its table in dbo, not lost.
  std::vector<std::string> names;
  for (const auto& t : c.userTables) names.push_back(ToUtf8(t.schemaName + u"." + t.name));
  EXPECT_EQ(names, (std::vector<std::string>{"dbo.Customers", "Sales.Orders", "Sales.Lines",
                                             "dbo.Items", "dbo.Orders"}));
  EXPECT_EQ(ToUtf8(mendora::TableDefinitionStatement(c, s.customers, u"Customers")),
            "Create Table [Customers] ([Id] int Not Null)");
  EXPECT_EQ(ToUtf8(mendora::TableDefinitionStatement(c, s.orders, u"Orders")),
            "Create Table [Sales].[Orders] ([OrderID] int Identity(1,1) Not Null,"
            "[CustomerId] int Null)");

  TempDir dest;
  const CliRun run = RunCli({"export", s.path, dest.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<fs::path> top(fs::directory_iterator(dest.path()), fs::directory_iterator());
  ASSERT_EQ(top.size(), 1u);
  const fs::path create = top[0] / "Tables_Create";
  // A schema is made in a batch of its own before its first table, once.
  // A save of a whole 2005+ database makes every schema its users made in
  // its first script, the view's schema that holds no table included; 2000
  // has owners, made where an object needs them.
  const bool v2000 = GetParam() == 539;
  const std::vector<std::string> customers = {"Use Shop",
                                              "GO",
                                              "Create Schema [Sales]",
                                              "GO",
                                              "Create Schema [Reports]",
                                              "GO",
                                              "Create Schema [Empty]",
                                              "GO",
                                              "Create Table [Customers] ([Id] int Not Null)"};
  EXPECT_EQ(Lines(create / "Customers_Create.sql"),
            (v2000 ? std::vector<std::string>{customers.front(), customers.back()} : customers));
  const std::vector<std::string> orders = {
      "Use Shop", "GO", "Create Schema [Sales]", "GO",
      "Create Table [Sales].[Orders] ([OrderID] int Identity(1,1) Not Null,[CustomerId] int "
      "Null)"};
  EXPECT_EQ(Lines(create / "Orders_Create.sql"),
            (v2000 ? orders : std::vector<std::string>{orders.front(), orders.back()}));
  EXPECT_EQ(Lines(create / "Lines_Create.sql"),
            (std::vector<std::string>{"Use Shop",
                                      "Create Table [Sales].[Lines] ([OrderID] int Not Null)"}));
  // A view's schema that no earlier script made is made by the view's script:
  // in 2000 here, and in every version when the view is saved alone.
  const std::vector<std::string> view = {
      "Use Shop", "GO", "Create Schema [Reports]", "GO",
      "Create View Reports.Totals As Select Count(*) n From Sales.Orders"};
  auto viewHead = [](const fs::path& folder) {
    auto lines = Lines(folder / "Programmability" / "View" / "Totals.sql");
    lines.resize(std::min<size_t>(lines.size(), 5));
    return lines;
  };
  EXPECT_EQ(viewHead(top[0]), (v2000 ? view : std::vector<std::string>{view[0], view[1], view[4]}));
  TempDir alone;
  ASSERT_EQ(RunCli({"export", s.path, alone.path(), "--only", "Totals"}).status, 0);
  std::vector<fs::path> aloneTop(fs::directory_iterator(alone.path()), fs::directory_iterator());
  ASSERT_EQ(aloneTop.size(), 1u);
  EXPECT_EQ(viewHead(aloneTop[0]), view);
  TokenRules rules;
  rules.keywords = {"CREATE", "TABLE", "NOT", "NULL", "USE", "IDENTITY", "SCHEMA"};
  for (const std::string& line : Lines(create / "Orders_Create.sql")) {
    EXPECT_EQ(CheckStatementTokens(FromUtf8(line) + u"\r\n", rules), "") << line;
  }

  const auto data = Lines(top[0] / "Tables_Data" / "Orders_Data.sql");
  ASSERT_EQ(data.size(), 6u);
  EXPECT_EQ(data[1], "Set Identity_Insert [Sales].[Orders] On");
  std::string error;
  const auto insert = ReadInsertStatement(FromUtf8(data[2]), &error);
  ASSERT_TRUE(insert) << error << ": " << data[2];
  EXPECT_EQ(insert->table, (std::vector<std::u16string>{u"Sales", u"Orders"}));
  EXPECT_EQ(data[4], "Set Identity_Insert [Sales].[Orders] Off");
  EXPECT_EQ(data[5], "DBCC CHECKIDENT ('[Sales].[Orders]', RESEED, 2)");

  const std::string toCustomers =
      "Alter table Sales.Orders Add Constraint FK_Orders_Customers Foreign Key(CustomerId) "
      "References Customers(Id)";
  const auto keys = Lines(top[0] / "ForeignKey" / "ForeignKeys.sql");
  EXPECT_TRUE(Holds(keys, toCustomers));
  EXPECT_TRUE(Holds(keys,
                    "Alter table Sales.Lines Add Constraint FK_Lines_Orders Foreign Key(OrderID) "
                    "References Sales.Orders(OrderID)"));
  EXPECT_TRUE(Holds(Lines(top[0] / "Constraints" / "Constraints.sql"),
                    "Alter Table Sales.Orders Add Constraint CK_Orders Check ([CustomerId]>(0))"));
  const auto primary = Lines(top[0] / "PrimaryKey" / "PrimaryKeys.sql");
  EXPECT_TRUE(Holds(primary,
                    "Alter Table Sales.Orders Add Constraint PK_Orders Primary Key "
                    "Clustered(OrderID)"))
      << testing::PrintToString(primary);
  EXPECT_TRUE(Holds(primary,
                    "Alter Table Customers Add Constraint PK_Customers Primary Key "
                    "Clustered(Id)"));

  // The preview and mendora-cli ddl say the same; a table is found by its
  // qualified name, as the tree labels it.
  EXPECT_EQ(RunCli({"ddl", s.path, "FK_Orders_Customers"}).out, toCustomers + "\n");
  EXPECT_EQ(RunCli({"ddl", s.path, "Sales.Lines"}).out,
            "Create Table [Sales].[Lines] ([OrderID] int Not Null)\n");
  const std::string tree = RunCli({"tree", s.path}).out;
  EXPECT_NE(tree.find("  Sales.Orders(2)\n"), std::string::npos) << tree;
  EXPECT_NE(tree.find("  Customers(1)\n"), std::string::npos) << tree;
  EXPECT_NE(tree.find("  Orders(0)\n"), std::string::npos) << tree;

  // SQLite has no schemas: the table that shares its name with another is
  // named with its schema, and references follow it.
  TempDir lite;
  const CliRun sqlite = RunCli({"export", s.path, lite.path(), "--format", "sqlite"});
  ASSERT_EQ(sqlite.status, 0) << sqlite.err;
  const std::string db = sqlite.out.substr(0, sqlite.out.find('\n'));
  const CliRun tables = RunProgram(
      {"sqlite3", "-batch", "-bail", db,
       "SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE '\\_%' ESCAPE "
       "'\\' ORDER BY name; SELECT count(*) FROM \"Sales.Orders\"; SELECT \"table\" FROM "
       "pragma_foreign_key_list('Lines');"});
  EXPECT_EQ(tables.out, "Customers\nItems\nLines\nOrders\nSales.Orders\n2\nSales.Orders\n")
      << tables.err;

  // A save of the table checked by its label, in CSV: schema.sql makes the
  // schema before the table.
  TempDir csv;
  const CliRun only = RunCli({"export", s.path, csv.path(), "--format", "csv", "--only",
                              "Sales.Lines", "--only", "Totals"});
  ASSERT_EQ(only.status, 0) << only.err;
  std::vector<fs::path> csvTop(fs::directory_iterator(csv.path()), fs::directory_iterator());
  ASSERT_EQ(csvTop.size(), 1u);
  const auto schema = Lines(csvTop[0] / "schema.sql");
  const auto made = std::find(schema.begin(), schema.end(), "Create Schema [Sales]");
  const auto table = std::find(schema.begin(), schema.end(),
                               "Create Table [Sales].[Lines] ([OrderID] int Not Null)");
  EXPECT_TRUE(made < table && table != schema.end())
      << ToUtf8(ScriptText((csvTop[0] / "schema.sql").string()));
  const auto reports = std::find(schema.begin(), schema.end(), "Create Schema [Reports]");
  const auto totals = std::find_if(schema.begin(), schema.end(), [](const std::string& line) {
    return line.starts_with("Create View Reports.Totals");
  });
  EXPECT_TRUE(reports < totals && totals != schema.end());
  // Only a save of the whole database makes the schema that holds nothing.
  EXPECT_FALSE(Holds(schema, "Create Schema [Empty]"));
  TempDir wholeCsv;
  ASSERT_EQ(RunCli({"export", s.path, wholeCsv.path(), "--format", "csv"}).status, 0);
  std::vector<fs::path> wholeTop(fs::directory_iterator(wholeCsv.path()), fs::directory_iterator());
  ASSERT_EQ(wholeTop.size(), 1u);
  EXPECT_EQ(Holds(Lines(wholeTop[0] / "schema.sql"), "Create Schema [Empty]"), !v2000);
  EXPECT_FALSE(Holds(schema,
                     "Create Table [Sales].[Orders] ([OrderID] int Identity(1,1) Not "
                     "Null,[CustomerId] int Null)"));

  // The bare name is the dbo table's label, not the other schema's table of
  // that name.
  TempDir bare;
  ASSERT_EQ(RunCli({"export", s.path, bare.path(), "--only", "Orders"}).status, 0);
  std::vector<fs::path> bareTop(fs::directory_iterator(bare.path()), fs::directory_iterator());
  ASSERT_EQ(bareTop.size(), 1u);
  std::vector<std::string> created;
  for (const auto& f : fs::directory_iterator(bareTop[0] / "Tables_Create")) {
    for (const std::string& line : Lines(f.path())) {
      if (line.starts_with("Create")) created.push_back(line);
    }
  }
  EXPECT_EQ(created, (std::vector<std::string>{"Create Table [Orders] ([Id] int Not Null)"}));
}

INSTANTIATE_TEST_SUITE_P(Versions, Schemas, ::testing::Values(539, 611, 655, 869),
                         [](const auto& info) { return "v" + std::to_string(info.param); });

}  // namespace
}  // namespace mdftest
