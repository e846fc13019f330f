// Clicks on the object tree built from a hand-made catalogue: check marks on
// branches and ancestors, bold, whether Save is allowed, and what a label
// click shows, decided by what the node is rather than by its label.
#include <gtest/gtest.h>

#include "browser/TreeClick.h"
#include "engine/Utf16.h"
#include "ui/MemoryTreeControl.h"

using namespace mendora;
using ui::TreeHandle;

namespace {

struct Tree {
  Catalogue c;
  ui::MemoryTreeControl tree;
  ObjectHandleList handles;
  ObjectTreeNodes nodes;

  Tree() {
    // Tables named like the groups under a table, and modules.
    Table(u"Indexes2009", 1);
    Table(u"Primary_Data", 2);
    c.objects.push_back({u"PK_Primary", 3, 2, u"PK"});
    c.objects.push_back({u"p1", 4, 0, u"P "});
    c.objects.push_back({u"p2", 5, 0, u"P "});
    c.objects.push_back({u"v1", 6, 0, u"V "});
    _SYSINDEXES ix;
    ix.tableId = 2;
    ix.indid = 2;
    ix.name = u"Columns";  // an index named like a group
    ix.status = 0x03;
    c.indexRows.push_back(ix);
    nodes = ResetAndBuildObjectTree(tree, c, FlagsForVersion(kVersion2005), u"F.MDF", handles);
  }
  void Table(std::u16string name, int64_t id) {
    _SYSOBJECTS o{std::move(name), id, 0, u"U "};
    c.objects.push_back(o);
    c.userTables.push_back(o);
  }
  TreeHandle Child(TreeHandle parent, std::u16string_view prefix) const {
    for (TreeHandle h : tree.GetChildItems(parent)) {
      if (tree.GetItemText(h).starts_with(prefix)) return h;
    }
    ADD_FAILURE() << "no child " << ToUtf8(prefix);
    return ui::kNoTreeItem;
  }
  TreeClickResult Click(TreeHandle node, TreeHit hit, bool loading = false) {
    return OnTreeClick(tree, nodes, handles, node, hit, loading);
  }
  bool Checked(TreeHandle n) const { return tree.GetStateImage(n) == ui::kChecked; }
};

TEST(TreeChecks, CheckingTheLastTableChecksTablesAndTheRootWhenAllIsChecked) {
  Tree t;
  const TreeHandle first = t.Child(t.nodes.tables, u"Indexes2009");
  const TreeHandle second = t.Child(t.nodes.tables, u"Primary_Data");
  auto r = t.Click(first, TreeHit::kStateIcon);
  ASSERT_TRUE(r.saveAllowed);
  EXPECT_TRUE(*r.saveAllowed);
  EXPECT_FALSE(r.defaultHandling);
  EXPECT_TRUE(t.Checked(first));
  EXPECT_TRUE(t.tree.IsBold(first));
  EXPECT_FALSE(t.Checked(t.nodes.tables));
  // Bold follows the children even where the check mark does not.
  EXPECT_TRUE(t.tree.IsBold(t.nodes.tables));
  EXPECT_TRUE(t.tree.IsBold(t.nodes.root));

  t.Click(second, TreeHit::kStateIcon);
  EXPECT_TRUE(t.Checked(t.nodes.tables));
  EXPECT_FALSE(t.Checked(t.nodes.root));  // Programmability is not checked
  t.Click(t.nodes.programmability, TreeHit::kStateIcon);
  EXPECT_TRUE(t.Checked(t.nodes.procedures));
  EXPECT_TRUE(t.Checked(t.Child(t.nodes.procedures, u"p2")));
  EXPECT_TRUE(t.Checked(t.nodes.root));
  EXPECT_TRUE(t.tree.IsBold(t.nodes.root));
}

TEST(TreeChecks, UncheckingAModuleUnchecksItsAncestorsButNotTheOtherModules) {
  Tree t;
  t.Click(t.nodes.root, TreeHit::kStateIcon);
  for (const auto& h : t.handles) EXPECT_TRUE(t.Checked(h.handle));
  const TreeHandle p1 = t.Child(t.nodes.procedures, u"p1");
  auto r = t.Click(p1, TreeHit::kStateIcon);
  EXPECT_TRUE(*r.saveAllowed);
  EXPECT_FALSE(t.Checked(p1));
  EXPECT_FALSE(t.tree.IsBold(p1));
  EXPECT_FALSE(t.Checked(t.nodes.procedures));
  EXPECT_FALSE(t.Checked(t.nodes.programmability));
  EXPECT_FALSE(t.Checked(t.nodes.root));
  EXPECT_TRUE(t.Checked(t.Child(t.nodes.procedures, u"p2")));
  EXPECT_TRUE(t.Checked(t.nodes.tables));
  EXPECT_TRUE(t.tree.IsBold(t.nodes.procedures));  // p2 is still bold

  // The root is unchecked now: a click checks everything, the next one unchecks it.
  r = t.Click(t.nodes.root, TreeHit::kStateIcon);
  EXPECT_TRUE(t.Checked(p1));
  r = t.Click(t.nodes.root, TreeHit::kStateIcon);
  EXPECT_FALSE(*r.saveAllowed);
  for (const auto& h : t.handles) EXPECT_FALSE(t.Checked(h.handle));
  EXPECT_FALSE(t.tree.IsBold(t.nodes.root));
}

TEST(TreeChecks, CheckBoxClicksWorkDuringALoadButDoNotSelect) {
  Tree t;
  t.tree.SelectItem(t.nodes.root);
  const TreeHandle first = t.Child(t.nodes.tables, u"Indexes2009");
  auto r = t.Click(first, TreeHit::kStateIcon, /*loading=*/true);
  EXPECT_TRUE(t.Checked(first));
  EXPECT_TRUE(*r.saveAllowed);
  EXPECT_EQ(t.tree.GetSelectedItem(), t.nodes.root);
}

TEST(TreeLabelClicks, DispatchByWhatTheNodeIs) {
  Tree t;
  const TreeHandle indexes2009 = t.Child(t.nodes.tables, u"Indexes2009");
  const TreeHandle primaryData = t.Child(t.nodes.tables, u"Primary_Data");
  auto r = t.Click(indexes2009, TreeHit::kLabel);
  EXPECT_EQ(r.shows, ClickShows::kTableRows);
  EXPECT_TRUE(r.defaultHandling);
  EXPECT_FALSE(r.saveAllowed);
  EXPECT_EQ(t.tree.GetSelectedItem(), indexes2009);
  EXPECT_EQ(t.Click(primaryData, TreeHit::kLabel).shows, ClickShows::kTableRows);
  // The expand button neither shows nor selects.
  const TreeHandle selected = t.tree.GetSelectedItem();
  for (TreeHandle node : {primaryData, t.nodes.tables}) {
    EXPECT_EQ(t.Click(node, TreeHit::kButton).shows, ClickShows::kNothing);
    EXPECT_TRUE(t.Click(node, TreeHit::kButton).defaultHandling);
    EXPECT_EQ(t.tree.GetSelectedItem(), selected);
  }

  const TreeHandle pkGroup = t.Child(primaryData, u"Primary Keys");
  EXPECT_EQ(t.Click(pkGroup, TreeHit::kLabel).shows, ClickShows::kWelcome);
  EXPECT_EQ(t.Click(t.Child(pkGroup, u"PK_Primary"), TreeHit::kLabel).shows, ClickShows::kKeyDdl);
  const TreeHandle index = t.Child(t.Child(primaryData, u"Indexes"), u"Columns");
  EXPECT_EQ(t.nodes.Find(index)->kind, NodeKind::kIndex);
  EXPECT_EQ(t.Click(index, TreeHit::kLabel).shows, ClickShows::kKeyDdl);
  EXPECT_EQ(t.Click(t.Child(t.nodes.views, u"v1"), TreeHit::kLabel).shows, ClickShows::kModuleText);
  for (TreeHandle fixed :
       {t.nodes.root, t.nodes.tables, t.nodes.programmability, t.nodes.procedures, t.nodes.views}) {
    EXPECT_EQ(t.Click(fixed, TreeHit::kLabel).shows, ClickShows::kWelcome);
  }
  // A column shows nothing.
  const TreeHandle columns = t.Child(primaryData, u"Columns");
  t.c.columns.clear();
  EXPECT_EQ(t.Click(columns, TreeHit::kLabel).shows, ClickShows::kWelcome);
}

TEST(TreeLabelClicks, NothingHappensRightOfALabelInTheIndentOrDuringALoad) {
  Tree t;
  const TreeHandle table = t.Child(t.nodes.tables, u"Indexes2009");
  t.tree.SelectItem(t.nodes.root);
  for (TreeHit hit : {TreeHit::kRight, TreeHit::kIndent, TreeHit::kNowhere}) {
    auto r = t.Click(table, hit);
    EXPECT_FALSE(r.defaultHandling);
    EXPECT_EQ(r.shows, ClickShows::kNothing);
  }
  EXPECT_EQ(t.tree.GetSelectedItem(), t.nodes.root);
  auto r = t.Click(table, TreeHit::kLabel, /*loading=*/true);
  EXPECT_EQ(r.shows, ClickShows::kNothing);
  EXPECT_TRUE(r.defaultHandling);
  EXPECT_EQ(t.tree.GetSelectedItem(), t.nodes.root);
}

}  // namespace
