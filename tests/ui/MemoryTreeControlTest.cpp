// The in-memory tree control: the behaviour of the platform tree view that the
// object tree relies on.
#include <gtest/gtest.h>

#include "ui/MemoryTreeControl.h"

using namespace ui;

namespace {

std::vector<std::u16string> Texts(const TreeControl& tree, const std::vector<TreeHandle>& items) {
  std::vector<std::u16string> out;
  for (TreeHandle h : items) out.push_back(tree.GetItemText(h));
  return out;
}

}  // namespace

TEST(MemoryTreeControlTest, InsertsChildrenInOrderAndKnowsTheirParent) {
  MemoryTreeControl tree;
  EXPECT_EQ(tree.GetRootItem(), kNoTreeItem);
  TreeHandle root = tree.InsertItem(kNoTreeItem, u"root");
  TreeHandle a = tree.InsertItem(root, u"a");
  TreeHandle b = tree.InsertItem(root, u"b");
  TreeHandle a1 = tree.InsertItem(a, u"a1");
  TreeHandle second = tree.InsertItem(kNoTreeItem, u"second root");

  EXPECT_EQ(tree.GetRootItem(), root);
  EXPECT_EQ(tree.GetRootItems(), (std::vector<TreeHandle>{root, second}));
  EXPECT_EQ(tree.GetChildItems(root), (std::vector<TreeHandle>{a, b}));
  EXPECT_EQ(tree.GetChildItems(a), (std::vector<TreeHandle>{a1}));
  EXPECT_EQ(tree.GetParentItem(a1), a);
  EXPECT_EQ(tree.GetParentItem(root), kNoTreeItem);
  EXPECT_EQ(tree.Count(), 5u);

  tree.SetItemText(b, u"B renamed");
  EXPECT_EQ(tree.GetItemText(b), u"B renamed");
  EXPECT_NE(a, kNoTreeItem);
  EXPECT_NE(a, b);
}

TEST(MemoryTreeControlTest, CallsNamingNoNodeDoNothing) {
  MemoryTreeControl tree;
  TreeHandle root = tree.InsertItem(kNoTreeItem, u"root");
  TreeHandle bogus = root + 1000;
  EXPECT_EQ(tree.InsertItem(bogus, u"orphan"), kNoTreeItem);
  EXPECT_EQ(tree.Count(), 1u);
  tree.SetItemText(bogus, u"x");
  tree.SetBold(bogus, true);
  tree.Expand(bogus, TreeExpand::kExpand);
  tree.SortChildren(bogus);
  tree.SelectItem(bogus);
  EXPECT_EQ(tree.GetItemText(bogus), u"");
  EXPECT_TRUE(tree.GetChildItems(bogus).empty());
  EXPECT_EQ(tree.GetSelectedItem(), kNoTreeItem);
  EXPECT_FALSE(tree.IsBold(bogus));
  EXPECT_EQ(tree.GetItemText(root), u"root");
}

TEST(MemoryTreeControlTest, CheckBoxStyleAppliesToNodesInsertedWhileItIsOn) {
  MemoryTreeControl tree;
  TreeHandle before = tree.InsertItem(kNoTreeItem, u"before");
  tree.SetCheckBoxStyle(true);
  EXPECT_TRUE(tree.CheckBoxStyle());
  TreeHandle during = tree.InsertItem(before, u"during");
  tree.SetCheckBoxStyle(false);
  TreeHandle after = tree.InsertItem(during, u"after");

  EXPECT_EQ(tree.GetStateImage(before), kNoCheckBox);
  EXPECT_EQ(tree.GetStateImage(during), kUnchecked);
  EXPECT_EQ(tree.GetStateImage(after), kNoCheckBox);

  tree.SetStateImage(during, kChecked);
  EXPECT_EQ(tree.GetStateImage(during), kChecked);
  tree.SetStateImage(during, 7);  // not a state image: ignored
  EXPECT_EQ(tree.GetStateImage(during), kChecked);
  tree.SetStateImage(before, kUnchecked);
  EXPECT_EQ(tree.GetStateImage(before), kUnchecked);
}

TEST(MemoryTreeControlTest, ExpandLeavesAChildlessNodeClosed) {
  MemoryTreeControl tree;
  TreeHandle root = tree.InsertItem(kNoTreeItem, u"root");
  tree.Expand(root, TreeExpand::kExpand);
  EXPECT_FALSE(tree.IsExpanded(root));

  tree.InsertItem(root, u"child");
  tree.Expand(root, TreeExpand::kToggle);
  EXPECT_TRUE(tree.IsExpanded(root));
  tree.Expand(root, TreeExpand::kToggle);
  EXPECT_FALSE(tree.IsExpanded(root));
  tree.Expand(root, TreeExpand::kExpand);
  tree.Expand(root, TreeExpand::kExpand);
  EXPECT_TRUE(tree.IsExpanded(root));
  tree.Expand(root, TreeExpand::kCollapse);
  EXPECT_FALSE(tree.IsExpanded(root));
}

