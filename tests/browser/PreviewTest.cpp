// The key, index, foreign-key, check and module previews over hand-made
// catalogues: wording, key order, names that need brackets, objects that share
// a name, and the module text's lines.
#include <gtest/gtest.h>

#include "browser/KeyPreview.h"
#include "browser/ModulePreview.h"
#include "engine/Utf16.h"
#include "sql/SqlName.h"
#include "tests/support/CatalogueMaker.h"
#include "ui/MemoryListControl.h"
#include "ui/MemoryTreeControl.h"

using namespace mendora;

namespace {

using Maker = mdftest::CatalogueMaker;

// Orders(10): A colid 1, B colid 2, "Order Date" colid 3; Customers(20): Id.
Maker PreviewShop() {
  Maker m;
  m.Object(u"Orders", 10, 0, u"U ");
  m.Object(u"Customers", 20, 0, u"U ");
  m.Column(10, u"A", 1);
  m.Column(10, u"B", 2);
  m.Column(10, u"Order Date", 3);
  m.Column(20, u"Id", 1);
  return m;
}

std::string Statement(const Catalogue& c, NodeObject node) {
  auto preview = KeyObjectPreview(c, node);
  return preview ? ToUtf8(preview->text) : "<none>";
}

TEST(KeyPreview, PrimaryKeyColumnsComeInKeyOrderNotColidOrder) {
  Maker m = PreviewShop();
  m.Object(u"PK_Orders", 11, 10, u"PK");
  m.Index(10, 1, u"PK_Orders", true, true);
  m.Key(10, 1, 2);
  m.Key(10, 1, 1);
  auto preview = KeyObjectPreview(m.c, {NodeKind::kPrimaryKey, 11, 10, 0});
  ASSERT_TRUE(preview);
  EXPECT_EQ(ToUtf8(preview->heading), "DDL For Primary Key");
  EXPECT_EQ(ToUtf8(preview->text),
            "Alter Table Orders Add Constraint PK_Orders Primary Key Clustered(B,A)");
}

TEST(KeyPreview, UniqueKeyAndIndexesWithTheirWording) {
  Maker m = PreviewShop();
  m.Object(u"UQ_Code", 12, 10, u"UQ");
  m.Index(10, 2, u"UQ_Code", true);
  m.Key(10, 2, 1);
  m.Index(10, 3, u"IX_Plain");
  m.Key(10, 3, 2);
  m.Index(10, 4, u"IX_Unique", true);
  m.Key(10, 4, 1);
  m.Key(10, 4, 2, /*included=*/true);
  auto uq = KeyObjectPreview(m.c, {NodeKind::kUniqueKey, 12, 10, 0});
  ASSERT_TRUE(uq);
  EXPECT_EQ(ToUtf8(uq->heading), "DDL For Unique Key");
  EXPECT_EQ(ToUtf8(uq->text),
            "Alter Table Orders Add Constraint UQ_Code Unique Key Nonclustered(A)");
  auto plain = KeyObjectPreview(m.c, {NodeKind::kIndex, 0, 10, 3});
  ASSERT_TRUE(plain);
  EXPECT_EQ(ToUtf8(plain->heading), "DDL For Indexes");
  EXPECT_EQ(ToUtf8(plain->text), "Create Nonclustered Index IX_Plain On Orders(B)");
  EXPECT_EQ(Statement(m.c, {NodeKind::kIndex, 0, 10, 4}),
            "Create Unique Nonclustered Index IX_Unique On Orders(A) Include(B)");
}

TEST(KeyPreview, NamesThatAreNotRegularIdentifiersAreBracketed) {
  Maker m;
  m.Object(u"Order Details", 30, 0, u"U ");
  m.Column(30, u"WHERE", 1);
  m.Column(30, u"a]b", 2);
  m.Column(30, u"1st", 3);
  m.Index(30, 2, u"IX Details");
  m.Key(30, 2, 1);
  m.Key(30, 2, 2);
  m.Key(30, 2, 3);
  EXPECT_EQ(Statement(m.c, {NodeKind::kIndex, 0, 30, 2}),
            "Create Nonclustered Index [IX Details] On [Order Details]([WHERE],[a]]b],[1st])");
  EXPECT_EQ(ToUtf8(QuoteName(u"Customers")), "Customers");
  EXPECT_EQ(ToUtf8(QuoteName(u"_x@1#$")), "_x@1#$");
  EXPECT_EQ(ToUtf8(QuoteName(u"select")), "[select]");
  EXPECT_EQ(ToUtf8(QuoteName(u"\u5c71\u7530")), ToUtf8(u"\u5c71\u7530"));
  EXPECT_EQ(ToUtf8(QuoteName(u"")), "[]");
}

TEST(KeyPreview, ForeignKeyNamesBothColumnListsInKeyOrder) {
  Maker m = PreviewShop();
  m.Object(u"FK_Orders_Customers", 40, 10, u"F ");
  m.c.dependencies.push_back({kReferencingColumn, 40, 10, 2, 1});
  m.c.dependencies.push_back({kReferencedColumn, 40, 20, 1, 1});
  m.c.dependencies.push_back({kReferencingColumn, 40, 10, 3, 2});
  m.c.dependencies.push_back({kReferencedColumn, 40, 20, 1, 2});
  m.c.dependencies.push_back({kReferencingColumn, 41, 10, 1, 1});  // another key's
  auto fk = KeyObjectPreview(m.c, {NodeKind::kForeignKey, 40, 10, 0});
  ASSERT_TRUE(fk);
  EXPECT_EQ(ToUtf8(fk->heading), "DDL For Foreign Key");
  EXPECT_EQ(ToUtf8(fk->text),
            "Alter table Orders Add Constraint FK_Orders_Customers Foreign Key(B,[Order Date]) "
            "References Customers(Id,Id)");
}

TEST(KeyPreview, CheckShowsTheWholeRecoveredTextOrNothingAfterCheck) {
  Maker m = PreviewShop();
  m.Object(u"CK_A", 50, 10, u"C ");
  m.Object(u"CK_B", 51, 10, u"C ");
  const std::u16string longText = u"([A] > 0 and " + std::u16string(5000, u'x') + u")";
  m.CheckText(50, longText);
  auto a = KeyObjectPreview(m.c, {NodeKind::kCheck, 50, 10, 0});
  ASSERT_TRUE(a);
  EXPECT_EQ(ToUtf8(a->heading), "DDL For Check Constraint");
  EXPECT_EQ(a->text, u"Alter Table Orders Add Constraint CK_A Check " + longText);
  EXPECT_EQ(Statement(m.c, {NodeKind::kCheck, 51, 10, 0}),
            "Alter Table Orders Add Constraint CK_B Check ");
}

TEST(KeyPreview, TheNodesObjectIsShownWhenAnotherSharesItsName) {
  Maker m = PreviewShop();
  m.Object(u"FK_Same", 60, 10, u"F ");
  m.Object(u"FK_Same", 61, 20, u"F ");
  m.c.dependencies.push_back({kReferencingColumn, 60, 10, 1, 1});
  m.c.dependencies.push_back({kReferencedColumn, 60, 20, 1, 1});
  m.c.dependencies.push_back({kReferencingColumn, 61, 20, 1, 1});
  m.c.dependencies.push_back({kReferencedColumn, 61, 10, 2, 1});
  EXPECT_EQ(Statement(m.c, {NodeKind::kForeignKey, 60, 10, 0}),
            "Alter table Orders Add Constraint FK_Same Foreign Key(A) References Customers(Id)");
  EXPECT_EQ(Statement(m.c, {NodeKind::kForeignKey, 61, 20, 0}),
            "Alter table Customers Add Constraint FK_Same Foreign Key(Id) References Orders(B)");
  EXPECT_EQ(Statement(m.c, {NodeKind::kTable, 10, 10, 0}), "<none>");
}

TEST(KeyPreview, ShowStatementLeavesOneColumnAndOneRow) {
  ui::MemoryListControl list;
  list.InsertColumn(0, u"x", 100);
  list.InsertColumn(1, u"y", 100);
  list.InsertItem(0, u"old");
  ShowStatement(list, u"DDL For Indexes", u"Create Index I On T(A)");
  ASSERT_EQ(list.GetColumnCount(), 1);
  EXPECT_EQ(list.GetColumnHeading(0), u"DDL For Indexes");
  EXPECT_EQ(list.GetColumnWidth(0), 1500);
  ASSERT_EQ(list.GetItemCount(), 1);
  EXPECT_EQ(list.GetItemText(0, 0), u"Create Index I On T(A)");
}

TEST(KeyPreview, EachKindShowsUnderItsHeading) {
  Maker m = PreviewShop();
  m.Object(u"FK", 40, 10, u"F ");
  m.Object(u"CK", 50, 10, u"C ");
  m.Index(10, 3, u"IX");
  m.Key(10, 3, 1);
  ui::MemoryListControl list;
  auto shown = [&] {
    return ToUtf8(list.GetColumnHeading(0)) + "|" + ToUtf8(list.GetItemText(0, 0));
  };
  ASSERT_TRUE(ShowKeyObjectDdl(list, m.c, {NodeKind::kIndex, 0, 10, 3}));
  EXPECT_EQ(shown(), "DDL For Indexes|Create Nonclustered Index IX On Orders(A)");
  ASSERT_TRUE(ShowKeyObjectDdl(list, m.c, {NodeKind::kForeignKey, 40, 10, 0}));
  EXPECT_EQ(shown(),
            "DDL For Foreign Key|Alter table Orders Add Constraint FK Foreign Key() "
            "References ()");
  ASSERT_TRUE(ShowKeyObjectDdl(list, m.c, {NodeKind::kCheck, 50, 10, 0}));
  EXPECT_EQ(shown(), "DDL For Check Constraint|Alter Table Orders Add Constraint CK Check ");
  // A node without a preview leaves the list as it was.
  EXPECT_FALSE(ShowKeyObjectDdl(list, m.c, {NodeKind::kTable, 10, 10, 0}));
  EXPECT_EQ(shown(), "DDL For Check Constraint|Alter Table Orders Add Constraint CK Check ");
  EXPECT_EQ(list.GetColumnCount(), 1);
  EXPECT_EQ(list.GetItemCount(), 1);
}

std::vector<std::string> Lines(std::u16string_view text) {
  std::vector<std::string> out;
  for (const auto& line : ModuleLines(text)) out.push_back(ToUtf8(line));
  return out;
}

TEST(ModulePreview, LinesAreCutAtLineBreaksAndTabsBecomeSpaces) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Lines(u"\r\n\r\ncreate proc p\r\n\r\nas\tselect 1"),
            (V{"create proc p", "", "as select 1"}));
  EXPECT_EQ(Lines(u"create view v as select 1\r\n"), (V{"create view v as select 1", ""}));
  EXPECT_EQ(Lines(u"one line"), (V{"one line"}));
  // A lone LF or CR breaks a line too: inside a row it would hide the rest.
  EXPECT_EQ(Lines(u"\ncreate view v AS\r\nselect 1\nfrom t\rwhere 1 = 1"),
            (V{"create view v AS", "select 1", "from t", "where 1 = 1"}));
  const std::u16string longLine(kMaxModuleLine + 10, u'a');
  EXPECT_EQ(ModuleLines(longLine + u"\r\nb").front().size(), kMaxModuleLine);
}

