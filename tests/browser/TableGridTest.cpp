// Filling a list with a table's rows from synthetic data files of each
// version: headers, stored order across pages, every row whatever the
// recorded count says, NULL cells, batches, and a stop that keeps what was
// shown.
#include <gtest/gtest.h>

#include "browser/TableGrid.h"
#include "engine/Analysis.h"
#include "engine/Utf16.h"
#include "tests/support/CatalogueBuilder.h"
#include "ui/MemoryListControl.h"

using namespace mendora;
using namespace mdftest;

namespace {

// A list that counts how rows reach it.
class CountingList final : public ui::ListControl {
 public:
  int InsertColumn(int c, std::u16string_view h, int w) override {
    return list.InsertColumn(c, h, w);
  }
  bool DeleteColumn(int c) override { return list.DeleteColumn(c); }
  int GetColumnCount() const override { return list.GetColumnCount(); }
  std::u16string GetColumnHeading(int c) const override { return list.GetColumnHeading(c); }
  int InsertItem(int r, std::u16string_view t) override { return list.InsertItem(r, t); }
  bool SetItemText(int r, int c, std::u16string_view t) override {
    return list.SetItemText(r, c, t);
  }
  std::u16string GetItemText(int r, int c) const override { return list.GetItemText(r, c); }
  int GetItemCount() const override { return list.GetItemCount(); }
  void DeleteAllItems() override { list.DeleteAllItems(); }
  void AppendRows(const ui::RowBatch& batch) override {
    batches.push_back(batch.RowCount());
    list.AppendRows(batch);
    if (afterBatch) afterBatch();
  }
  void ShowList(bool v) override { list.ShowList(v); }
  bool IsListVisible() const override { return list.IsListVisible(); }

  ui::MemoryListControl list;
  std::vector<size_t> batches;
  std::function<void()> afterBatch;
};

struct Built {
  TempFile path;
  DataFile file;
  Catalogue catalogue;
  int32_t table = 0;
};

// Table "T": Id int, Name varchar(20) NULL every third row, Flag bit.
void Build(Built& b, uint16_t version, uint64_t rows, const TableOptions& options) {
  CatalogueBuilder builder(version, u"grid");
  b.table = builder.AddGeneratedTable(
      u"T", {IntColumn(u"Id", true), VarCharColumn(u"Name", 20), BitColumn(u"Flag")}, rows,
      [](uint64_t i) {
        return Row{IntValue(static_cast<int32_t>(i)),
                   i % 3 == 0 ? kNull : VarCharValue("n" + std::to_string(i)), BitValue(i % 2)};
      },
      options);
  builder.WriteTo(b.path.path());
  ASSERT_TRUE(b.file.Open(b.path.path()));
  ASSERT_TRUE(b.file.DetectVersion());
  NullJobControl job;
  RunAnalysis(b.file, b.catalogue, job);
}

class TableGridTest : public ::testing::TestWithParam<uint16_t> {};

TEST_P(TableGridTest, HeadersThenEveryRowInStoredOrderAcrossPages) {
  Built b;
  TableOptions options;
  options.rowsPerPage = 7;  // several pages
  Build(b, GetParam(), 50, options);
  ui::MemoryListControl list;
  list.InsertColumn(0, u"old", 10);
  list.InsertItem(0, u"old row");
  NullJobControl job;
  const TableGridResult result = LoadTable(b.file, b.catalogue, b.table, list, job);
  EXPECT_TRUE(result.readable);
  EXPECT_EQ(result.rows, 50u);
  ASSERT_EQ(list.GetColumnCount(), 3);
  EXPECT_EQ(list.GetColumnHeading(0), u"Id");
  EXPECT_EQ(list.GetColumnHeading(1), u"Name");
  EXPECT_EQ(list.GetColumnHeading(2), u"Flag");
  EXPECT_EQ(list.GetColumnWidth(1), 100);
  ASSERT_EQ(list.GetItemCount(), 50);
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(ToUtf8(list.GetItemText(i, 0)), std::to_string(i));
    EXPECT_EQ(ToUtf8(list.GetItemText(i, 1)), i % 3 == 0 ? "NULL" : "n" + std::to_string(i));
    EXPECT_EQ(ToUtf8(list.GetItemText(i, 2)), i % 2 ? " 1" : " 0");
  }
}

