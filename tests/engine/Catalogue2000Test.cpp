// The 2000 catalogue beyond tables and columns: index keys and key kinds from
// sysindexes, foreign keys from sysreferences and check and module texts from
// syscomments, each cut through the layout its own syscolumns rows give. The
// files come from CatalogueBuilder; every case here is one the real files do
// not show (or show only once): carried keys, uniquifiers, numbered parts,
// both text encodings over many rows and pages, damaged and missing rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "engine/Utf16.h"
#include "tests/engine/AnalysedFile.h"
#include "tests/integration/CliRun.h"

using namespace mendora;
using namespace mdftest;
using analysedtest::AnalysedFile;

namespace {

// The key columns of one index in key order; fails when the ordinals are not
// 1, 2, 3, ... or a column is an included one.
std::vector<uint32_t> KeyColumns(const Catalogue& c, int32_t tableId, uint32_t indid) {
  std::vector<_SysIndexKeys> keys;
  for (const auto& k : c.indexKeys) {
    if (k.objectId == static_cast<uint32_t>(tableId) && k.indexId == indid) keys.push_back(k);
  }
  std::stable_sort(keys.begin(), keys.end(),
                   [](const auto& a, const auto& b) { return a.keyOrdinal < b.keyOrdinal; });
  std::vector<uint32_t> columns;
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(keys[i].keyOrdinal, i + 1) << "index " << indid << " of table " << tableId;
    EXPECT_FALSE(keys[i].included);
    columns.push_back(keys[i].columnId);
  }
  return columns;
}

using Columns = std::vector<uint32_t>;

std::map<std::u16string, _SYSINDEXES> IndexesByName(const AnalysedFile& f, int32_t tableId) {
  std::map<std::u16string, _SYSINDEXES> out;
  for (const auto& r : f.IndexRowsOf(tableId)) out[r.name] = r;
  return out;
}

template <typename Text>
const Text* TextOf(const std::vector<Text>& texts, int32_t objectId) {
  const Text* found = nullptr;
  for (const auto& t : texts) {
    if (t.objectId != static_cast<uint32_t>(objectId)) continue;
    EXPECT_EQ(found, nullptr) << "object " << objectId << " has two texts";
    found = &t;
  }
  return found;
}
const _Procedures* ModuleText(const AnalysedFile& f, int32_t id) {
  return TextOf(f.c.moduleTexts, id);
}
const _Check_Constraints* CheckText(const AnalysedFile& f, int32_t id) {
  return TextOf(f.c.checkTexts, id);
}

std::u16string Numbered(const std::u16string& prefix, int n) {
  std::u16string out;
  for (int i = 0; i < n; ++i) {
    std::string s = std::to_string(i) + ",";
    out += prefix + std::u16string(s.begin(), s.end());
  }
  return out;
}

// ------------------------------------------------------------ syscomments rows
// A row as the builder encodes it (its first id, like a syscolumns row's
// table id, at 4): 0 status, 2 fixed-part end (14), 4 id,
// 8 number, 10 colid, 12 status, 14 column count (5), 16 NULL bitmap, 17
// variable column count (1), 19 end of ctext, 21 ctext.
int32_t CommentObject(const ByteVec& row) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | std::to_integer<uint8_t>(row[4 + i]);
  return static_cast<int32_t>(v);
}
int16_t CommentColid(const ByteVec& row) {
  return static_cast<int16_t>(std::to_integer<uint8_t>(row[10]) | std::to_integer<uint8_t>(row[11])
                                                                      << 8);
}
void PutU16(ByteVec& row, size_t at, uint16_t v) {
  row[at] = std::byte{static_cast<uint8_t>(v)};
  row[at + 1] = std::byte{static_cast<uint8_t>(v >> 8)};
}

// ----------------------------------------------------------------- index keys

