// The object tree built from hand-made catalogues: its shape and labels, what
// is shown and what is left out, check boxes, the object handle list, order
// and the reset that precedes every build.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "browser/ObjectTree.h"
#include "browser/TreeText.h"
#include "engine/IndexEntry.h"
#include "engine/Utf16.h"
#include "ui/MemoryTreeControl.h"
#include "ui/ProductTexts.h"

using namespace mendora;
using ui::MemoryTreeControl;
using ui::TreeHandle;

namespace {

VersionFlags V539() {
  return FlagsForVersion(kVersion2000);
}
VersionFlags V611() {
  return FlagsForVersion(kVersion2005);
}
VersionFlags V655() {
  return FlagsForVersion(kVersion2008);
}

// 2005/2008 sysidxstats status of an ordinary index, a primary key, a unique
// constraint, and of statistics (no 0x01).
constexpr uint8_t kPlainIndex = 0x03;
constexpr uint8_t kPrimaryKeyIndex = 0x2B;
constexpr uint8_t kUniqueKeyIndex = 0x4B;
constexpr uint8_t kStatistics = 0x00;

struct CatalogueMaker {
  Catalogue c;

  void Table(std::u16string name, int64_t id) {
    _SYSOBJECTS o{std::move(name), id, 0, u"U "};
    c.objects.push_back(o);
    c.userTables.push_back(o);
  }
  void Object(std::u16string name, int64_t id, int64_t parent, std::u16string type) {
    c.objects.push_back({std::move(name), id, parent, std::move(type)});
  }
  void Column(int64_t table, std::u16string name, uint8_t xtype, int16_t length, int16_t colid,
              uint8_t status = 0) {
    _SYSCOLUMNS col;
    col.name = std::move(name);
    col.tableId = table;
    col.xtype = xtype;
    col.length = length;
    col.colid = colid;
    col.status = status;
    c.columns.push_back(col);
  }
  void Index(int32_t table, uint16_t indid, std::u16string name, uint8_t status,
             uint32_t rowCount = 0) {
    _SYSINDEXES row;
    row.tableId = table;
    row.indid = row.indid2 = indid;
    row.name = std::move(name);
    row.status = status;
    row.rowCount = rowCount;
    c.indexRows.push_back(row);
  }
};

struct Built {
  MemoryTreeControl tree;
  ObjectHandleList handles;
  ObjectTreeNodes nodes;
};

void Build(Built& b, const Catalogue& c, VersionFlags v = V611()) {
  b.nodes = ResetAndBuildObjectTree(b.tree, c, v, u"/data/shop.mdf", b.handles);
}

std::string Text(const ui::TreeControl& tree, TreeHandle h) {
  return ToUtf8(tree.GetItemText(h));
}

std::vector<std::string> Labels(const ui::TreeControl& tree, TreeHandle parent) {
  std::vector<std::string> out;
  for (TreeHandle h : tree.GetChildItems(parent)) out.push_back(Text(tree, h));
  return out;
}

// The first child whose label is `label`, or whose label starts with `label`
// followed by "(" when `prefixOnly` is set.
TreeHandle Child(const ui::TreeControl& tree, TreeHandle parent, const std::string& label,
                 bool prefixOnly = false) {
  for (TreeHandle h : tree.GetChildItems(parent)) {
    std::string text = Text(tree, h);
    if (text == label || (prefixOnly && text.rfind(label + "(", 0) == 0)) return h;
  }
  ADD_FAILURE() << "no child " << label << " under " << Text(tree, parent);
  return ui::kNoTreeItem;
}

// The node of a table (by name, whatever its row count) and one of its groups.
TreeHandle TableNode(const Built& b, const std::string& name) {
  return Child(b.tree, b.nodes.tables, name, true);
}
TreeHandle Group(const Built& b, const std::string& table, const std::string& group) {
  return Child(b.tree, TableNode(b, table), group, true);
}

void CollectAll(const ui::TreeControl& tree, TreeHandle h, std::vector<TreeHandle>& out) {
  out.push_back(h);
  for (TreeHandle child : tree.GetChildItems(h)) CollectAll(tree, child, out);
}
std::vector<TreeHandle> AllNodes(const ui::TreeControl& tree) {
  std::vector<TreeHandle> out;
  for (TreeHandle root : tree.GetRootItems()) CollectAll(tree, root, out);
  return out;
}

// A small shop: two tables with keys, an index, a check, a default, and
// modules of every kind, in a deliberately unsorted order.
CatalogueMaker Shop() {
  CatalogueMaker m;
  m.Object(u"sysobjects", 1, 0, u"S ");
  m.Table(u"Orders", 10);
  m.Table(u"customers", 20);
  m.Object(u"PK_Orders", 11, 10, u"PK");
  m.Object(u"FK_Orders_Customers", 12, 10, u"F ");
  m.Object(u"CK_Qty", 13, 10, u"C ");
  m.Object(u"UQ_Number", 14, 10, u"UQ");
  m.Object(u"DF_Qty", 15, 10, u"D ");
  m.Object(u"xp_thing", 31, 0, u"X ");
  m.Object(u"tableF", 36, 0, u"TF");
  m.Object(u"ListOrders", 30, 0, u"P ");
  m.Object(u"fnTotal", 32, 0, u"FN");
  m.Object(u"AuditOrders", 33, 10, u"TR");
  m.Object(u"OrderView", 34, 0, u"V ");
  m.Object(u"inlineF", 35, 0, u"IF");
  m.Column(10, u"Qty", 56, 4, 2, 1);
  m.Column(20, u"Name", 167, 40, 1, 0);
  m.Column(10, u"Id", 56, 4, 1, 1);
  m.Column(10, u"Note", 231, 100, 3, 0);
  m.Index(10, 1, u"PK_Orders", kPrimaryKeyIndex, 5);
  m.Index(10, 2, u"IX_Qty", kPlainIndex, 5);
  m.Index(10, 3, u"UQ_Number", kUniqueKeyIndex, 5);
  m.Index(20, 0, u"", 0, 7);
  return m;
}

}  // namespace