TEST(ModulePreview, ShowsTheTextOrLeavesTheListAsItWas) {
  Catalogue c;
  _Procedures text;
  text.objectId = 7;
  text.text = u"create proc p\r\nas select 1";
  c.moduleTexts.push_back(text);
  ui::MemoryListControl list;
  list.InsertColumn(0, u"previous", 100);
  EXPECT_FALSE(ShowModuleTextById(list, c, 8));
  EXPECT_EQ(list.GetColumnHeading(0), u"previous");
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_TRUE(ShowModuleTextById(list, c, 7));
  ASSERT_EQ(list.GetColumnCount(), 1);
  EXPECT_EQ(list.GetColumnHeading(0), u"DDL For Programmability");
  EXPECT_EQ(list.GetColumnWidth(0), 1500);
  ASSERT_EQ(list.GetItemCount(), 2);
  EXPECT_EQ(list.GetItemText(1, 0), u"as select 1");
}

TEST(ModulePreview, AnIncompleteTextSaysSoInACommentLine) {
  Maker m = PreviewShop();
  m.Object(u"CK_A", 50, 10, u"C ");
  m.CheckText(50, u"([A] >", true);
  EXPECT_EQ(Statement(m.c, {NodeKind::kCheck, 50, 10, 0}),
            "Alter Table Orders Add Constraint CK_A Check ([A] > -- text incomplete: rows missing");

  m.ModuleText(7, u"create proc p\r\nas select", true);
  ui::MemoryListControl list;
  ASSERT_TRUE(ShowModuleTextById(list, m.c, 7));
  ASSERT_EQ(list.GetItemCount(), 3);
  EXPECT_EQ(list.GetItemText(0, 0), u"-- text incomplete: rows missing");
  EXPECT_EQ(list.GetItemText(1, 0), u"create proc p");
}