TEST(Catalogue2000Keys, ANonclusteredIndexOfAClusteredTableLeavesTheCarriedKeyOut) {
  CatalogueBuilder cat(539, u"db");
  int32_t t = cat.AddTable(
      u"Lines",
      {IntColumn(u"order", true), IntColumn(u"qty"), IntColumn(u"line", true), IntColumn(u"item")},
      {{IntValue(1), IntValue(5), IntValue(2), IntValue(9)}});
  cat.AddKey(t, u"PK_Lines", "PK", {1, 3}, true);
  // Own keys item, line, qty; the carried clustering key is order, line
  // (line marked as one of the index's own keys too).
  int32_t ix = cat.AddIndex(t, u"IX_item", {4, 3, 2});
  // Only a clustering-key column: it is carried along as well.
  int32_t byOrder = cat.AddIndex(t, u"IX_order", {1});
  AnalysedFile f(cat.Build());
  EXPECT_EQ(KeyColumns(f.c, t, 1), (Columns{1, 3}));
  EXPECT_EQ(KeyColumns(f.c, t, static_cast<uint32_t>(ix)), (Columns{4, 3, 2}));
  EXPECT_EQ(KeyColumns(f.c, t, static_cast<uint32_t>(byOrder)), (Columns{1}));
  // Nothing else: no carried column under any index of the table.
  EXPECT_EQ(std::count_if(f.c.indexKeys.begin(), f.c.indexKeys.end(),
                          [&](const auto& k) { return k.objectId == static_cast<uint32_t>(t); }),
            6);
}

TEST(Catalogue2000Keys, TheUniquifierOfANonUniqueClusteredIndexIsNoKeyColumn) {
  CatalogueBuilder cat(539, u"db");
  int32_t t =
      cat.AddTable(u"Emp",
                   {IntColumn(u"id", true), NVarCharColumn(u"last", 20),
                    NVarCharColumn(u"first", 20), IntColumn(u"dept")},
                   {{IntValue(7), NVarCharValue(u"Ray"), NVarCharValue(u"Al"), IntValue(3)},
                    {IntValue(8), NVarCharValue(u"Ray"), NVarCharValue(u"Bo"), IntValue(3)}});
  int32_t clustered = cat.AddIndex2000(t, u"emp_ind", {2, 3}, 0, true);
  // Carries last, first and the uniquifier along.
  int32_t pk = cat.AddKey(t, u"PK_emp", "PK", {1});
  int32_t dept = cat.AddIndex(t, u"IX_dept", {4});
  ASSERT_EQ(clustered, 1);
  AnalysedFile f(cat.Build());
  EXPECT_EQ(KeyColumns(f.c, t, 1), (Columns{2, 3}));
  EXPECT_EQ(KeyColumns(f.c, t, 2), (Columns{1}));
  EXPECT_EQ(KeyColumns(f.c, t, static_cast<uint32_t>(dept)), (Columns{4}));
  for (const auto& k : f.c.indexKeys) EXPECT_NE(k.columnId, 0u) << "index " << k.indexId;

  auto byName = IndexesByName(f, t);
  ASSERT_EQ(byName.count(u"emp_ind"), 1u);
  EXPECT_EQ(byName[u"emp_ind"].indid, 1);
  EXPECT_FALSE(byName[u"emp_ind"].unique);
  EXPECT_FALSE(byName[u"emp_ind"].primaryKey);
  EXPECT_TRUE(byName[u"PK_emp"].primaryKey);
  EXPECT_NE(f.Object(u"PK_emp"), nullptr);
  EXPECT_EQ(f.Object(u"PK_emp")->id, pk);
  // The rows carry the uniquifier before their own variable columns and
  // still read whole.
  auto rows = f.Rows(t);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][2], NVarCharValue(u"Bo"));
}

TEST(Catalogue2000Keys, ANonclusteredIndexOfAHeapLeavesTheRowLocatorOut) {
  CatalogueBuilder cat(539, u"db");
  int32_t t = cat.AddTable(u"Log", {IntColumn(u"at"), IntColumn(u"code"), IntColumn(u"who")});
  int32_t ix = cat.AddIndex(t, u"IX_who_code", {3, 2});
  AnalysedFile f(cat.Build());
  EXPECT_EQ(KeyColumns(f.c, t, static_cast<uint32_t>(ix)), (Columns{3, 2}));
  EXPECT_EQ(KeyColumns(f.c, t, 0), Columns{}) << "a heap has no key";
}

