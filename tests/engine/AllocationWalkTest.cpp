// Finding an object's pages through its IAM pages: the single-page slots and
// the extent bitmap, chains of IAM pages, a page that is not the head of its
// chain, and the next-page chain that stands in for an empty sysobjects IAM.
#include <gtest/gtest.h>

#include <set>

#include "engine/AllocationMap.h"
#include "engine/CatalogueRecovery2000.h"
#include "engine/TableReader.h"
#include "tests/engine/AnalysedFile.h"

using namespace mendora;
using namespace mdftest;
using analysedtest::AnalysedFile;

namespace {

struct OpenFile {
  explicit OpenFile(const MdfBuilder& b) {
    b.WriteTo(tmp.path());
    EXPECT_TRUE(file.Open(tmp.path()));
    EXPECT_TRUE(file.DetectVersion());
  }
  TempFile tmp;
  DataFile file;
};

std::vector<std::pair<uint64_t, bool>> Entries(const AllocationWalk& walk) {
  std::vector<std::pair<uint64_t, bool>> out;
  for (const auto& e : walk.entries) out.emplace_back(e.page, e.extent);
  return out;
}

std::vector<uint64_t> Range(uint64_t first, uint64_t count) {
  std::vector<uint64_t> out;
  for (uint64_t k = 0; k < count; ++k) out.push_back(first + k);
  return out;
}

std::vector<uint64_t> Join(std::initializer_list<std::vector<uint64_t>> parts) {
  std::vector<uint64_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

constexpr uint32_t kObject = 0x4D2;

}  // namespace

// --------------------------------------------------------------- one page

TEST(WalkIam, EightSinglePagesEvenEmptyThenOneEntryPerExtent) {
  MdfBuilder b(655, u"db", 64);
  b.SetPage(IamPageFor(20, kObject, 256, 0, {17, 0, 19}, {24, 40}));
  OpenFile f(b);
  AllocationWalk walk = WalkIAM(f.file, 20);
  EXPECT_EQ(walk.iamObjectId, kObject);
  using E = std::pair<uint64_t, bool>;
  EXPECT_EQ(Entries(walk), (std::vector<E>{{17, false},
                                           {0, false},
                                           {19, false},
                                           {0, false},
                                           {0, false},
                                           {0, false},
                                           {0, false},
                                           {0, false},
                                           {24, true},
                                           {40, true}}));
  EXPECT_EQ(ExpandPages(walk.entries),
            Join({{17, 0, 19, 0, 0, 0, 0, 0}, Range(24, 8), Range(40, 8)}));
}

TEST(WalkIam, ExtentsPastTheEndOfTheFileAreNotListed) {
  MdfBuilder b(655, u"db", 40);
  b.SetPage(IamPageFor(20, kObject, 256, 0, {}, {24, 32, 4096}));
  OpenFile f(b);
  EXPECT_EQ(ExpandPages(WalkIAM(f.file, 20).entries),
            Join({std::vector<uint64_t>(8, 0), Range(24, 8), Range(32, 8)}));
}

TEST(WalkIam, APageWithAPreviousPageIsNotTheHeadOfAChainAndGivesNothing) {
  for (bool byFile : {false, true}) {
    MdfBuilder b(655, u"db", 64);
    PageBuilder iam = IamPageFor(20, kObject, 256, 0, {17}, {24});
    if (byFile) {
      iam.Header().prevFile = 1;
    } else {
      iam.Header().prevPage = 33;
    }
    b.SetPage(iam);
    OpenFile f(b);
    EXPECT_TRUE(WalkIAM(f.file, 20).entries.empty())
        << (byFile ? "previous file" : "previous page");
  }
}

// ------------------------------------------------------------------ chains

TEST(WalkIam, LaterIamPagesOfTheChainMapTheIntervalAtTheirStartPage) {
  MdfBuilder b(655, u"db", 120);
  PageBuilder first = IamPageFor(20, kObject, 256, 0, {17}, {24});
  first.Header().nextPage = 21;
  b.SetPage(first);
  b.SetPage(IamPageFor(21, kObject, 256, 64, {50, 0, 51}, {64, 80}));
  OpenFile f(b);
  // Empty single slots of later pages add nothing.
  EXPECT_EQ(ExpandPages(WalkIAM(f.file, 20).entries),
            Join({{17, 0, 0, 0, 0, 0, 0, 0}, Range(24, 8), {50, 51}, Range(64, 8), Range(80, 8)}));
}

TEST(WalkIam, AChainThatComesBackToAPageSeenBeforeStops) {
  MdfBuilder b(655, u"db", 64);
  PageBuilder first = IamPageFor(20, kObject, 256, 0, {17}, {});
  first.Header().nextPage = 21;
  // The second page maps an interval of its own (from page 8).
  PageBuilder second = IamPageFor(21, kObject, 256, 8, {18}, {32});
  second.Header().nextPage = 20;
  b.SetPage(first);
  b.SetPage(second);
  OpenFile f(b);
  EXPECT_EQ(ExpandPages(WalkIAM(f.file, 20).entries),
            Join({{17, 0, 0, 0, 0, 0, 0, 0}, {18}, Range(32, 8)}));

  MdfBuilder self(655, u"db", 64);
  PageBuilder only = IamPageFor(20, kObject, 256, 0, {17}, {});
  only.Header().nextPage = 20;
  self.SetPage(only);
  OpenFile g(self);
  EXPECT_EQ(WalkIAM(g.file, 20).entries.size(), 8u);
}

TEST(WalkIam, AnIntervalIsMappedOnceHoweverManyPagesOfTheChainMapIt) {
  // A chain of 40 IAM pages, every one mapping the first interval with the
  // same extents: the walk costs one page's worth, not forty.
  MdfBuilder b(655, u"db", 256);
  for (uint32_t k = 0; k < 40; ++k) {
    PageBuilder iam = IamPageFor(100 + k, kObject, 256, 0, {17 + k}, {32, 40});
    iam.Header().prevPage = k == 0 ? 0 : 99 + k;
    iam.Header().nextPage = k == 39 ? 0 : 101 + k;
    b.SetPage(iam);
  }
  OpenFile f(b);
  EXPECT_EQ(ExpandPages(WalkIAM(f.file, 100).entries),
            Join({{17, 0, 0, 0, 0, 0, 0, 0}, Range(32, 8), Range(40, 8)}));
}

TEST(WalkIam, AChainLeadingToAPageThatIsNotThisObjectsIamStops) {
  MdfBuilder b(655, u"db", 64);
  PageBuilder first = IamPageFor(20, kObject, 256, 0, {17}, {});
  first.Header().nextPage = 21;
  b.SetPage(first);
  b.SetPage(IamPageFor(21, kObject + 1, 256, 0, {18}, {}));  // another object's
  PageBuilder second = IamPageFor(22, kObject, 256, 0, {19}, {});
  b.SetPage(second);
  OpenFile f(b);
  EXPECT_EQ(ExpandPages(WalkIAM(f.file, 20).entries),
            (std::vector<uint64_t>{17, 0, 0, 0, 0, 0, 0, 0}));
}

// A table whose rows reach into a second IAM page's interval: the table's
// pages and rows come from both.
TEST(TablePagesTest, RowsInTheIntervalOfASecondIamPageAreFound) {
  CatalogueBuilder cat(655, u"db");
  std::vector<Row> rows = {{IntValue(1)}, {IntValue(2)}};
  int32_t t = cat.AddTable(u"Big", {IntColumn(u"id")}, rows);
  MdfBuilder mdf = cat.Build();
  const BuiltTable& table = cat.Table(t);
  const uint32_t start = (mdf.PageCount() + 7) / 8 * 8 + 64;
  mdf.Page(table.iamPage).Header().nextPage = start - 1;
  mdf.SetPage(IamPageFor(start - 1, table.objectIdOnPages, 256, start, {}, {start}));
  for (uint32_t p : {start, start + 3}) {
    auto& page = mdf.Page(p);
    page.Header().objectId = table.objectIdOnPages;
    page.Header().indexId = 256;
    page.AddRecord(RecordBuilder().Fixed(U32(100 + p)).Columns(1).Build());
    CatalogueBuilder::SetAllocated(mdf, p, true);
  }
  AnalysedFile f(mdf);
  std::vector<uint64_t> expected(table.dataPages.begin(), table.dataPages.end());
  expected.push_back(start);
  expected.push_back(start + 3);
  EXPECT_EQ(f.Pages(t), expected);
  rows.push_back({IntValue(static_cast<int32_t>(100 + start))});
  rows.push_back({IntValue(static_cast<int32_t>(100 + start + 3))});
  EXPECT_EQ(f.Rows(t), rows);
}

TEST(TablePagesTest, ATableWhoseIamPageHasAPreviousPageHasNoPages) {
  for (uint16_t version : {539, 655}) {
    CatalogueBuilder cat(version, u"db");
    int32_t t = cat.AddTable(u"T", {IntColumn(u"id")}, {{IntValue(1)}});
    MdfBuilder mdf = cat.Build();
    mdf.Page(cat.Table(t).iamPage).Header().prevPage = 3;
    AnalysedFile f(mdf);
    ASSERT_TRUE(f.StorageOf(t)) << version;
    EXPECT_TRUE(f.Pages(t).empty()) << version;
  }
}

// ------------------------------------------------- the 2000 system tables

class SysObjects2000 : public ::testing::Test {
 protected:
  // Objects spread one per sysobjects page, so that every page matters.
  SysObjects2000() : cat_(539, u"db") {
    table_ = cat_.AddTable(u"Orders", {IntColumn(u"id"), IntColumn(u"qty"), IntColumn(u"ship")});
    for (int i = 0; i < 20; ++i) cat_.AddObject(u"obj" + std::u16string(1, u'A' + i), "D ", table_);
    cat_.SetSystemRowsPerPage(kObjSysObjects, 1);
    cat_.SetSystemRowsPerPage(kObjSysColumns, 3);
  }
  static std::set<std::u16string> Names(const Catalogue& c) {
    std::set<std::u16string> out;
    for (const auto& o : c.objects) out.insert(o.name);
    return out;
  }
  std::set<std::u16string> AllNames() {
    std::set<std::u16string> out{u"sysobjects", u"sysindexes", u"syscolumns", u"Orders"};
    for (int i = 0; i < 20; ++i) out.insert(u"obj" + std::u16string(1, u'A' + i));
    return out;
  }
  CatalogueBuilder cat_;
  int32_t table_ = 0;
};

TEST_F(SysObjects2000, PagesPastTheEighthComeFromWholeExtents) {
  MdfBuilder mdf = cat_.Build();
  ASSERT_EQ(cat_.SystemPages(kObjSysObjects).size(), 24u);
  AnalysedFile f(mdf);
  AllocationWalk walk = WalkIAM(f.file, kSysObjectsIam2000);
  ASSERT_EQ(walk.entries.size(), 10u);
  EXPECT_FALSE(walk.entries[7].extent);
  EXPECT_TRUE(walk.entries[8].extent);
  EXPECT_EQ(Names(f.c), AllNames());
}

TEST_F(SysObjects2000, AnEmptyFirstSingleSlotOfPage10FallsBackToTheNextPageChain) {
  MdfBuilder mdf = cat_.Build();
  // Only page 8 (the first sysobjects page) is left out of the IAM page.
  mdf.Page(kSysObjectsIam2000).Poke(142, ByteVec(6));
  AnalysedFile f(mdf);
  EXPECT_EQ(Names(f.c), AllNames()) << "page 8 and every page after it by their next-page fields";

  MdfBuilder empty = cat_.Build();
  empty.Page(kSysObjectsIam2000).Poke(142, ByteVec(48));
  empty.Page(kSysObjectsIam2000).Poke(190 + 4, ByteVec(64));  // no extents either
  AnalysedFile g(empty);
  EXPECT_EQ(Names(g.c), AllNames());
}

TEST_F(SysObjects2000, ANextPageChainThatLoopsStops) {
  MdfBuilder mdf = cat_.Build();
  const auto& pages = cat_.SystemPages(kObjSysObjects);
  mdf.Page(kSysObjectsIam2000).Poke(142, ByteVec(48));
  mdf.Page(pages[5]).Header().nextPage = pages[2];  // back into the chain
  AnalysedFile f(mdf);
  std::vector<uint64_t> chain;
  for (const auto& e : NextPageChain(f.file, 8)) chain.push_back(e.page);
  EXPECT_EQ(chain, std::vector<uint64_t>(pages.begin(), pages.begin() + 6));
  std::set<std::u16string> expected = {u"sysobjects", u"sysindexes", u"syscolumns",
                                       u"Orders",     u"objA",       u"objB"};
  EXPECT_EQ(Names(f.c), expected);
}

TEST_F(SysObjects2000, APreviousPageOnPage10LeavesNoObjects) {
  MdfBuilder mdf = cat_.Build();
  mdf.Page(kSysObjectsIam2000).Header().prevPage = 77;
  AnalysedFile f(mdf);
  EXPECT_TRUE(f.c.objects.empty());
  EXPECT_TRUE(f.c.userTables.empty());
  EXPECT_TRUE(f.c.columns.empty());
}

// The chain stands in for page 10 only: an empty first slot of syscolumns'
// IAM page 26 just loses that page.
TEST_F(SysObjects2000, OtherIamPagesHaveNoChainFallback) {
  MdfBuilder mdf = cat_.Build();
  mdf.Page(kSysColumnsIam2000).Poke(142, ByteVec(6));
  AnalysedFile f(mdf);
  // The first syscolumns page held two system columns and the table's first.
  std::vector<std::u16string> names;
  for (const auto& c : f.ColumnsOf(table_)) names.push_back(c.name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"qty", u"ship"}));
}