TEST(ObjectTreeTest, ShopTreeHasTheLabelsAndOrderOfTheWindow) {
  Built b;
  Build(b, Shop().c);
  EXPECT_EQ(TreeText(b.tree),
            "/data/shop.mdf\n"
            "  Tables(2)\n"
            "    customers(7)\n"
            "      Columns(1)\n"
            "        Name(varchar(40),Null)\n"
            "      Primary Keys(0)\n"
            "      Unique Keys(0)\n"
            "      Foreign Keys(0)\n"
            "      Indexes(0)\n"
            "      Constraints(0)\n"
            "    Orders(5)\n"
            "      Columns(3)\n"
            "        Id(int,Not Null)\n"
            "        Qty(int,Not Null)\n"
            "        Note(nvarchar(50),Null)\n"
            "      Primary Keys(1)\n"
            "        PK_Orders\n"
            "      Unique Keys(1)\n"
            "        UQ_Number\n"
            "      Foreign Keys(1)\n"
            "        FK_Orders_Customers\n"
            "      Indexes(1)\n"
            "        IX_Qty\n"
            "      Constraints(1)\n"
            "        CK_Qty\n"
            "  Programmability\n"
            "    Procedures(2)\n"
            "      ListOrders\n"
            "      xp_thing\n"
            "    Functions(3)\n"
            "      fnTotal\n"
            "      inlineF\n"
            "      tableF\n"
            "    Triggers(1)\n"
            "      AuditOrders\n"
            "    Views(1)\n"
            "      OrderView\n");
}