TEST(Catalogue2000Keys, StatisticsHypotheticalAndTextRowsHaveNoKeyColumns) {
  CatalogueBuilder cat(539, u"db");
  int32_t t =
      cat.AddTable(u"T", {IntColumn(u"a"), IntColumn(u"b"), TextColumn(u"notes")},
                   {{IntValue(1), IntValue(2), LargeValue(Ascii("text"), LobShape::kSmallRoot)}});
  cat.AddKey(t, u"PK_T", "PK", {1}, true);
  int32_t stats = cat.AddIndex2000(t, u"_WA_Sys_b", {2}, 0x40);
  int32_t hypothetical = cat.AddIndex2000(t, u"hind_b", {2}, 0x20);
  int32_t real = cat.AddIndex2000(t, u"IX_b", {2}, 0);
  AnalysedFile f(cat.Build());
  ASSERT_EQ(IndexesByName(f, t).count(u"tT"), 1u) << "the text/image row is there";
  EXPECT_EQ(KeyColumns(f.c, t, static_cast<uint32_t>(stats)), Columns{});
  EXPECT_EQ(KeyColumns(f.c, t, static_cast<uint32_t>(hypothetical)), Columns{});
  EXPECT_EQ(KeyColumns(f.c, t, 255), Columns{});
  EXPECT_EQ(KeyColumns(f.c, t, static_cast<uint32_t>(real)), (Columns{2}));
  EXPECT_EQ(KeyColumns(f.c, t, 1), (Columns{1}));
}

TEST(Catalogue2000Keys, PrimaryKeyUniqueConstraintAndUniqueIndexAreToldApart) {
  CatalogueBuilder cat(539, u"db");
  int32_t t = cat.AddTable(
      u"Items", {IntColumn(u"id", true), IntColumn(u"code"), IntColumn(u"ean"), IntColumn(u"qty")});
  cat.AddKey(t, u"PK_Items", "PK", {1}, true);
  cat.AddKey(t, u"UQ_Items_code", "UQ", {2});
  cat.AddIndex2000(t, u"UX_Items_ean", {3}, 0x02);
  cat.AddIndex(t, u"IX_Items_qty", {4});
  // The other way round: a nonclustered primary key and a clustered unique key.
  int32_t u = cat.AddTable(u"Codes", {IntColumn(u"id", true), IntColumn(u"code", true)});
  cat.AddKey(u, u"PK_Codes", "PK", {1});
  cat.AddKey(u, u"UQ_Codes", "UQ", {2}, true);
  AnalysedFile f(cat.Build());

  struct Kind {
    bool unique, primaryKey, uniqueConstraint;
  };
  const std::map<std::u16string, Kind> expected = {
      {u"PK_Items", {true, true, false}},      {u"UQ_Items_code", {true, false, true}},
      {u"UX_Items_ean", {true, false, false}}, {u"IX_Items_qty", {false, false, false}},
      {u"PK_Codes", {true, true, false}},      {u"UQ_Codes", {true, false, true}}};
  auto items = IndexesByName(f, t);
  auto codes = IndexesByName(f, u);
  items.insert(codes.begin(), codes.end());
  for (const auto& [name, kind] : expected) {
    ASSERT_EQ(items.count(name), 1u) << ToUtf8(name);
    const _SYSINDEXES& r = items[name];
    EXPECT_EQ(r.unique, kind.unique) << ToUtf8(name);
    EXPECT_EQ(r.primaryKey, kind.primaryKey) << ToUtf8(name);
    EXPECT_EQ(r.uniqueConstraint, kind.uniqueConstraint) << ToUtf8(name);
  }
  EXPECT_EQ(items[u"UQ_Codes"].indid, 1);
  EXPECT_EQ(KeyColumns(f.c, u, 1), (Columns{2}));
  EXPECT_EQ(KeyColumns(f.c, u, items[u"PK_Codes"].indid), (Columns{1}));
}