TEST(TableGridStorage, RowsStoredCompressedShowTheirColumnsAndTheReasonInPlaceOfRows) {
  Built b;
  TableOptions options;
  options.compression = 2;
  Build(b, 904, 20, options);
  ui::MemoryListControl list;
  NullJobControl job;
  const TableGridResult result = LoadTable(b.file, b.catalogue, b.table, list, job);
  EXPECT_FALSE(result.readable);
  EXPECT_EQ(result.rows, 0u);
  EXPECT_EQ(result.notReadReason, "rows stored with page compression are not read");
  ASSERT_EQ(list.GetColumnCount(), 3);
  EXPECT_EQ(list.GetColumnHeading(0), u"Id");
  ASSERT_EQ(list.GetItemCount(), 1);
  EXPECT_EQ(list.GetItemText(0, 0), u"rows stored with page compression are not read");
}

TEST_P(TableGridTest, AStaleRecordedCountHidesNoRow) {
  for (uint64_t recorded : {uint64_t{0}, uint64_t{5}, uint64_t{500}}) {
    SCOPED_TRACE(recorded);
    Built b;
    TableOptions options;
    options.recordedRowCount = recorded;
    Build(b, GetParam(), 20, options);
    ui::MemoryListControl list;
    NullJobControl job;
    const TableGridResult result = LoadTable(b.file, b.catalogue, b.table, list, job);
    EXPECT_EQ(result.recordedRows, recorded);
    EXPECT_EQ(list.GetItemCount(), 20);
  }
}

TEST_P(TableGridTest, RowsArriveInBatchesTheFirstOneSmall) {
  Built b;
  Build(b, GetParam(), 1000, {});
  CountingList list;
  NullJobControl job;
  TableGridOptions options;
  options.firstBatchRows = 10;
  options.batchRows = 300;
  options.flushEvery = std::chrono::hours(1);
  std::vector<uint64_t> progress;
  options.progress = [&](uint64_t shown, uint64_t) { progress.push_back(shown); };
  LoadTable(b.file, b.catalogue, b.table, list, job, options);
  EXPECT_EQ(list.batches, (std::vector<size_t>{10, 300, 300, 300, 90}));
  EXPECT_EQ(progress, (std::vector<uint64_t>{10, 310, 610, 910, 1000}));
  EXPECT_EQ(list.GetItemCount(), 1000);
}

TEST_P(TableGridTest, AStoppedLoadKeepsTheRowsShown) {
  Built b;
  Build(b, GetParam(), 1000, {});
  CountingList list;
  BasicJobControl job;
  list.afterBatch = [&] { job.Stop(); };
  TableGridOptions options;
  options.firstBatchRows = 25;
  EXPECT_THROW(LoadTable(b.file, b.catalogue, b.table, list, job, options), JobStopped);
  EXPECT_EQ(list.GetItemCount(), 25);
}

TEST_P(TableGridTest, AnUnknownTableShowsNothing) {
  Built b;
  Build(b, GetParam(), 3, {});
  ui::MemoryListControl list;
  list.InsertColumn(0, u"old", 10);
  NullJobControl job;
  const TableGridResult result = LoadTable(b.file, b.catalogue, 12345, list, job);
  EXPECT_FALSE(result.readable);
  EXPECT_EQ(list.GetColumnCount(), 0);
  EXPECT_EQ(list.GetItemCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Versions, TableGridTest, ::testing::Values(539, 611, 655, 904),
                         [](const auto& info) { return "v" + std::to_string(info.param); });

}  // namespace