TEST(ObjectTreeTest, ResetAndBuildStateAfterwards) {
  Built b;
  Build(b, Shop().c);
  EXPECT_EQ(b.tree.GetRootItems().size(), 1u);
  EXPECT_EQ(b.tree.GetSelectedItem(), b.nodes.root);
  EXPECT_TRUE(b.tree.IsExpanded(b.nodes.root));
  EXPECT_TRUE(b.tree.IsExpanded(b.nodes.tables));
  EXPECT_TRUE(b.tree.IsExpanded(b.nodes.programmability));
  // Table nodes were expanded while they had no children, which leaves them closed.
  EXPECT_FALSE(b.tree.IsExpanded(TableNode(b, "Orders")));
  EXPECT_FALSE(b.tree.CheckBoxStyle());
  // The view's remembered nodes: the groups of the table filled last (customers).
  EXPECT_EQ(Text(b.tree, b.nodes.procedures), "Procedures(2)");
  EXPECT_EQ(Text(b.tree, b.nodes.views), "Views(1)");
  EXPECT_EQ(b.tree.GetParentItem(b.nodes.lastTable.indexes), TableNode(b, "customers"));
  EXPECT_EQ(Text(b.tree, b.nodes.lastTable.constraints), "Constraints(0)");
}

TEST(ObjectTreeTest, UnrecognisedVersionLeavesTheProductRootOnly) {
  Built b;
  Build(b, Shop().c);  // a tree from an earlier file
  ASSERT_GT(b.tree.Count(), 1u);
  Build(b, Shop().c, VersionFlags{});
  ASSERT_EQ(b.tree.GetRootItems().size(), 1u);
  EXPECT_EQ(Text(b.tree, b.tree.GetRootItem()), texts::kProductName);
  EXPECT_EQ(b.tree.Count(), 1u);
  EXPECT_TRUE(b.handles.empty());
  EXPECT_EQ(b.tree.GetStateImage(b.tree.GetRootItem()), ui::kNoCheckBox);
}

TEST(ObjectTreeTest, AnEmptyCatalogueStillHasEveryGroup) {
  Built b;
  Build(b, Catalogue{}, V539());
  EXPECT_EQ(TreeText(b.tree),
            "/data/shop.mdf\n"
            "  Tables(0)\n"
            "  Programmability\n"
            "    Procedures(0)\n"
            "    Functions(0)\n"
            "    Triggers(0)\n"
            "    Views(0)\n");
}

TEST(ObjectTreeTest, RowCountIsZeroWithoutIndexRowsAndOtherwiseTheLastRowsCount) {
  CatalogueMaker m;
  m.Table(u"Empty", 100);
  m.Table(u"Many", 200);
  m.Table(u"Negative", -300);
  m.Index(200, 0, u"", 0, 11);
  m.Index(100 + 1, 0, u"", 0, 99);  // another id: not Empty's
  m.Index(200, 1, u"cl", kPlainIndex, 22);
  m.Index(-300, 0, u"", 0, 4);
  m.Index(200, 2, u"ix", kPlainIndex, 33);
  m.Index(200, 3, u"ix3", kPlainIndex, 0);  // the last row wins, even with 0
  m.Index(-300, 2, u"n", kPlainIndex, 4000000000u);
  Built b;
  Build(b, m.c);
  EXPECT_EQ(Labels(b.tree, b.nodes.tables),
            (std::vector<std::string>{"Empty(0)", "Many(0)", "Negative(4000000000)"}));
}