// A file whose syscolumns do not describe sysindexes still gives its index
// rows, but no keys and no key kinds: those are read through that description.
TEST(Catalogue2000Keys, WithoutTheDescriptionOfSysindexesTheIndexRowsStayWithoutKeys) {
  CatalogueBuilder cat(539, u"db");
  int32_t t = cat.AddTable(u"Items", {IntColumn(u"id", true), IntColumn(u"code")});
  cat.AddKey(t, u"PK_Items", "PK", {1}, true);
  cat.AddIndex(t, u"IX_code", {2});
  cat.EditSystemRows([](CatalogueBuilder::SystemRowLists& rows) {
    auto& columns = rows[kObjSysColumns];
    std::erase_if(columns, [](const ByteVec& r) {
      return CommentObject(r) == static_cast<int32_t>(kObjSysIndexes);
    });
  });
  AnalysedFile f(cat.Build());
  auto byName = IndexesByName(f, t);
  ASSERT_EQ(byName.size(), 2u);
  EXPECT_FALSE(byName[u"PK_Items"].primaryKey);
  EXPECT_TRUE(f.c.indexKeys.empty());
  ASSERT_EQ(f.c.userTables.size(), 1u);
  EXPECT_EQ(f.ColumnsOf(t).size(), 2u);
}

// --------------------------------------------------------------- foreign keys

TEST(Catalogue2000ForeignKeys, BothColumnListsComeInKeyOrderWithTheirTables) {
  CatalogueBuilder cat(539, u"db");
  int32_t orders = cat.AddTable(
      u"Orders", {IntColumn(u"shop", true), IntColumn(u"note"), IntColumn(u"number", true)});
  cat.AddKey(orders, u"PK_Orders", "PK", {3, 1}, true);
  int32_t lines = cat.AddTable(u"Lines", {IntColumn(u"line"), IntColumn(u"ordernumber"),
                                          IntColumn(u"qty"), IntColumn(u"ordershop")});
  int32_t items = cat.AddTable(u"Items", {IntColumn(u"id", true)});
  // Key order differs from colid order on both sides.
  int32_t fk = cat.AddForeignKey(lines, u"FK_Lines_Orders", {2, 4}, orders, {3, 1});
  int32_t other = cat.AddForeignKey(lines, u"FK_Lines_Items", {3}, items, {1});
  AnalysedFile f(cat.Build());
  ASSERT_NE(f.Object(u"FK_Lines_Orders"), nullptr);
  EXPECT_EQ(f.Object(u"FK_Lines_Orders")->type, u"F ");
  EXPECT_EQ(f.Object(u"FK_Lines_Orders")->parentId, lines);

  auto entries = [&](int32_t id, uint32_t refClass) {
    std::vector<_SysConstraints> out;
    for (const auto& d : f.c.dependencies) {
      if (d.depId == static_cast<uint32_t>(id) && d.refClass == refClass) out.push_back(d);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](auto& a, auto& b) { return a.depSubId < b.depSubId; });
    return out;
  };
  auto from = entries(fk, kReferencingColumn);
  auto to = entries(fk, kReferencedColumn);
  ASSERT_EQ(from.size(), 2u);
  ASSERT_EQ(to.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(from[i].depSubId, i + 1);
    EXPECT_EQ(to[i].depSubId, i + 1);
    EXPECT_EQ(from[i].indepId, static_cast<uint32_t>(lines));
    EXPECT_EQ(to[i].indepId, static_cast<uint32_t>(orders));
  }
  EXPECT_EQ(from[0].indepSubId, 2u);
  EXPECT_EQ(from[1].indepSubId, 4u);
  EXPECT_EQ(to[0].indepSubId, 3u);
  EXPECT_EQ(to[1].indepSubId, 1u);

  auto otherFrom = entries(other, kReferencingColumn);
  auto otherTo = entries(other, kReferencedColumn);
  ASSERT_EQ(otherFrom.size(), 1u);
  ASSERT_EQ(otherTo.size(), 1u);
  EXPECT_EQ(otherFrom[0].indepSubId, 3u);
  EXPECT_EQ(otherTo[0].indepId, static_cast<uint32_t>(items));
  EXPECT_EQ(f.c.dependencies.size(), 6u) << "nothing but the two keys' columns";
}