TEST(MemoryTreeControlTest, SortIgnoresCaseKeepsEqualLabelsInOrderAndSortsOneLevel) {
  MemoryTreeControl tree;
  TreeHandle root = tree.InsertItem(kNoTreeItem, u"root");
  TreeHandle zeta = tree.InsertItem(root, u"zeta");
  tree.InsertItem(root, u"Beta");
  TreeHandle firstAlpha = tree.InsertItem(root, u"alpha");
  TreeHandle secondAlpha = tree.InsertItem(root, u"ALPHA");
  tree.InsertItem(root, u"_under");
  tree.InsertItem(root, u"Order Details(2155)");
  tree.InsertItem(root, u"Orders(830)");
  tree.InsertItem(root, u"Table_10(5)");
  tree.InsertItem(root, u"Table_100(5)");
  tree.InsertItem(root, u"Table_2(40)");
  tree.InsertItem(root, u"Table_2(5)");
  tree.InsertItem(root, u"Table_02x");
  tree.InsertItem(zeta, u"z");
  tree.InsertItem(zeta, u"a");

  tree.SortChildren(root);
  EXPECT_EQ(
      Texts(tree, tree.GetChildItems(root)),
      (std::vector<std::u16string>{u"_under", u"alpha", u"ALPHA", u"Beta", u"Order Details(2155)",
                                   u"Orders(830)", u"Table_2(5)", u"Table_2(40)", u"Table_02x",
                                   u"Table_10(5)", u"Table_100(5)", u"zeta"}));
  auto children = tree.GetChildItems(root);
  EXPECT_EQ(children[1], firstAlpha);
  EXPECT_EQ(children[2], secondAlpha);
  // The grandchildren are not sorted.
  EXPECT_EQ(Texts(tree, tree.GetChildItems(zeta)), (std::vector<std::u16string>{u"z", u"a"}));
}

TEST(MemoryTreeControlTest, DeleteAllLeavesOldHandlesNamingNothing) {
  MemoryTreeControl tree;
  TreeHandle oldRoot = tree.InsertItem(kNoTreeItem, u"old");
  TreeHandle oldChild = tree.InsertItem(oldRoot, u"old child");
  tree.SelectItem(oldChild);
  tree.DeleteAllItems();

  EXPECT_EQ(tree.Count(), 0u);
  EXPECT_EQ(tree.GetRootItem(), kNoTreeItem);
  EXPECT_EQ(tree.GetSelectedItem(), kNoTreeItem);
  EXPECT_EQ(tree.GetItemText(oldChild), u"");

  TreeHandle newRoot = tree.InsertItem(kNoTreeItem, u"new");
  EXPECT_NE(newRoot, oldRoot);
  EXPECT_NE(newRoot, oldChild);
  EXPECT_EQ(tree.InsertItem(oldRoot, u"under a deleted node"), kNoTreeItem);
  EXPECT_TRUE(tree.GetChildItems(newRoot).empty());
}

TEST(LabelOrderTest, FoldsLettersOfTheCommonScripts) {
  EXPECT_FALSE(LabelLess(u"ÉCLAIR", u"éclair"));
  EXPECT_FALSE(LabelLess(u"éclair", u"ÉCLAIR"));
  EXPECT_FALSE(LabelLess(u"ŁÓDŹ", u"łódź"));
  EXPECT_FALSE(LabelLess(u"łódź", u"ŁÓDŹ"));
  EXPECT_FALSE(LabelLess(u"ΑΘΗΝΑ", u"αθηνα"));
  EXPECT_FALSE(LabelLess(u"МОСКВА", u"москва"));
  EXPECT_FALSE(LabelLess(u"ЁЖ", u"ёж"));
  EXPECT_EQ(FoldLabelCase(u'Ÿ'), u'ÿ');
  EXPECT_EQ(FoldLabelCase(u'×'), u'×');
  EXPECT_EQ(FoldLabelCase(u'Ĺ'), u'ĺ');
  EXPECT_EQ(FoldLabelCase(u'ĺ'), u'ĺ');
  EXPECT_EQ(FoldLabelCase(u'Ŋ'), u'ŋ');

  EXPECT_TRUE(LabelLess(u"abc", u"ABD"));
  EXPECT_TRUE(LabelLess(u"AB", u"abc"));
  EXPECT_TRUE(LabelLess(u"Z9", u"za"));
  EXPECT_FALSE(LabelLess(u"", u""));
  EXPECT_TRUE(LabelLess(u"", u"a"));
}