TEST(ObjectTreeTest, ModulesAndColumnsAreNeverFilteredByName) {
  CatalogueMaker m;
  m.Table(u"T", 1);
  m.Object(u"_WA_Sys_00000002_1A2B3C4D", 2, 0, u"P ");
  m.Object(u"", 3, 0, u"V ");
  m.Object(u"T", 4, 1, u"TR");  // named like its table
  m.Object(u"T", 5, 0, u"FN");
  m.Column(1, u"_WA_Sys_00000002_1A2B3C4D", 56, 4, 1);
  m.Column(1, u"", 56, 4, 2);
  m.Column(1, u"T", 56, 4, 3);
  Built b;
  Build(b, m.c);
  EXPECT_EQ(Labels(b.tree, b.nodes.procedures),
            (std::vector<std::string>{"_WA_Sys_00000002_1A2B3C4D"}));
  EXPECT_EQ(Labels(b.tree, b.nodes.views), (std::vector<std::string>{""}));
  EXPECT_EQ(Labels(b.tree, b.nodes.triggers), (std::vector<std::string>{"T"}));
  EXPECT_EQ(Labels(b.tree, b.nodes.functions), (std::vector<std::string>{"T"}));
  TreeHandle columns = Group(b, "T", "Columns");
  EXPECT_EQ(Text(b.tree, columns), "Columns(3)");
  EXPECT_EQ(Labels(b.tree, columns),
            (std::vector<std::string>{"_WA_Sys_00000002_1A2B3C4D(int,Null)", "(int,Null)",
                                      "T(int,Null)"}));
}

TEST(ObjectTreeTest, ColumnsInStableColidOrderAndOnlyTheTablesOwn) {
  CatalogueMaker m;
  m.Table(u"T", 1);
  m.Table(u"U", 2);
  m.Column(1, u"c3", 56, 4, 3);
  m.Column(2, u"other", 56, 4, 1);
  m.Column(1, u"first1", 56, 4, 1);
  m.Column(1, u"neg", 56, 4, -2);
  m.Column(1, u"second1", 56, 4, 1);
  m.Column(3, u"orphan", 56, 4, 1);  // no user table 3
  Built b;
  Build(b, m.c);
  TreeHandle columns = Group(b, "T", "Columns");
  EXPECT_EQ(Text(b.tree, columns), "Columns(4)");
  EXPECT_EQ(Labels(b.tree, columns),
            (std::vector<std::string>{"neg(int,Null)", "first1(int,Null)", "second1(int,Null)",
                                      "c3(int,Null)"}));
  EXPECT_EQ(Labels(b.tree, Group(b, "U", "Columns")),
            (std::vector<std::string>{"other(int,Null)"}));
}

TEST(ObjectTreeTest, OnlyTheFirstPrimaryKeyOfATableIsShown) {
  CatalogueMaker m;
  m.Table(u"T", 1);
  m.Table(u"U", 2);
  m.Object(u"PK_U", 9, 2, u"PK");
  m.Object(u"PK_first", 10, 1, u"PK");
  m.Object(u"PK_second", 11, 1, u"PK");
  m.Object(u"pk_lower", 12, 1, u"pk");  // type codes are compared exactly
  Built b;
  Build(b, m.c);
  TreeHandle keys = Group(b, "T", "Primary Keys");
  EXPECT_EQ(Text(b.tree, keys), "Primary Keys(1)");
  EXPECT_EQ(Labels(b.tree, keys), (std::vector<std::string>{"PK_first"}));
  EXPECT_EQ(Labels(b.tree, Group(b, "U", "Primary Keys")), (std::vector<std::string>{"PK_U"}));
}