TEST(Catalogue2000ForeignKeys, AKeyCountPastTheStoredColumnsKeepsOnlyTheStoredOnes) {
  CatalogueBuilder cat(539, u"db");
  int32_t a = cat.AddTable(u"A", {IntColumn(u"id", true), IntColumn(u"b")});
  int32_t b = cat.AddTable(u"B", {IntColumn(u"id", true)});
  int32_t fk = cat.AddForeignKey(a, u"FK_A_B", {2}, b, {1});
  cat.EditSystemRows([&](CatalogueBuilder::SystemRowLists& rows) {
    // keycnt says 3 where forkeys and refkeys hold one column each.
    rows[kObjSysReferences] = {Encode(SysReferencesRow{fk, a, b, 1, {2}, {1}, int16_t{3}})};
  });
  AnalysedFile f(cat.Build());
  ASSERT_EQ(f.c.dependencies.size(), 2u);
  for (const auto& d : f.c.dependencies) {
    EXPECT_EQ(d.depId, static_cast<uint32_t>(fk));
    EXPECT_EQ(d.depSubId, 1u);
  }
}

// ---------------------------------------------------------------------- texts

TEST(Catalogue2000Texts, AModuleOverSeveralRowsIsJoinedExactlyInEitherEncoding) {
  CatalogueBuilder cat(539, u"db");
  const std::u16string wide =
      u"CREATE VIEW v AS SELECT N'caf\u00E9 \u4E2D\u6587' AS x -- " + Numbered(u"w", 12);
  const std::u16string narrow =
      u"CREATE PROCEDURE p AS SELECT '\u20AC5 caf\u00E9' -- " + Numbered(u"n", 12);
  int32_t view = cat.AddModule("V ", u"v", wide, 0, {false, 9});
  int32_t proc = cat.AddModule("P ", u"p", narrow, 0, {true, 9});
  // The rows of both texts interleaved, the later rows first.
  cat.EditSystemRows([](CatalogueBuilder::SystemRowLists& rows) {
    auto& list = rows[kObjSysComments];
    ASSERT_GT(list.size(), 10u);
    std::reverse(list.begin(), list.end());
    std::stable_partition(list.begin(), list.end(),
                          [](const ByteVec& r) { return CommentColid(r) % 2 == 0; });
  });
  AnalysedFile f(cat.Build());
  ASSERT_NE(ModuleText(f, view), nullptr);
  EXPECT_EQ(ModuleText(f, view)->text, wide);
  EXPECT_FALSE(ModuleText(f, view)->incomplete);
  ASSERT_NE(ModuleText(f, proc), nullptr);
  EXPECT_EQ(ModuleText(f, proc)->text, narrow) << "one byte per character, Windows-1252";
  EXPECT_FALSE(ModuleText(f, proc)->incomplete);
  EXPECT_TRUE(f.c.checkTexts.empty());
}

TEST(Catalogue2000Texts, FullRowsOfEitherEncodingOnPagesPastTheEighth) {
  CatalogueBuilder cat(539, u"db");
  // The server's row size: 4000 UTF-16 characters or 8000 single-byte ones,
  // one row per page here.
  const std::u16string wide = Numbered(u"\u00E9", 1800);
  const std::u16string narrow = Numbered(u"x", 4300);
  int32_t a = cat.AddModule("TR", u"tr", wide);
  int32_t b = cat.AddModule("FN", u"fn", narrow, 0, {true, 0});
  // Many short rows of a third text, one per page, so that the table's pages
  // run past its eight single pages into whole extents.
  const std::u16string many = Numbered(u"m", 30);
  int32_t c = cat.AddModule("IF", u"tvf", many, 0, {false, 5});
  cat.SetSystemRowsPerPage(kObjSysComments, 1);
  MdfBuilder mdf = cat.Build();
  ASSERT_GT(wide.size(), 8000u);
  ASSERT_GT(narrow.size(), 16000u);
  ASSERT_GT(cat.SystemPages(kObjSysComments).size(), 16u);
  AnalysedFile f(mdf);
  for (auto [id, text] : {std::pair{a, &wide}, std::pair{b, &narrow}, std::pair{c, &many}}) {
    ASSERT_NE(ModuleText(f, id), nullptr) << id;
    EXPECT_EQ(ModuleText(f, id)->text.size(), text->size());
    EXPECT_TRUE(ModuleText(f, id)->text == *text) << id;
    EXPECT_FALSE(ModuleText(f, id)->incomplete);
  }
}

