// The in-memory list control: columns and rows by position, the platform
// control's answers for positions that name nothing.
#include <gtest/gtest.h>

#include "ui/MemoryListControl.h"

namespace {

TEST(MemoryListControl, ColumnsAreInsertedByPositionAndPastTheEndAppends) {
  ui::MemoryListControl list;
  EXPECT_EQ(list.InsertColumn(0, u"b", 50), 0);
  EXPECT_EQ(list.InsertColumn(0, u"a", 40), 0);
  EXPECT_EQ(list.InsertColumn(9, u"c", 60), 2);
  EXPECT_EQ(list.InsertColumn(-1, u"x", 10), -1);
  ASSERT_EQ(list.GetColumnCount(), 3);
  EXPECT_EQ(list.GetColumnHeading(0), u"a");
  EXPECT_EQ(list.GetColumnHeading(1), u"b");
  EXPECT_EQ(list.GetColumnHeading(2), u"c");
  EXPECT_EQ(list.GetColumnWidth(0), 40);
  EXPECT_EQ(list.GetColumnHeading(3), u"");
}

TEST(MemoryListControl, RowsTakeTheirFirstCellAndShiftWithColumns) {
  ui::MemoryListControl list;
  list.InsertColumn(0, u"id", 40);
  list.InsertColumn(1, u"name", 80);
  EXPECT_EQ(list.InsertItem(0, u"2"), 0);
  EXPECT_EQ(list.InsertItem(0, u"1"), 0);
  EXPECT_EQ(list.InsertItem(7, u"3"), 2);
  EXPECT_TRUE(list.SetItemText(0, 1, u"Ada"));
  EXPECT_EQ(list.GetItemText(0, 0), u"1");
  EXPECT_EQ(list.GetItemText(1, 0), u"2");
  EXPECT_EQ(list.GetItemText(1, 1), u"");  // not set yet
  EXPECT_EQ(list.GetItemText(2, 0), u"3");
  // A column inserted in front moves the cells with their columns.
  list.InsertColumn(0, u"row", 20);
  EXPECT_EQ(list.GetItemText(0, 0), u"");
  EXPECT_EQ(list.GetItemText(0, 2), u"Ada");
  EXPECT_TRUE(list.DeleteColumn(0));
  EXPECT_EQ(list.GetItemText(0, 1), u"Ada");
}

TEST(MemoryListControl, PositionsNamingNothingAreRefused) {
  ui::MemoryListControl list;
  EXPECT_FALSE(list.DeleteColumn(0));
  EXPECT_FALSE(list.SetItemText(0, 0, u"x"));
  EXPECT_EQ(list.InsertItem(-1, u"x"), -1);
  // Without columns a row has no cells.
  EXPECT_EQ(list.InsertItem(0, u"lost"), 0);
  EXPECT_EQ(list.GetItemCount(), 1);
  EXPECT_EQ(list.GetItemText(0, 0), u"");
  EXPECT_FALSE(list.SetItemText(0, 0, u"x"));
  list.InsertColumn(0, u"a", 10);
  EXPECT_FALSE(list.SetItemText(0, 1, u"x"));
  EXPECT_FALSE(list.SetItemText(1, 0, u"x"));
}

TEST(MemoryListControl, DeleteAllRowsKeepsTheColumnsAndVisibilityIsKept) {
  ui::MemoryListControl list;
  list.InsertColumn(0, u"a", 10);
  list.InsertItem(0, u"1");
  list.DeleteAllItems();
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_EQ(list.GetColumnCount(), 1);
  EXPECT_TRUE(list.IsListVisible());
  list.ShowList(false);
  EXPECT_FALSE(list.IsListVisible());
}

}  // namespace