TEST(ObjectTreeTest, KeyAndConstraintGroupsListTheTablesObjectsInCatalogueOrder) {
  CatalogueMaker m;
  m.Table(u"T", 1);
  m.Table(u"U", 2);
  m.Object(u"FK_z", 10, 1, u"F ");
  m.Object(u"FK_u", 11, 2, u"F ");
  m.Object(u"FK_a", 12, 1, u"F ");
  m.Object(u"UQ_b", 13, 1, u"UQ");
  m.Object(u"UQ_a", 14, 1, u"UQ");
  m.Object(u"CK_y", 15, 1, u"C ");
  m.Object(u"CK_x", 16, 1, u"C ");
  m.Object(u"F_no_blank", 17, 1, u"F");  // not exactly "F "
  Built b;
  Build(b, m.c);
  TreeHandle fks = Group(b, "T", "Foreign Keys");
  EXPECT_EQ(Text(b.tree, fks), "Foreign Keys(2)");
  EXPECT_EQ(Labels(b.tree, fks), (std::vector<std::string>{"FK_z", "FK_a"}));
  TreeHandle uqs = Group(b, "T", "Unique Keys");
  EXPECT_EQ(Text(b.tree, uqs), "Unique Keys(2)");
  EXPECT_EQ(Labels(b.tree, uqs), (std::vector<std::string>{"UQ_b", "UQ_a"}));
  TreeHandle checks = Group(b, "T", "Constraints");
  EXPECT_EQ(Text(b.tree, checks), "Constraints(2)");
  EXPECT_EQ(Labels(b.tree, checks), (std::vector<std::string>{"CK_y", "CK_x"}));
  EXPECT_EQ(Labels(b.tree, Group(b, "U", "Foreign Keys")), (std::vector<std::string>{"FK_u"}));
  EXPECT_EQ(Labels(b.tree, TableNode(b, "T")),
            (std::vector<std::string>{"Columns(0)", "Primary Keys(0)", "Unique Keys(2)",
                                      "Foreign Keys(2)", "Indexes(0)", "Constraints(2)"}));
}

TEST(ObjectTreeTest, IndexRowsWithOneIndidMakeOneChildNamedByTheFirst) {
  CatalogueMaker m;
  m.Table(u"T", 1);
  m.Index(1, 2, u"IX_first", kPlainIndex);
  m.Index(1, 2, u"IX_second", kPlainIndex);
  m.Index(1, 3, u"IX_three", kPlainIndex);
  m.Index(1, 2, u"IX_third", kPlainIndex);
  Built b;
  Build(b, m.c);
  TreeHandle indexes = Group(b, "T", "Indexes");
  EXPECT_EQ(Text(b.tree, indexes), "Indexes(2)");
  EXPECT_EQ(Labels(b.tree, indexes), (std::vector<std::string>{"IX_first", "IX_three"}));
}

TEST(ObjectTreeTest, IndexesNamedLikeObjectsEmptyOrAutoStatisticsAreHidden) {
  CatalogueMaker m;
  m.Table(u"T", 1);
  m.Table(u"Other", 2);
  m.Object(u"PK_T", 10, 1, u"PK");
  m.Object(u"SomeProc", 11, 0, u"P ");
  m.Index(1, 1, u"PK_T", kPrimaryKeyIndex);
  m.Index(1, 2, u"SomeProc", kPlainIndex);  // named like an unrelated object
  m.Index(1, 3, u"Other", kPlainIndex);     // named like another table
  m.Index(1, 4, u"", kPlainIndex);
  m.Index(1, 5, u"_WA_Sys_00000002_1A2B3C4D", kPlainIndex);
  m.Index(1, 6, u"My_WA_Sys_x", kPlainIndex);
  m.Index(1, 7, u"_wa_sys_lower", kPlainIndex);  // the prefix is compared exactly
  m.Index(1, 8, u"pk_t", kPlainIndex);           // and so are the names
  Built b;
  Build(b, m.c);
  TreeHandle indexes = Group(b, "T", "Indexes");
  EXPECT_EQ(Text(b.tree, indexes), "Indexes(3)");
  EXPECT_EQ(Labels(b.tree, indexes),
            (std::vector<std::string>{"My_WA_Sys_x", "_wa_sys_lower", "pk_t"}));
}