TEST(Catalogue2000Texts, ACheckTextIsACheckAndNumberedPartsJoinInNumberOrder) {
  CatalogueBuilder cat(539, u"db");
  int32_t t = cat.AddTable(u"Orders", {IntColumn(u"qty")});
  int32_t ck = cat.AddCheck(t, u"CK_qty", "([qty] >= 0 and [qty] < 1000)", {false, 7});
  int32_t proc = cat.AddModule("P ", u"report", u"CREATE PROCEDURE report;1 AS SELECT 1\n");
  cat.AddNumberedText(proc, u"CREATE PROCEDURE report;2 AS SELECT 2\n", {true, 6});
  cat.AddNumberedText(proc, u"CREATE PROCEDURE report;3 AS SELECT 3\n", {false, 11});
  cat.EditSystemRows([](CatalogueBuilder::SystemRowLists& rows) {
    std::reverse(rows[kObjSysComments].begin(), rows[kObjSysComments].end());
  });
  AnalysedFile f(cat.Build());
  ASSERT_NE(CheckText(f, ck), nullptr);
  EXPECT_EQ(CheckText(f, ck)->text, u"([qty] >= 0 and [qty] < 1000)");
  EXPECT_FALSE(CheckText(f, ck)->incomplete);
  EXPECT_EQ(ModuleText(f, ck), nullptr) << "a check's text is no module text";
  ASSERT_NE(ModuleText(f, proc), nullptr);
  EXPECT_EQ(ModuleText(f, proc)->text,
            u"CREATE PROCEDURE report;1 AS SELECT 1\nCREATE PROCEDURE report;2 AS SELECT 2\n"
            u"CREATE PROCEDURE report;3 AS SELECT 3\n");
  EXPECT_FALSE(ModuleText(f, proc)->incomplete);
}

TEST(Catalogue2000Texts, AMissingRowEndsTheTextThereAndMarksItIncomplete) {
  CatalogueBuilder cat(539, u"db");
  const std::u16string text = u"CREATE VIEW gap AS SELECT 1 AS one, 2 AS two, 3 AS three";
  int32_t view = cat.AddModule("V ", u"gap", text, 0, {false, 10});
  int32_t whole = cat.AddModule("V ", u"whole", text, 0, {true, 10});
  int32_t firstMissing = cat.AddModule("V ", u"headless", text, 0, {false, 10});
  cat.EditSystemRows([&](CatalogueBuilder::SystemRowLists& rows) {
    std::erase_if(rows[kObjSysComments], [&](const ByteVec& r) {
      return (CommentObject(r) == view && CommentColid(r) == 3) ||
             (CommentObject(r) == firstMissing && CommentColid(r) == 1);
    });
  });
  AnalysedFile f(cat.Build());
  ASSERT_NE(ModuleText(f, view), nullptr);
  EXPECT_EQ(ModuleText(f, view)->text, text.substr(0, 20)) << "rows 1 and 2, not 4 and after";
  EXPECT_TRUE(ModuleText(f, view)->incomplete);
  ASSERT_NE(ModuleText(f, whole), nullptr);
  EXPECT_EQ(ModuleText(f, whole)->text, text);
  EXPECT_FALSE(ModuleText(f, whole)->incomplete);
  // Without its first row a text keeps nothing, but is still known as cut.
  ASSERT_NE(ModuleText(f, firstMissing), nullptr);
  EXPECT_EQ(ModuleText(f, firstMissing)->text, u"");
  EXPECT_TRUE(ModuleText(f, firstMissing)->incomplete);
}

