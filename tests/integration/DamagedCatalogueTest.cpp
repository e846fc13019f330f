// Real data files with damaged or missing system tables. A copy of the file
// has every page of one system table zeroed, in turn for each table the
// analysis reads: the analysis finishes, the lists that table feeds are empty
// and the others are as the reference content (expected/) has them. Copies with random bytes
// flipped in their system pages are analysed, and their tables' pages cut,
// without a crash (the sanitizer build runs these too).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

#include "engine/Analysis.h"
#include "engine/ColumnLayouts.h"
#include "engine/PageHeader.h"
#include "engine/TableReader.h"
#include "tests/integration/ReferenceFiles.h"
#include "tests/support/MdfBuilder.h"
#include "tests/support/RealFiles.h"

using namespace mendora;
using namespace mdftest;

namespace {

constexpr size_t kPage = 8192;

std::vector<char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t HeaderObjectId(const std::vector<char>& bytes, size_t page) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v |= uint32_t(uint8_t(bytes[page * kPage + 24 + i])) << (8 * i);
  return v;
}

std::vector<size_t> PagesOf(const std::vector<char>& bytes, const std::set<uint32_t>& ids) {
  std::vector<size_t> pages;
  for (size_t p = 0; p < bytes.size() / kPage; ++p) {
    if (p != 9 && ids.count(HeaderObjectId(bytes, p))) pages.push_back(p);
  }
  return pages;
}

void WriteAll(const std::string& path, const std::vector<char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good());
}

// The system tables the analysis reads, by version.
std::set<uint32_t> SystemTables(int version) {
  if (version == 539) return {1, 2, 3};
  if (version == 611) return {4, 5, 7, 13, 34, 41, 54, 55, 60, 74};
  return {3, 5, 7, 34, 41, 54, 55, 60, 74};
}

// Everything the analysis could hand on: the first rows of every table, read
// through the recovered layouts.
size_t CutEveryTable(DataFile& file, const Catalogue& c) {
  size_t cells = 0;
  NullJobControl job;
  for (const auto& t : c.userTables) {
    TableReader reader(file, c, t.id);
    if (!reader.CanRead()) continue;
    size_t rows = 0;
    reader.Read(job, [&](const RowValues& row) {
      cells += row.size();
      return ++rows < 2000;
    });
  }
  return cells;
}

// How many pages the table reader finds for a table.
size_t PagesRead(DataFile& file, const Catalogue& c, int64_t table) {
  size_t pages = 0;
  NullJobControl job;
  TableReader(file, c, table).CountPageRows(job, [&](uint64_t, uint32_t) {
    ++pages;
    return true;
  });
  return pages;
}

bool SameLayout(const ColumnLayout& a, const ColumnLayout& b) {
  if (a.columns.size() != b.columns.size()) return false;
  for (size_t i = 0; i < a.columns.size(); ++i) {
    const auto &x = a.columns[i], &y = b.columns[i];
    if (x.kind != y.kind || x.offset != y.offset || x.length != y.length ||
        x.varIndex != y.varIndex || x.bit != y.bit || x.nullBit != y.nullBit) {
      return false;
    }
  }
  return true;
}

// ------------------------------------------------------- one table missing

struct Missing {
  std::string file;
  uint32_t table;
  const char* tableName;
};

class MissingSystemTable : public ::testing::TestWithParam<Missing> {};