TEST(ModulePreview, ShowModuleTextTakesTheNodesModule) {
  Catalogue c;
  c.objects.push_back({u"p", 7, 0, u"P "});
  c.objects.push_back({u"p", 8, 0, u"P "});  // the same name
  _Procedures text;
  text.objectId = 8;
  text.text = u"create proc p as select 8";
  c.moduleTexts.push_back(text);
  ui::MemoryTreeControl tree;
  ObjectHandleList handles;
  const ObjectTreeNodes nodes =
      ResetAndBuildObjectTree(tree, c, FlagsForVersion(kVersion2005), u"F", handles);
  const auto procedures = tree.GetChildItems(nodes.procedures);
  ASSERT_EQ(procedures.size(), 2u);
  ui::MemoryListControl list;
  EXPECT_FALSE(ShowModuleText(list, c, nodes, procedures[0]));
  EXPECT_TRUE(ShowModuleText(list, c, nodes, procedures[1]));
  EXPECT_EQ(list.GetItemText(0, 0), u"create proc p as select 8");
  EXPECT_FALSE(ShowModuleText(list, c, nodes, nodes.procedures));
}

TEST(PreviewObjects, ListsKeysIndexesChecksAndModulesButNotAKeysOwnIndex) {
  Maker m = PreviewShop();
  m.Object(u"PK_Orders", 11, 10, u"PK");
  m.Index(10, 1, u"PK_Orders", true, true);
  m.Index(10, 2, u"Customers");  // named like a table: still an index
  m.Index(10, 3, u"_WA_Sys_A");
  m.Object(u"CK_A", 50, 10, u"C ");
  m.Object(u"p", 70, 0, u"P ");
  std::vector<std::string> names;
  for (const auto& [name, object] : PreviewObjects(m.c, FlagsForVersion(kVersion2005))) {
    names.push_back(ToUtf8(name));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"PK_Orders", "Customers", "CK_A", "p"}));
}

}  // namespace
