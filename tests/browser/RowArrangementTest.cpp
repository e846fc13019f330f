// Filters and sorts in bounded memory: the row list and the sort spilled to
// temporary files with a budget of a few rows (several merge rounds), sort
// keys that order as the values do, and every table of every real file
// arranged against the rows the reader gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "browser/RowArrangement.h"
#include "browser/TableRowSource.h"
#include "engine/Analysis.h"
#include "engine/Utf16.h"
#include "tests/integration/RealFile.h"
#include "tests/support/CatalogueBuilder.h"

using namespace mendora;
using namespace mdftest;

namespace {

TEST(RowList, SpillsPastItsBudgetAndReadsBackInOrder) {
  RowList list(1);  // the smallest budget: two blocks of 4096 rows
  std::vector<uint64_t> expected;
  std::mt19937_64 random(7);
  for (int batch = 0; batch < 40; ++batch) {
    std::vector<uint64_t> rows(static_cast<size_t>(random() % 1500));
    for (uint64_t& r : rows) r = random();
    list.Append(rows);
    expected.insert(expected.end(), rows.begin(), rows.end());
    // Reads between appends: the block read back must not hide later rows.
    if (!expected.empty()) {
      ASSERT_EQ(list.At(expected.size() - 1), expected.back());
    }
    if (expected.size() > 5000) {
      ASSERT_EQ(list.At(5000), expected[5000]);
    }
  }
  ASSERT_TRUE(list.Spilled());
  ASSERT_EQ(list.Size(), expected.size());
  for (size_t i = expected.size(); i-- > 0;) ASSERT_EQ(list.At(i), expected[i]) << i;
  // Its budget, however large the batches (vectors grow by doubling).
  EXPECT_LE(list.MemoryBytes(), 2 * 2 * 4096 * sizeof(uint64_t));
}

TEST(SortKeyBytes, OrderAsTheValues) {
  _SYSCOLUMNS column;
  auto number = [&](double d) {
    mendora::Value v;
    v.kind = ValueKind::kFloat;
    v.real8 = d;
    return SortKeyBytes(v, column);
  };
  auto text = [&](std::u16string s) {
    mendora::Value v;
    v.kind = ValueKind::kString;
    v.text = std::move(s);
    return SortKeyBytes(v, column);
  };
  const std::string null = SortKeyBytes(mendora::Value{}, column);
  const std::vector<std::string> ascending = {
      null,      number(-1e300), number(-2.5), number(-1), number(0),   number(1e-300), number(1),
      number(2), number(1e9),    text(u""),    text(u"A"), text(u"ab"), text(u"AC"),    text(u"b")};
  for (size_t i = 1; i < ascending.size(); ++i) {
    EXPECT_LE(ascending[i - 1], ascending[i]) << i;
  }
  EXPECT_EQ(number(-0.0), number(0));
  EXPECT_EQ(text(u"Abc"), text(u"aBC"));
  // A long text keeps its first characters only.
  EXPECT_EQ(text(std::u16string(kSortKeyChars, u'x') + u"a"),
            text(std::u16string(kSortKeyChars, u'x') + u"b"));
}

// Keys with many ties, sorted in both directions in a budget of a few
// entries: as a stable sort of the keys would give them.
TEST(ExternalRowSort, MergesSpilledRunsInRoundsAndKeepsTiesInStoredOrder) {
  std::mt19937 random(3);
  std::vector<std::string> keys(5000);
  for (std::string& k : keys)
    k = std::string(1 + random() % 3, static_cast<char>('a' + random() % 20));
  for (bool descending : {false, true}) {
    ExternalRowSort sort(8192, descending);
    for (uint64_t row = 0; row < keys.size(); ++row) sort.Add(keys[row], row);
    EXPECT_GT(sort.SpilledRuns(), ExternalRowSort::kMergeFan) << "several merge rounds";
    std::vector<uint64_t> got;
    NullJobControl job;
    sort.Finish(job, [&](std::span<const uint64_t> rows) {
      got.insert(got.end(), rows.begin(), rows.end());
    });
    std::vector<uint64_t> expected(keys.size());
    std::iota(expected.begin(), expected.end(), 0);
    std::stable_sort(expected.begin(), expected.end(), [&](uint64_t a, uint64_t b) {
      return descending ? keys[b] < keys[a] : keys[a] < keys[b];
    });
    EXPECT_EQ(got, expected) << (descending ? "descending" : "ascending");
  }
  // In memory, nothing spilled.
  ExternalRowSort small(1 << 20, false);
  small.Add("b", 0);
  small.Add("a", 1);
  std::vector<uint64_t> got;
  NullJobControl job;
  small.Finish(job, [&](std::span<const uint64_t> rows) { got.assign(rows.begin(), rows.end()); });
  EXPECT_EQ(small.SpilledRuns(), 0u);
  EXPECT_EQ(got, (std::vector<uint64_t>{1, 0}));
}

struct Arranged {
  std::vector<uint64_t> rows;
  ArrangeProgress last;
};

Arranged Arrange(const DataFile& file, const Catalogue& catalogue, int64_t table,
                 const ArrangeRequest& request, JobControl& job) {
  std::vector<PageStart> pages;
  uint64_t first = 0;
  TableReader(file, catalogue, table).CountPageRows(job, [&](uint64_t page, uint32_t rows) {
    if (rows) pages.push_back({page, first});
    first += rows;
    return true;
  });
  Arranged out;
  TableReader reader(file, catalogue, table);
  ArrangeRows(
      reader.Columns(), pages,
      [&](const PageStart& page, const TableReader::RowSink& onRow) {
        reader.ReadPageRowsAt(page.page, onRow);
      },
      request, job,
      [&](std::span<const uint64_t> rows) {
        out.rows.insert(out.rows.end(), rows.begin(), rows.end());
      },
      [&](const ArrangeProgress& p) { out.last = p; });
  return out;
}

// The table's rows as the reader gives them.
std::vector<RowValues> ReadAll(const DataFile& file, const Catalogue& catalogue, int64_t table) {
  std::vector<RowValues> rows;
  NullJobControl job;
  TableReader(file, catalogue, table).Read(job, [&](const RowValues& row) {
    rows.push_back(row);
    return true;
  });
  return rows;
}

TEST(ArrangeRows, FilterAndSortAGeneratedTableInAFewRowsOfMemory) {
  TempFile path;
  CatalogueBuilder builder(655, u"arrange");
  TableOptions options;
  options.rowsPerPage = 9;
  const int32_t table = builder.AddGeneratedTable(
      u"T", {IntColumn(u"Id"), VarCharColumn(u"Name", 20), CharColumn(u"Code", 4)}, 3000,
      [](uint64_t i) {
        return Row{IntValue(static_cast<int32_t>((i * 7919) % 1000)),
                   i % 11 == 0 ? kNull : VarCharValue("n" + std::to_string(i % 37)),
                   CharValue("k" + std::to_string(i % 3), 4)};
      },
      options);
  builder.WriteTo(path.path());
  DataFile file;
  ASSERT_TRUE(file.Open(path.path()) && file.DetectVersion());
  Catalogue catalogue;
  NullJobControl job;
  RunAnalysis(file, catalogue, job);
  const std::vector<RowValues> all = ReadAll(file, catalogue, table);
  ASSERT_EQ(all.size(), 3000u);

  // Name = n5, by Id descending; equal Ids in stored order.
  ArrangeRequest request{u"name = N5", 0, true, 512};
  const Arranged got = Arrange(file, catalogue, table, request, job);
  std::vector<uint64_t> expected;
  for (uint64_t r = 0; r < all.size(); ++r) {
    if (all[r][1].kind != ValueKind::kNull && all[r][1].text == u"n5") expected.push_back(r);
  }
  std::stable_sort(expected.begin(), expected.end(),
                   [&](uint64_t a, uint64_t b) { return all[b][0].integer < all[a][0].integer; });
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(got.rows, expected);
  EXPECT_TRUE(got.last.sorting);
  EXPECT_EQ(got.last.matched, expected.size());

  // Text anywhere, stored order.
  request = {u"N3", -1, false, 512};
  std::vector<uint64_t> filtered;
  for (uint64_t r = 0; r < all.size(); ++r) {
    if (all[r][1].kind == ValueKind::kString &&
        all[r][1].text.find(u"n3") != std::u16string::npos) {
      filtered.push_back(r);
    }
  }
  EXPECT_EQ(Arrange(file, catalogue, table, request, job).rows, filtered);

  // A char column's padding is not part of the value typed.
  request = {u" code =  K1 ", -1, false, 512};
  EXPECT_EQ(Arrange(file, catalogue, table, request, job).rows.size(), 1000u);

  // A stopped job ends at its next page.
  BasicJobControl stopped;
  stopped.Stop();
  EXPECT_THROW(Arrange(file, catalogue, table, {u"", 1, false, 512}, stopped), JobStopped);
}

// Every table of every real file by its first and its last column, with runs
// of a few rows: each row once, keys in order, ties in stored order.
TEST_P(RealFile, EveryTableSorts) {
  const DataFile& file = Analysis().file;
  const Catalogue& catalogue = Recovered();
  NullJobControl job;
  for (const auto& t : catalogue.userTables) {
    TableReader probe(file, catalogue, t.id);
    if (!probe.CanRead()) continue;
    const std::vector<_SYSCOLUMNS> columns = probe.Columns();
    const std::vector<RowValues> all = ReadAll(file, catalogue, t.id);
    for (int column : {0, static_cast<int>(columns.size()) - 1}) {
      const std::string what = ToUtf8(t.name) + " column " + std::to_string(column);
      const Arranged got = Arrange(file, catalogue, t.id, {u"", column, false, 16384}, job);
      ASSERT_EQ(got.rows.size(), all.size()) << what;
      std::vector<bool> seen(all.size());
      for (size_t i = 0; i < got.rows.size(); ++i) {
        ASSERT_LT(got.rows[i], all.size()) << what;
        ASSERT_FALSE(seen[got.rows[i]]) << what;
        seen[got.rows[i]] = true;
        if (i == 0) continue;
        const std::string a = SortKeyBytes(all[got.rows[i - 1]][column], columns[column]);
        const std::string b = SortKeyBytes(all[got.rows[i]][column], columns[column]);
        ASSERT_TRUE(a < b || (a == b && got.rows[i - 1] < got.rows[i])) << what << " at " << i;
      }
    }
  }
}

}  // namespace