TEST_P(MissingSystemTable, LeavesTheListsItFeedsEmpty) {
  const Missing& m = GetParam();
  const nlohmann::json expected = Reference(m.file);
  size_t tables = 0, columns = 0;
  for (const auto& t : expected["tables"]) {
    tables += !IsBuiltInSchema(t);
    columns += IsBuiltInSchema(t) ? 0 : t["columns"].size();
  }

  std::vector<char> bytes = ReadAll(RealMdf(m.file));
  auto pages = PagesOf(bytes, {m.table});
  ASSERT_FALSE(pages.empty()) << "the file has pages of " << m.tableName;
  for (size_t p : pages) std::fill_n(bytes.begin() + static_cast<ptrdiff_t>(p * kPage), kPage, 0);
  TempFile tmp;
  WriteAll(tmp.path(), bytes);

  DataFile file;
  ASSERT_TRUE(file.Open(tmp.path()));
  ASSERT_TRUE(file.DetectVersion());
  Catalogue c;
  mendora::NullJobControl job;
  ASSERT_NO_THROW(RunAnalysis(file, c, job));
  EXPECT_NO_THROW(CutEveryTable(file, c));

  const bool v539 = expected["version"] == 539;
  auto indexRowsOfTables = [&] {
    return std::count_if(c.indexRows.begin(), c.indexRows.end(),
                         [](const _SYSINDEXES& r) { return r.indid <= 1; });
  };
  auto everyLayoutIsTheColidOrderOne = [&] {
    for (const auto& t : c.userTables) {
      auto cols = ColumnsOf(c, t.id);
      if (!SameLayout(c.layouts.at(t.id), DefaultLayout(cols))) return false;
    }
    return true;
  };
  switch (m.table) {
    case 1:
    case 34:  // objects: nothing hangs on anything
      EXPECT_TRUE(c.objects.empty());
      EXPECT_TRUE(c.userTables.empty());
      EXPECT_TRUE(c.columns.empty());
      EXPECT_TRUE(c.tableStorage.empty());
      EXPECT_TRUE(c.checkTexts.empty());
      EXPECT_TRUE(c.moduleTexts.empty());
      EXPECT_TRUE(c.layouts.empty());
      return;
    case 41:
      EXPECT_TRUE(c.columns.empty());
      for (const auto& [id, layout] : c.layouts) EXPECT_TRUE(layout.columns.empty());
      break;
    case 3:
      if (v539) {
        EXPECT_TRUE(c.columns.empty());
      } else {
        EXPECT_TRUE(everyLayoutIsTheColidOrderOne()) << "no recorded layout is left";
        EXPECT_EQ(c.columns.size(), columns);
      }
      break;
    case 2:
    case 54:
      EXPECT_TRUE(c.indexRows.empty());
      EXPECT_TRUE(c.tableStorage.empty());
      break;
    case 5:
      EXPECT_TRUE(c.rowsets.empty());
      EXPECT_EQ(indexRowsOfTables(), 0) << "a heap or clustered row needs its rowset";
      EXPECT_TRUE(everyLayoutIsTheColidOrderOne());
      break;
    case 7:
      EXPECT_TRUE(c.allocationUnits.empty());
      EXPECT_EQ(indexRowsOfTables(), 0) << "a heap or clustered row needs its unit";
      for (const auto& t : c.userTables) EXPECT_EQ(PagesRead(file, c, t.id), 0u);
      break;
    case 13:
      EXPECT_TRUE(everyLayoutIsTheColidOrderOne());
      break;
    case 55:
      EXPECT_TRUE(c.indexKeys.empty());
      break;
    case 74:
      EXPECT_TRUE(c.dependencies.empty());
      break;
    case 60:
      EXPECT_TRUE(c.checkTexts.empty());
      EXPECT_TRUE(c.moduleTexts.empty());
      break;
    default:
      break;  // 611 sysrowsetcolumns: only that nothing breaks
  }
  // The object list does not depend on the table that is missing.
  EXPECT_EQ(c.userTables.size(), tables);
  if (m.table != 41 && !(v539 && m.table == 3)) {
    EXPECT_EQ(c.columns.size(), columns);
  }
}

std::vector<Missing> MissingCases() {
  const std::vector<std::pair<uint32_t, const char*>> v539 = {
      {1, "sysobjects"}, {3, "syscolumns"}, {2, "sysindexes"}};
  const std::vector<std::pair<uint32_t, const char*>> shared = {
      {34, "sysschobjs"},  {41, "syscolpars"}, {5, "sysrowsets"},        {7, "sysallocunits"},
      {54, "sysidxstats"}, {55, "sysiscols"},  {74, "syssingleobjrefs"}, {60, "sysobjvalues"}};
  std::vector<Missing> out;
  for (const auto& [id, name] : v539) out.push_back({"v539-northwind.mdf", id, name});
  for (const auto& [id, name] : shared) out.push_back({"v611-pubs.mdf", id, name});
  out.push_back({"v611-pubs.mdf", 4, "sysrowsetcolumns"});
  out.push_back({"v611-pubs.mdf", 13, "syshobtcolumns"});
  for (const auto& [id, name] : shared) out.push_back({"v655-northwind-native.mdf", id, name});
  out.push_back({"v655-northwind-native.mdf", 3, "sysrscols"});
  return out;
}

