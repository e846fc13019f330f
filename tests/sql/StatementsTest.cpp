// The statements of the table, key, index, foreign-key and check scripts over
// hand-made catalogues, byte for byte.
#include <gtest/gtest.h>

#include "engine/TypeCodes.h"
#include "sql/Statements.h"
#include "tests/support/CatalogueMaker.h"

namespace mendora {
namespace {

using Maker = mdftest::CatalogueMaker;

TEST(Statements, TableDefinitions) {
  Maker m;
  m.Column(1, u"OrderID", 1, kXInt, 4, 1);
  m.Column(1, u"CustomerID", 2, kXNChar, 10, 0);
  m.Column(1, u"Freight", 3, kXMoney, 8, 0);
  m.Column(1, u"ShipName", 4, kXNVarChar, 80, 2);
  EXPECT_EQ(TableDefinitionStatement(m.c, 1, u"Orders"),
            u"Create Table [Orders] ([OrderID] int Not Null,[CustomerID] nchar(5) Null,"
            u"[Freight] money Null,[ShipName] nvarchar(40) Null)");

  // Sizes by type, colid order whatever the list order, and names that need
  // brackets of their own.
  Maker n;
  _SYSCOLUMNS& at = n.Column(2, u"At", 3, kXDateTime2, 8, 0);
  at.scale = 7;
  _SYSCOLUMNS& price = n.Column(2, u"Price", 1, kXDecimal, 9, 1);
  price.prec = 10;
  price.scale = 2;
  n.Column(2, u"Notes", 2, kXVarChar, -1, 0);
  n.Column(2, u"Blob", 4, kXVarBinary, -1, 0);
  n.Column(2, u"Hash", 5, kXBinary, 20, 1);
  n.Column(2, u"Bytes", 6, kXVarBinary, 50, 0);
  n.Column(2, u"Odd]Name", 7, kXChar, 3, 9);
  n.Column(2, u"Geo", 8, 200, 16, 0);
  // Status 9 has the NOT NULL bit beside another: the column is Not Null.
  EXPECT_EQ(TableDefinitionStatement(n.c, 2, u"My Table"),
            u"Create Table [My Table] ([Price] decimal(10,2) Not Null,[Notes] varchar(max) Null,"
            u"[At] datetime2(7) Null,[Blob] varbinary(max) Null,[Hash] binary(20) Not Null,"
            u"[Bytes] varbinary(50) Null,[Odd]]Name] char(3) Not Null,[Geo] varbinary(max) Null)");

  EXPECT_EQ(TableDefinitionStatement(n.c, 3, u"T"), u"Create Table [T] ()");
  EXPECT_EQ(BracketName(u"a]]b"), u"[a]]]]b]");
}

TEST(Statements, AliasTypesDefaultsAndTheInsertsOfIdentityTables) {
  Maker m;
  m.Object(u"titles", 10, 0, u"U ");
  m.Object(u"DF_x", 11, 10, u"D ");
  m.Object(u"bound", 12, 0, u"D ");
  _SYSCOLUMNS& id = m.Column(10, u"title_id", 1, kXVarChar, 6, 1);
  id.userType = 258;
  id.collationId = 0x3400D008;
  _SYSCOLUMNS& n = m.Column(10, u"n", 2, kXTinyInt, 1, 1);
  n.identity = true;
  n.identitySeed = 200;
  n.identityIncrement = 1;
  n.identityLast = 255;
  _SYSCOLUMNS& price = m.Column(10, u"price", 3, kXMoney, 8, 0);
  price.defaultId = 11;
  _SYSCOLUMNS& other = m.Column(10, u"other", 4, kXInt, 4, 0);
  other.defaultId = 12;  // a default bound from outside is not the table's
  m.c.defaultTexts.push_back({11, 0, 0, u"((0))", false});
  m.c.defaultTexts.push_back({12, 0, 0, u"create default bound as 1", false});
  m.c.aliasTypes.push_back({258, 1, u"tid", kXVarChar, 6, 0, 0, true});
  EXPECT_EQ(CreateTypeStatement(m.c.aliasTypes[0]), u"Create Type [tid] From varchar(6) Not Null");
  _AliasType sales = m.c.aliasTypes[0];
  sales.schemaName = u"Sales";
  EXPECT_EQ(CreateTypeStatement(sales), u"Create Type [Sales].[tid] From varchar(6) Not Null");
  EXPECT_EQ(TableDefinitionStatement(m.c, 10, u"titles"),
            u"Create Table [titles] ([title_id] [tid] Collate SQL_Latin1_General_CP1_CI_AS Not "
            u"Null,[n] tinyint Identity(200,1) Not Null,"
            u"[price] money Null Constraint [DF_x] Default ((0)),[other] int Null)");

  std::vector<_SYSCOLUMNS> columns = m.c.columns;
  const _SYSOBJECTS titles{.name = u"titles"};
  EXPECT_EQ(InsertHead(titles, columns),
            u"Insert into [titles] ([title_id],[n],[price],[other]) Values(");
  columns[1].identity = false;
  EXPECT_EQ(InsertHead(titles, columns), u"Insert into [titles] Values(");
  columns[3].xtype = kXTimestamp;
  // A computed column whose definition is lost is declared plain and keeps
  // its values; with its definition it takes none.
  columns[0].computed = true;
  EXPECT_EQ(InsertHead(titles, columns), u"Insert into [titles] ([title_id],[n],[price]) Values(");
  columns[0].computedText = u"([n]*(2))";
  EXPECT_EQ(InsertHead(titles, columns), u"Insert into [titles] ([n],[price]) Values(");
  const _SYSOBJECTS quoted{.name = u"It's]"};
  EXPECT_EQ(IdentityInsertStatement(quoted, true), u"Set Identity_Insert [It's]]] On");
  EXPECT_EQ(ReseedStatement(quoted, m.c.columns[1]), u"DBCC CHECKIDENT ('[It''s]]]', RESEED, 255)");
}

TEST(Statements, KeysAndIndexes) {
  Maker m;
  m.Object(u"Orders", 10, 0, u"U ");
  m.Object(u"Customers", 20, 0, u"U ");
  m.Object(u"PK_Orders", 11, 10, u"PK");
  m.Column(10, u"OrderID", 1);
  m.Column(10, u"CustomerID", 2);
  m.Column(20, u"LastName", 1);
  m.Column(20, u"FirstName", 2);
  m.Column(20, u"CustomerID", 3);
  m.Key(10, 1, 1);
  m.Key(20, 2, 1);
  m.Key(20, 2, 2);
  m.Key(20, 3, 2, false, true);

  EXPECT_EQ(KeyOrIndexStatement(m.c, 10, 1, u"PK", u"PK_Orders", false, StatementUse::kScript),
            u"Alter Table Orders Add Constraint PK_Orders Primary Key Clustered(OrderID)");
  EXPECT_EQ(KeyOrIndexStatement(m.c, 20, 2, u"", u"IX_Name", true, StatementUse::kScript),
            u"Create Unique Nonclustered Index IX_Name On Customers(LastName,FirstName)");
  EXPECT_EQ(KeyOrIndexStatement(m.c, 20, 2, u"", u"IX_Name", false, StatementUse::kScript),
            u"Create Nonclustered Index IX_Name On Customers(LastName,FirstName)");
  EXPECT_EQ(KeyOrIndexStatement(m.c, 20, 3, u"", u"IX First", false, StatementUse::kScript),
            u"Create Nonclustered Index [IX First] On Customers(FirstName DESC)");
  // The script's unique key is what the server runs, and says which index
  // holds the rows (index 1 clustered); the preview keeps its words and says
  // the same of the index.
  EXPECT_EQ(
      KeyOrIndexStatement(m.c, 20, 2, u"UQ", u"UQ_Name", false, StatementUse::kScript),
      u"Alter Table Customers Add Constraint UQ_Name Unique Nonclustered(LastName,FirstName)");
  EXPECT_EQ(KeyOrIndexStatement(m.c, 20, 2, u"UQ", u"UQ_Name", false),
            u"Alter Table Customers Add Constraint UQ_Name Unique Key "
            u"Nonclustered(LastName,FirstName)");
  // No key columns: nothing for a script, the bare statement for a preview.
  EXPECT_EQ(KeyOrIndexStatement(m.c, 20, 9, u"", u"IX_None", false, StatementUse::kScript), u"");
  EXPECT_EQ(KeyOrIndexStatement(m.c, 20, 9, u"", u"IX_None", false),
            u"Create Nonclustered Index IX_None On Customers()");
}

TEST(Statements, ForeignKeys) {
  Maker m;
  m.Object(u"Orders", 10, 0, u"U ");
  m.Object(u"Customers", 20, 0, u"U ");
  m.Object(u"FK_A", 30, 10, u"F ");
  m.Object(u"FK_Broken", 31, 10, u"F ");
  m.Column(10, u"CustomerID", 2);
  m.Column(20, u"CustomerID", 1);
  m.Reference(30, kReferencingColumn, 10, 2);
  m.Reference(30, kReferencedColumn, 20, 1);
  m.Reference(31, kReferencingColumn, 10, 2);
  EXPECT_EQ(ForeignKeyStatement(m.c, 30, StatementUse::kScript),
            u"Alter table Orders Add Constraint FK_A Foreign Key(CustomerID) References "
            u"Customers(CustomerID)");
  EXPECT_EQ(ForeignKeyStatement(m.c, 31, StatementUse::kScript), u"");
  EXPECT_EQ(ForeignKeyStatement(m.c, 31),
            u"Alter table Orders Add Constraint FK_Broken Foreign Key(CustomerID) References ()");
}

}  // namespace
}  // namespace mendora
