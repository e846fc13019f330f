// Rows by row number through the page-to-row index: the same rows in the
// same order as the table reader gives them, on synthetic heaps with moved
// rows and clustered tables of each version, and on every table of every real
// file; pages without rows, out-of-order access, and the decoded pages kept
// bounded.
#include <gtest/gtest.h>

#include "browser/TableRowSource.h"
#include "engine/Analysis.h"
#include "engine/Utf16.h"
#include "engine/ValueText.h"
#include "tests/integration/RealFile.h"
#include "tests/support/CatalogueBuilder.h"

using namespace mendora;
using namespace mdftest;

namespace {

using Rows = std::vector<std::vector<std::string>>;

std::vector<std::string> Texts(const RowValues& row) {
  std::vector<std::string> out;
  for (const mendora::Value& v : row) out.push_back(ExactText(v));
  return out;
}

Rows ReadAll(const DataFile& file, const Catalogue& catalogue, int64_t table) {
  Rows rows;
  NullJobControl job;
  TableReader(file, catalogue, table).Read(job, [&](const RowValues& row) {
    rows.push_back(Texts(row));
    return true;
  });
  return rows;
}

// The source with its index built by the counting pass, handed over in
// pieces of `chunk` pages as the job does.
std::unique_ptr<TableRowSource> Indexed(const DataFile& file, const Catalogue& catalogue,
                                        int64_t table, size_t chunk = 3) {
  auto source = std::make_unique<TableRowSource>(file, catalogue, table);
  std::vector<PageRowCount> pages;
  NullJobControl job;
  TableReader(file, catalogue, table).CountPageRows(job, [&](uint64_t page, uint32_t rows) {
    pages.push_back({page, rows});
    if (pages.size() == chunk) {
      source->AddPages(pages);
      pages.clear();
    }
    return true;
  });
  source->AddPages(pages);
  source->SetComplete();
  return source;
}

void ExpectSameRows(TableRowSource& source, const Rows& expected, const std::string& what) {
  ASSERT_EQ(source.RowCount(), expected.size()) << what;
  // Backwards, so that every page is read again after others.
  for (size_t n = expected.size(); n-- > 0;) {
    const RowValues* row = source.Row(n);
    ASSERT_NE(row, nullptr) << what << " row " << n;
    ASSERT_EQ(Texts(*row), expected[n]) << what << " row " << n;
  }
  EXPECT_EQ(source.Row(expected.size()), nullptr);
  EXPECT_LE(source.CachedPageCount(), TableRowSource::kCachedPages);
}

class TableRowSourceTest : public ::testing::TestWithParam<uint16_t> {};

TEST_P(TableRowSourceTest, SameRowsAsTheReaderOnHeapsWithMovedRows) {
  TempFile path;
  CatalogueBuilder builder(GetParam(), u"rows");
  TableOptions options;
  options.rowsPerPage = 7;
  if (GetParam() != 539) options.forwardedRows = {1, 8, 20, 33};
  const int32_t table = builder.AddGeneratedTable(
      u"T", {IntColumn(u"Id"), VarCharColumn(u"Name", 20)}, 60,
      [](uint64_t i) {
        return Row{IntValue(static_cast<int32_t>(i)),
                   i % 5 == 0 ? kNull : VarCharValue("n" + std::to_string(i))};
      },
      options);
  builder.WriteTo(path.path());
  DataFile file;
  ASSERT_TRUE(file.Open(path.path()) && file.DetectVersion());
  Catalogue catalogue;
  NullJobControl job;
  RunAnalysis(file, catalogue, job);
  const Rows expected = ReadAll(file, catalogue, table);
  ASSERT_EQ(expected.size(), 60u);
  for (size_t chunk : {1, 4, 1000}) {
    auto source = Indexed(file, catalogue, table, chunk);
    ExpectSameRows(*source, expected, "chunk " + std::to_string(chunk));
    EXPECT_EQ(source->CellText(59, 0), u"59");
    EXPECT_EQ(source->CellText(60, 0), u"");
    EXPECT_EQ(source->CellText(0, 2), u"");
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, TableRowSourceTest, ::testing::Values(539, 611, 655),
                         [](const auto& info) { return "v" + std::to_string(info.param); });

TEST(TableRowSource, PagesWithoutRowsAreLeftOutOfTheIndex) {
  TempFile path;
  CatalogueBuilder builder(655, u"rows");
  const int32_t table = builder.AddGeneratedTable(
      u"T", {IntColumn(u"Id")}, 3, [](uint64_t i) { return Row{IntValue(int32_t(i))}; });
  builder.WriteTo(path.path());
  DataFile file;
  ASSERT_TRUE(file.Open(path.path()) && file.DetectVersion());
  Catalogue catalogue;
  NullJobControl job;
  RunAnalysis(file, catalogue, job);
  TableRowSource source(file, catalogue, table);
  EXPECT_EQ(source.Row(0), nullptr);
  const std::vector<PageRowCount> none = {{5, 0}, {6, 0}};
  source.AddPages(none);
  EXPECT_EQ(source.IndexedPages(), 0u);
  EXPECT_EQ(source.RowCount(), 0u);
  EXPECT_FALSE(source.Complete());
}

// The deleted rows as a whole read gives them: `_found_at`, `_why`, the values.
Rows ReadDeleted(const DataFile& file, const Catalogue& catalogue, int64_t table) {
  Rows rows;
  NullJobControl job;
  DeletedRowReader(file, catalogue, table).Read(job, nullptr, [&](const RecoveredRow& row) {
    std::vector<std::string> texts = {FoundAtText(row.at), DeletedWhyText(row.why)};
    for (const std::string& t : Texts(row.values)) texts.push_back(t);
    rows.push_back(std::move(texts));
    return true;
  });
  return rows;
}

void ExpectSameDeletedRows(const DataFile& file, const Catalogue& catalogue, int64_t table,
                           const std::string& what) {
  NullJobControl job;
  const Rows expected = ReadDeleted(file, catalogue, table);
  const DeletedRowsIndex index = IndexDeletedRows(file, catalogue, table, job);
  ASSERT_EQ(index.Count(), expected.size()) << what;
  TableRowSource source(file, catalogue, table, index);
  EXPECT_TRUE(source.ShowsDeletedRows() && source.Complete());
  ASSERT_EQ(source.Columns().size(), TableReader(file, catalogue, table).Columns().size() + 2);
  EXPECT_EQ(source.Columns()[0].name, kFoundAtColumn);
  EXPECT_EQ(source.Columns()[1].name, kWhyColumn);
  ExpectSameRows(source, expected, what + " (deleted)");
}

TEST(TableRowSource, DeletedRowsOfAGhostARemovedSlotAndFreedPagesByRowNumber) {
  TempFile path;
  CatalogueBuilder builder(655, u"rows");
  TableOptions options;
  options.rowsPerPage = 4;
  auto rows = [](const std::string& prefix, int count) {
    std::vector<Row> out;
    for (int i = 0; i < count; ++i) {
      out.push_back({IntValue(i), VarCharValue(prefix + std::to_string(i))});
    }
    return out;
  };
  const int32_t kept = builder.AddTable(
      u"Kept", {IntColumn(u"Id", true), VarCharColumn(u"Name", 20)}, rows("kept ", 12), options);
  const int32_t gone = builder.AddTable(
      u"Gone", {IntColumn(u"Id", true), VarCharColumn(u"Name", 20)}, rows("gone ", 9), options);
  MdfBuilder mdf = builder.Build();
  // Kept: slot 1 of its first page a ghost, slot 2 of its second removed.
  const BuiltTable& k = builder.Table(kept);
  auto page = mdf.Page(k.dataPages[0]).Build();
  const uint16_t ghostAt = static_cast<uint16_t>(LoadU16(page, 8190 - 2));
  mdf.Page(k.dataPages[0]).Poke(ghostAt, U8(0x3C));
  mdf.Page(k.dataPages[1]).Poke(8190 - 4, U16(0));
  // Gone was truncated: its pages are free.
  for (uint32_t p : builder.Table(gone).dataPages) CatalogueBuilder::SetAllocated(mdf, p, false);
  mdf.WriteTo(path.path());

  DataFile file;
  ASSERT_TRUE(file.Open(path.path()) && file.DetectVersion());
  Catalogue catalogue;
  NullJobControl job;
  RunAnalysis(file, catalogue, job);
  NullJobControl count;
  EXPECT_EQ(IndexDeletedRows(file, catalogue, kept, count).Count(), 2u);
  EXPECT_EQ(IndexDeletedRows(file, catalogue, gone, count).Count(), 9u);
  ExpectSameDeletedRows(file, catalogue, kept, "Kept");
  ExpectSameDeletedRows(file, catalogue, gone, "Gone");
}

// Every table of every real file, its rows and its deleted rows.
TEST_P(RealFile, EveryTableByRowNumber) {
  const DataFile& file = Analysis().file;
  const Catalogue& catalogue = Recovered();
  for (const auto& t : catalogue.userTables) {
    const std::string what = ToUtf8(t.name);
    auto source = Indexed(file, catalogue, t.id);
    ExpectSameRows(*source, ReadAll(file, catalogue, t.id), what);
    if (TableReader(file, catalogue, t.id).CanRead()) {
      ExpectSameDeletedRows(file, catalogue, t.id, what);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Files, RealFile, ::testing::ValuesIn(ReferenceFiles()), FileTestName());

}  // namespace