TEST(ObjectTreeTest, OnlyRealIndexesAreShown2000) {
  CatalogueMaker m;
  m.Table(u"pub_info", 1);
  m.Index(1, 1, u"UPKCL_pubinfo", 0x12);
  m.Index(1, 2, u"pubinfo_ind", 0x02);
  m.Index(1, 255, u"tpub_info", 0x00);
  m.Index(1, 3, u"stat_pub_id", 0x40);
  m.Index(1, 4, u"hypothetical", 0x20);
  m.Index(1, 5, u"both", 0x60);
  Built b;
  Build(b, m.c, V539());
  TreeHandle indexes = Group(b, "pub_info", "Indexes");
  EXPECT_EQ(Text(b.tree, indexes), "Indexes(2)");
  EXPECT_EQ(Labels(b.tree, indexes), (std::vector<std::string>{"UPKCL_pubinfo", "pubinfo_ind"}));
}

TEST(ObjectTreeTest, OnlyRealIndexesAreShown2005And2008) {
  for (VersionFlags v : {V611(), V655()}) {
    CatalogueMaker m;
    m.Table(u"T", 1);
    m.Index(1, 2, u"IX_real", kPlainIndex);
    m.Index(1, 3, u"Stat_auto", kStatistics);
    m.Index(1, 4, u"stat_with_bits", 0x0A);
    m.Index(1, 5, u"IX_unique", 0x09);
    Built b;
    Build(b, m.c, v);
    TreeHandle indexes = Group(b, "T", "Indexes");
    EXPECT_EQ(Labels(b.tree, indexes), (std::vector<std::string>{"IX_real", "IX_unique"}))
        << v.Number();
  }
}

TEST(IndexEntryTest, HeapsAreNeverIndexesAndUnknownVersionsHaveNone) {
  _SYSINDEXES heap;
  heap.indid = 0;
  heap.status = 0x01;
  EXPECT_FALSE(IsIndexEntry(heap, V539()));
  EXPECT_FALSE(IsIndexEntry(heap, V611()));
  _SYSINDEXES index;
  index.indid = 2;
  index.status = 0x03;
  EXPECT_TRUE(IsIndexEntry(index, V539()));
  EXPECT_TRUE(IsIndexEntry(index, V655()));
  EXPECT_FALSE(IsIndexEntry(index, VersionFlags{}));
  index.indid = 255;  // only the 2000 format keeps text/image storage under this id
  EXPECT_FALSE(IsIndexEntry(index, V539()));
  EXPECT_TRUE(IsIndexEntry(index, V611()));
}

TEST(ObjectTreeTest, DefaultsSystemTablesAndOtherTypesAppearNowhere) {
  CatalogueMaker m;
  m.Table(u"T", 1);
  for (const char16_t* type : {u"D ", u"S ", u"K ", u"RF", u"IT", u"SQ", u"SN", u"R ", u"L ", u"PC",
                               u"FS", u"AF", u"TA", u"U", u"p ", u"v "}) {
    m.Object(std::u16string(u"hidden_") + type, 100 + int64_t(m.c.objects.size()), 1, type);
  }
  Built b;
  Build(b, m.c);
  for (TreeHandle h : AllNodes(b.tree)) {
    EXPECT_EQ(Text(b.tree, h).rfind("hidden_", 0), std::string::npos) << Text(b.tree, h);
  }
  EXPECT_EQ(Text(b.tree, b.nodes.tables), "Tables(1)");
}

TEST(ObjectTreeTest, CheckBoxesOnExactlyTheSaveableNodes) {
  Built b;
  Build(b, Shop().c);
  std::set<TreeHandle> expected = {b.nodes.root,       b.nodes.tables,    b.nodes.programmability,
                                   b.nodes.procedures, b.nodes.functions, b.nodes.triggers,
                                   b.nodes.views};
  for (TreeHandle h : b.tree.GetChildItems(b.nodes.tables)) expected.insert(h);
  for (TreeHandle group :
       {b.nodes.procedures, b.nodes.functions, b.nodes.triggers, b.nodes.views}) {
    for (TreeHandle h : b.tree.GetChildItems(group)) expected.insert(h);
  }
  EXPECT_EQ(expected.size(), 7u + 2u + 7u);
  for (TreeHandle h : AllNodes(b.tree)) {
    int expectedImage = expected.count(h) ? ui::kUnchecked : ui::kNoCheckBox;
    EXPECT_EQ(b.tree.GetStateImage(h), expectedImage) << Text(b.tree, h);
  }
}