// A damaged syscomments row costs its own object the rest of its text and
// nothing else: the neighbouring objects' rows on the same page stay whole.
TEST(Catalogue2000Texts, ADamagedRowCutsOnlyItsOwnText) {
  struct Damage {
    const char* what;
    void (*apply)(ByteVec&);
  };
  const Damage damages[] = {
      {"ctext ends past the page", [](ByteVec& r) { PutU16(r, 19, 0x6000); }},
      {"ctext ends before it starts", [](ByteVec& r) { PutU16(r, 19, 12); }},
      {"ctext marked off the row",
       [](ByteVec& r) { PutU16(r, 19, static_cast<uint16_t>(r.size()) | 0x8000); }},
      {"fixed part ends past the row", [](ByteVec& r) { PutU16(r, 2, 0x1F00); }},
      {"column count past the layout", [](ByteVec& r) { PutU16(r, 14, 0x4000); }},
  };
  const std::u16string before = u"CREATE PROCEDURE before AS SELECT 'first text on the page'";
  const std::u16string damaged = u"CREATE PROCEDURE damaged AS SELECT 'second text, cut at row 3'";
  const std::u16string after = u"CREATE PROCEDURE after AS SELECT 'third text on the page'";
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    CatalogueBuilder cat(539, u"db");
    int32_t a = cat.AddModule("P ", u"before", before, 0, {false, 8});
    int32_t b = cat.AddModule("P ", u"damaged", damaged, 0, {false, 8});
    int32_t c = cat.AddModule("P ", u"after", after, 0, {true, 8});
    cat.EditSystemRows([&](CatalogueBuilder::SystemRowLists& rows) {
      for (auto& r : rows[kObjSysComments]) {
        if (CommentObject(r) == b && CommentColid(r) == 3) d.apply(r);
      }
    });
    AnalysedFile f(cat.Build());
    ASSERT_EQ(f.c.moduleTexts.size(), 3u);
    ASSERT_NE(ModuleText(f, a), nullptr);
    EXPECT_EQ(ModuleText(f, a)->text, before);
    EXPECT_FALSE(ModuleText(f, a)->incomplete);
    ASSERT_NE(ModuleText(f, c), nullptr);
    EXPECT_EQ(ModuleText(f, c)->text, after);
    EXPECT_FALSE(ModuleText(f, c)->incomplete);
    ASSERT_NE(ModuleText(f, b), nullptr);
    EXPECT_EQ(ModuleText(f, b)->text, damaged.substr(0, 16)) << "rows 1 and 2";
    EXPECT_TRUE(ModuleText(f, b)->incomplete);
  }
}

// Texts, keys and foreign keys only count once each in the summary a script
// reads.
TEST(Catalogue2000Cli, InfoCountsKeysForeignKeysAndTexts) {
  CatalogueBuilder cat(539, u"db");
  int32_t orders = cat.AddTable(u"Orders", {IntColumn(u"id", true), IntColumn(u"qty")});
  int32_t lines = cat.AddTable(u"Lines", {IntColumn(u"order"), IntColumn(u"line")});
  cat.AddKey(orders, u"PK_Orders", "PK", {1}, true);               // 1 key column
  cat.AddIndex(orders, u"IX_qty", {2});                            // 1, the carried id left out
  cat.AddIndex(lines, u"IX_lines", {1, 2});                        // 2
  cat.AddForeignKey(lines, u"FK_Lines_Orders", {1}, orders, {1});  // 2 entries
  cat.AddCheck(orders, u"CK_qty", "([qty]>(0))", {false, 4});
  cat.AddModule("P ", u"p1", "CREATE PROCEDURE p1 AS SELECT 1", 0, {true, 5});
  cat.AddModule("V ", u"v1", "CREATE VIEW v1 AS SELECT 1 AS one");
  TempFile file;
  cat.WriteTo(file.path());
  CliRun run = RunCli({"info", file.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("index keys: 4\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("dependencies: 2\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("check texts: 1\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("module texts: 2\n"), std::string::npos) << run.out;
}

}  // namespace