std::string CaseName(const std::string& file, const std::string& suffix) {
  std::string n = file.substr(0, file.find(".mdf")) + "_" + suffix;
  for (char& ch : n) {
    if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return n;
}

INSTANTIATE_TEST_SUITE_P(RealFiles, MissingSystemTable, ::testing::ValuesIn(MissingCases()),
                         [](const auto& info) {
                           return CaseName(info.param.file, info.param.tableName);
                         });

// ------------------------------------------------------------ flipped bytes

class FlippedSystemBytes : public ::testing::TestWithParam<std::string> {};

TEST_P(FlippedSystemBytes, NeverCrashTheAnalysisOrTheRowCutting) {
  const std::vector<char> original = ReadAll(RealMdf(GetParam()));
  DataFile probe;
  ASSERT_TRUE(probe.Open(RealMdf(GetParam())));
  ASSERT_TRUE(probe.DetectVersion());
  const auto pages = PagesOf(original, SystemTables(probe.Version().Number()));
  probe.Close();
  ASSERT_FALSE(pages.empty());

  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    std::vector<char> bytes = original;
    // A few pages take many flips, the rest none: headers, slot arrays and
    // rows all get hit across the seeds.
    std::vector<size_t> hit = pages;
    std::shuffle(hit.begin(), hit.end(), rng);
    hit.resize(std::min<size_t>(hit.size(), 4));
    for (int k = 0; k < 48; ++k) {
      size_t at = hit[rng() % hit.size()] * kPage + rng() % kPage;
      bytes[at] = static_cast<char>(bytes[at] ^ static_cast<char>(1 + rng() % 255));
    }
    TempFile tmp;
    WriteAll(tmp.path(), bytes);
    DataFile file;
    ASSERT_TRUE(file.Open(tmp.path()));
    ASSERT_TRUE(file.DetectVersion());
    Catalogue c;
    mendora::NullJobControl job;
    EXPECT_NO_THROW(RunAnalysis(file, c, job));
    EXPECT_NO_THROW(CutEveryTable(file, c));
    for (const auto& o : c.objects) EXPECT_LE(o.name.size(), 128u);
  }
}

INSTANTIATE_TEST_SUITE_P(RealFiles, FlippedSystemBytes,
                         ::testing::Values("v539-northwind.mdf", "v611-pubs.mdf",
                                           "v655-northwind-native.mdf", "v611-bltoolkit.mdf"),
                         [](const auto& info) { return CaseName(info.param, "flips"); });

// ------------------------------------------------- object pages unlabelled

// Every page of the object table and of the allocation units has a header
// that names another table: the object table is still found, through the boot
// page's pointer to the allocation units and their links, and said to be
// damaged.
class UnlabelledObjectPages : public ::testing::TestWithParam<std::string> {};

TEST_P(UnlabelledObjectPages, AreFoundThroughTheBootPage) {
  const std::string path = RealMdf(GetParam());
  DataFile healthy;
  ASSERT_TRUE(healthy.Open(path));
  ASSERT_TRUE(healthy.DetectVersion());
  Catalogue expected;
  mendora::NullJobControl job;
  RunAnalysis(healthy, expected, job);
  healthy.Close();
  ASSERT_FALSE(expected.objects.empty());

  std::vector<char> bytes = ReadAll(path);
  // The object table's own pages: its clustered index's data pages (its other
  // indexes' pages carry its object id too).
  std::vector<size_t> objectPages;
  for (size_t p : PagesOf(bytes, {34})) {
    if (bytes[p * kPage + 1] == 1 && bytes[p * kPage + 6] == 1 && bytes[p * kPage + 7] == 0) {
      objectPages.push_back(p);
    }
  }
  ASSERT_FALSE(objectPages.empty());
  for (size_t p : PagesOf(bytes, {34, 7})) bytes[p * kPage + 24] ^= 0x40;
  TempFile tmp;
  WriteAll(tmp.path(), bytes);
  DataFile file;
  ASSERT_TRUE(file.Open(tmp.path()));
  ASSERT_TRUE(file.DetectVersion());
  Catalogue c;
  RunAnalysis(file, c, job);
  EXPECT_EQ(c.objects.size(), expected.objects.size());
  EXPECT_EQ(c.userTables.size(), expected.userTables.size());
  EXPECT_EQ(c.damage.pagesThroughBootPage, objectPages.size());
  EXPECT_FALSE(DamageWarnings(c).empty());
}

INSTANTIATE_TEST_SUITE_P(RealFiles, UnlabelledObjectPages,
                         ::testing::Values("v611-pubs.mdf", "v611-northwind.mdf",
                                           "v655-northwind-native.mdf", "v655-members-cjk.mdf"),
                         [](const auto& info) { return CaseName(info.param, "unlabelled"); });

}  // namespace