TEST(ObjectTreeTest, ObjectHandleListOrder) {
  Built b;
  Build(b, Shop().c);
  std::vector<std::string> order;
  for (const _TableHandle& entry : b.handles) order.push_back(Text(b.tree, entry.handle));
  // Tables in catalogue order (Orders before customers, though sorted the other
  // way in the tree); modules in object order; then the groups.
  EXPECT_EQ(order,
            (std::vector<std::string>{"/data/shop.mdf", "Tables(2)", "Orders(5)", "customers(7)",
                                      "xp_thing", "tableF", "ListOrders", "fnTotal", "AuditOrders",
                                      "OrderView", "inlineF", "Procedures(2)", "Functions(3)",
                                      "Triggers(1)", "Views(1)", "Programmability"}));
  EXPECT_EQ(b.handles[0].handle, b.nodes.root);
  EXPECT_EQ(b.handles.back().handle, b.nodes.programmability);
}

TEST(ObjectTreeTest, RebuildingStartsAFreshHandleList) {
  Built b;
  Build(b, Shop().c);
  size_t first = b.handles.size();
  Build(b, Shop().c);
  EXPECT_EQ(b.handles.size(), first);
  for (const _TableHandle& entry : b.handles) {
    EXPECT_NE(b.tree.GetItemText(entry.handle), u"") << "a handle of the deleted tree";
  }
  // The rebuilt tables still get their children.
  EXPECT_EQ(Text(b.tree, Group(b, "Orders", "Columns")), "Columns(3)");
}

TEST(ObjectTreeTest, TablesAndModulesSortWithoutCaseEqualLabelsKeepOrder) {
  CatalogueMaker m;
  m.Table(u"beta", 1);
  m.Table(u"Alpha", 2);
  m.Table(u"alpha", 3);
  m.Table(u"ALPHA", 4);
  m.Object(u"zProc", 10, 0, u"P ");
  m.Object(u"Bproc", 11, 0, u"P ");
  m.Object(u"bPROC", 12, 0, u"X ");
  m.Object(u"aproc", 13, 0, u"P ");
  m.Object(u"Vz", 14, 0, u"V ");
  m.Object(u"va", 15, 0, u"V ");
  Built b;
  Build(b, m.c);
  std::vector<std::string> tables = Labels(b.tree, b.nodes.tables);
  EXPECT_EQ(tables, (std::vector<std::string>{"Alpha(0)", "alpha(0)", "ALPHA(0)", "beta(0)"}));
  EXPECT_EQ(Labels(b.tree, b.nodes.procedures),
            (std::vector<std::string>{"aproc", "Bproc", "bPROC", "zProc"}));
  EXPECT_EQ(Labels(b.tree, b.nodes.views), (std::vector<std::string>{"va", "Vz"}));
  // The sorted "Alpha" nodes are still the ones built for ids 2, 3 and 4:
  // their handles come in catalogue order in the handle list.
  auto nodes = b.tree.GetChildItems(b.nodes.tables);
  EXPECT_EQ(nodes[0], b.handles[3].handle);
  EXPECT_EQ(nodes[1], b.handles[4].handle);
  EXPECT_EQ(nodes[2], b.handles[5].handle);
}

TEST(ObjectTreeTest, AStoppedJobEndsTheBuild) {
  CatalogueMaker m = Shop();
  mendora::BasicJobControl job;
  job.Stop();
  MemoryTreeControl tree;
  ObjectHandleList handles;
  EXPECT_THROW(ResetAndBuildObjectTree(tree, m.c, V611(), u"f.mdf", handles, &job),
               mendora::JobStopped);
}
