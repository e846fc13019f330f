// Reading a user table's rows through TableReader where the real files have
// nothing to show: forwarded rows in heaps, large values in every shape the
// server stores them (small and large roots, a tree with an inner level,
// in-row roots of the (max) types, row-overflow pointers), and damage in the
// chains and records. Each file is written by the fixture builder from the
// on-disk format, then opened and analysed like a real one.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "engine/TableReader.h"
#include "tests/engine/AnalysedFile.h"
#include "tests/support/CatalogueBuilder.h"

using namespace mdftest;
using analysedtest::AnalysedFile;
using analysedtest::VersionName;
using mendora::RowValues;
using mendora::TableReader;
using mendora::TableReadStats;
using mendora::ValueKind;

namespace {

struct TableRead {
  std::vector<RowValues> rows;
  TableReadStats stats;
};

TableRead ReadTable(AnalysedFile& f, int32_t tableId) {
  TableRead out;
  TableReader reader(f.file, f.c, tableId);
  EXPECT_TRUE(reader.CanRead()) << "table " << tableId;
  mendora::NullJobControl job;
  reader.Read(job, [&](const RowValues& row) {
    out.rows.push_back(row);
    return true;
  });
  out.stats = reader.Stats();
  return out;
}

// Text of `n` UTF-16 units that does not repeat with any short period, so a
// fragment read twice or out of place shows.
std::u16string LongText(size_t n, char16_t salt) {
  std::u16string s;
  s.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    s.push_back(static_cast<char16_t>(u'A' + (i * 7 + i / 26 + salt) % 26));
    if (i % 101 == 100) s.back() = static_cast<char16_t>(0x4E00 + i % 500);  // CJK units too
  }
  return s;
}

ByteVec Pattern(size_t n, uint32_t seed) {
  ByteVec v(n);
  uint32_t x = seed;
  for (auto& b : v) {
    x = x * 1103515245u + 12345u;
    b = static_cast<std::byte>(x >> 16);
  }
  return v;
}

std::string Utf8Of(const std::u16string& s) {
  return std::string(s.begin(), s.end());
}

// The page offset of slot `slot` of a built page.
uint16_t SlotOffset(MdfBuilder& file, uint32_t page, uint16_t slot) {
  auto bytes = file.Page(page).Build();
  size_t at = 8190 - 2u * slot;
  return static_cast<uint16_t>(static_cast<unsigned>(bytes[at]) |
                               (static_cast<unsigned>(bytes[at + 1]) << 8));
}

class TableReaderTest : public ::testing::TestWithParam<uint16_t> {
 protected:
  uint16_t Version() const { return GetParam(); }
};

// 2005/2008 only: the (max) types and row overflow do not exist in 2000 files.
class TableReaderLargeTypesTest : public TableReaderTest {};

// ------------------------------------------------------------ forwarded rows

TEST_P(TableReaderTest, ForwardedRowsAreReadOnceInTheirStubsPlace) {
  CatalogueBuilder cat(Version(), u"Forwarding");
  std::vector<Row> rows;
  for (int i = 0; i < 12; ++i) {
    rows.push_back({IntValue(i), VarCharValue("row " + std::to_string(i))});
  }
  TableOptions options;
  options.rowsPerPage = 4;
  options.forwardedRows = {1, 5, 6, 11};
  int32_t id =
      cat.AddTable(u"Heap", {IntColumn(u"Id", true), VarCharColumn(u"Name", 40)}, rows, options);
  MdfBuilder file = cat.Build();
  const BuiltTable& b = cat.Table(id);
  ASSERT_EQ(b.forwarded.size(), 4u);
  for (const auto& f : b.forwarded) {
    EXPECT_NE(f.page, f.stubPage) << "row " << f.row << " was not moved to another page";
  }

  AnalysedFile f(file);
  TableRead read = ReadTable(f, id);
  std::vector<int64_t> ids;
  for (const auto& row : read.rows) {
    ASSERT_EQ(row.size(), 2u);
    ids.push_back(row[0].integer);
    EXPECT_EQ(Utf8Of(row[1].text), "row " + std::to_string(row[0].integer));
  }
  // Stored order is the stubs' order; the forwarded records' own page
  // (written first) gives nothing again.
  std::vector<int64_t> expected{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  EXPECT_EQ(ids, expected);
  EXPECT_EQ(read.stats.rows, 12u);
  EXPECT_EQ(read.stats.forwardedRows, 4u);
  EXPECT_EQ(read.stats.skippedRecords, 0u);
  EXPECT_EQ(read.stats.unreadableCells, 0u);
}

TEST_P(TableReaderTest, StubsLeadingNowhereAreSkippedAndCounted) {
  CatalogueBuilder cat(Version(), u"Forwarding");
  std::vector<Row> rows;
  for (int i = 0; i < 6; ++i) rows.push_back({IntValue(i), VarCharValue("r" + std::to_string(i))});
  TableOptions options;
  options.forwardedRows = {1, 2, 3, 4};
  int32_t id =
      cat.AddTable(u"Heap", {IntColumn(u"Id", true), VarCharColumn(u"Name", 40)}, rows, options);
  MdfBuilder file = cat.Build();
  const BuiltTable& b = cat.Table(id);
  ASSERT_EQ(b.forwarded.size(), 4u);
  auto stubAt = [&](size_t k) {
    return SlotOffset(file, b.forwarded[k].stubPage, b.forwarded[k].stubSlot);
  };
  // Row 1: a slot past the target page's slots. Row 2: a page past the end of
  // the file. Row 3: a slot holding a primary record, not a forwarded one
  // (the target page's first slot is row 1's forwarded record, so point at
  // the data page holding the stubs, whose slot 0 is row 0).
  // Row 4 stays sound.
  file.Page(b.forwarded[0].stubPage).Poke(stubAt(0) + 7, U16(200));
  file.Page(b.forwarded[1].stubPage).Poke(stubAt(1) + 1, U32(cat.PageCount() + 50));
  file.Page(b.forwarded[2].stubPage)
      .Poke(stubAt(2) + 1, Concat({U32(b.forwarded[2].stubPage), U16(1), U16(0)}));

  AnalysedFile f(file);
  TableRead read = ReadTable(f, id);
  std::vector<int64_t> ids;
  for (const auto& row : read.rows) ids.push_back(row[0].integer);
  EXPECT_EQ(ids, (std::vector<int64_t>{0, 4, 5}));
  EXPECT_EQ(read.stats.forwardedRows, 1u);
  EXPECT_EQ(read.stats.skippedRecords, 3u);
}

// ------------------------------------------------------------ large values

struct TextShapeCase {
  const char* name;
  LobShape shape;
  size_t units;          // UTF-16 units of the ntext value
  size_t fragmentBytes;  // 0: the server's cut
};

// text, ntext and image behind a 16-byte text pointer, each shape in every
// version; sizes cross fragment boundaries at odd places.
TEST_P(TableReaderTest, TextPointerValuesReadBackWhole) {
  const TextShapeCase cases[] = {
      {"small root", LobShape::kSmallRoot, 37, 0},
      {"small root, longest", LobShape::kSmallRoot, 4000, 0},
      {"large root, one fragment", LobShape::kLargeRoot, 1, 0},
      {"large root, three fragments", LobShape::kLargeRoot, 4001, 3000},
      {"large root, server cut", LobShape::kLargeRoot, 20000, 0},
      {"tree, nine fragments", LobShape::kTree, 9 * 4020 - 3, 0},
      {"tree, uneven cut", LobShape::kTree, 12345, 1777},
  };
  CatalogueBuilder cat(Version(), u"Large");
  std::vector<Row> rows;
  std::vector<std::u16string> texts;
  std::vector<ByteVec> images;
  int n = 0;
  for (const auto& c : cases) {
    texts.push_back(LongText(c.units, static_cast<char16_t>(n)));
    images.push_back(Pattern(c.units * 2 + 1, static_cast<uint32_t>(n)));
    rows.push_back({IntValue(n), LargeValue(Utf16(texts.back()), c.shape, c.fragmentBytes),
                    LargeValue(images.back(), c.shape, c.fragmentBytes), VarCharValue("after")});
    ++n;
  }
  rows.push_back({IntValue(n), kNull, kNull, VarCharValue("nulls")});
  int32_t id = cat.AddTable(u"Docs",
                            {IntColumn(u"Id", true), NTextColumn(u"Body"), ImageColumn(u"Picture"),
                             VarCharColumn(u"Tail", 10)},
                            rows);
  MdfBuilder file = cat.Build();
  // The tree shapes put their inner node on a text-tree page.
  const BuiltTable& b = cat.Table(id);
  size_t innerNodes = 0;
  for (const auto& v : b.largeValues) {
    for (const auto& r : v.records) innerNodes += r.type == 2;
  }
  EXPECT_EQ(innerNodes, 4u);

  AnalysedFile f(file);
  TableRead read = ReadTable(f, id);
  ASSERT_EQ(read.rows.size(), rows.size());
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    const RowValues& row = read.rows[i];
    EXPECT_EQ(row[0].integer, static_cast<int64_t>(i));
    ASSERT_EQ(row[1].kind, ValueKind::kString) << row[1].error;
    EXPECT_TRUE(row[1].text == texts[i])
        << "ntext of " << texts[i].size() << " units read as " << row[1].text.size();
    ASSERT_EQ(row[2].kind, ValueKind::kBinary) << row[2].error;
    EXPECT_TRUE(row[2].bytes == images[i])
        << "image of " << images[i].size() << " bytes read as " << row[2].bytes.size();
    EXPECT_EQ(Utf8Of(row[3].text), "after");
  }
  EXPECT_TRUE(read.rows.back()[1].IsNull());
  EXPECT_TRUE(read.rows.back()[2].IsNull());
  EXPECT_EQ(read.stats.unreadableCells, 0u);
  EXPECT_EQ(read.stats.skippedRecords, 0u);
}

TEST_P(TableReaderLargeTypesTest, InRowRootsAndRowOverflowReadBackWhole) {
  CatalogueBuilder cat(Version(), u"MaxTypes");
  const ByteVec blob = Pattern(20000, 7);         // three fragments
  const std::u16string note = LongText(5000, 3);  // two fragments
  const ByteVec overflowBin = Pattern(6000, 11);  // one overflow fragment
  const std::string overflowText(7000, 'q');
  const ByteVec smallBlob = Pattern(40, 5);
  std::vector<Row> rows = {
      {IntValue(0), LargeValue(blob, LobShape::kInRowRoot),
       LargeValue(Utf16(note), LobShape::kInRowRoot),
       LargeValue(overflowBin, LobShape::kRowOverflow), VarCharValue("in row")},
      // The same columns with values kept in the row, and an overflowing varchar.
      {IntValue(1), smallBlob, kNull, Pattern(10, 1),
       LargeValue(Ascii(overflowText), LobShape::kRowOverflow)},
      // An in-row root of many short fragments.
      {IntValue(2), LargeValue(blob, LobShape::kInRowRoot, 4001), kNull, kNull, kNull},
  };
  int32_t id = cat.AddTable(u"MaxValues",
                            {IntColumn(u"Id", true), MaxColumn(u"Blob", xtype::kVarBinary),
                             MaxColumn(u"Note", xtype::kNVarChar), VarBinaryColumn(u"Bin", 8000),
                             VarCharColumn(u"Text", 8000)},
                            rows);
  MdfBuilder file = cat.Build();
  ASSERT_NE(cat.Table(id).overflowUnitObjectId, 0u);
  ASSERT_EQ(cat.Table(id).overflowPages.size(), 2u);

  AnalysedFile f(file);
  TableRead read = ReadTable(f, id);
  ASSERT_EQ(read.rows.size(), 3u);
  const RowValues& r0 = read.rows[0];
  ASSERT_EQ(r0[1].kind, ValueKind::kBinary) << r0[1].error;
  EXPECT_TRUE(r0[1].bytes == blob) << r0[1].bytes.size() << " bytes";
  ASSERT_EQ(r0[2].kind, ValueKind::kString) << r0[2].error;
  EXPECT_TRUE(r0[2].text == note) << r0[2].text.size() << " units";
  ASSERT_EQ(r0[3].kind, ValueKind::kBinary) << r0[3].error;
  EXPECT_TRUE(r0[3].bytes == overflowBin) << r0[3].bytes.size() << " bytes";
  EXPECT_EQ(Utf8Of(r0[4].text), "in row");

  const RowValues& r1 = read.rows[1];
  EXPECT_TRUE(r1[1].bytes == smallBlob);
  EXPECT_TRUE(r1[2].IsNull());
  EXPECT_TRUE(r1[3].bytes == Pattern(10, 1));
  ASSERT_EQ(r1[4].kind, ValueKind::kString) << r1[4].error;
  EXPECT_EQ(Utf8Of(r1[4].text), overflowText);

  EXPECT_TRUE(read.rows[2][1].bytes == blob) << read.rows[2][1].error;
  EXPECT_EQ(read.stats.unreadableCells, 0u);
}

// ------------------------------------------------------------ damage

// Large-value pointers that lead astray: the cell is unreadable and counted,
// the row and its other cells are still read.
TEST_P(TableReaderTest, DamagedLargeValueChainsMarkOnlyTheirCell) {
  const std::u16string good = LongText(300, 1);
  const std::u16string big = LongText(9000, 2);
  uint32_t foreignPage = 0;  // known after a first build; the layout does not move
  auto makeCatalogue = [&](CatalogueBuilder& cat, int32_t& id, int32_t& other) {
    id = cat.AddGeneratedTable(
        u"Docs", {IntColumn(u"Id", true), NTextColumn(u"Body"), VarCharColumn(u"Label", 20)}, 5,
        [&](uint64_t i) -> Row {
          mdftest::Value body;
          switch (i) {
            case 0:
              body = LargeValue(Utf16(good), LobShape::kSmallRoot);
              break;
            case 1:
              body = LargeValue(Utf16(big), LobShape::kTree);
              break;  // made to loop
            case 2:
              body = TextPointerValue(0x00FFFFF0, 0);
              break;  // past the end
            case 3:
              body = TextPointerValue(foreignPage, 0);
              break;  // another table's
            default:
              body = LargeValue(Utf16(big), LobShape::kLargeRoot);
              break;
          }
          return {IntValue(static_cast<int32_t>(i)), body,
                  VarCharValue("label " + std::to_string(i))};
        });
    other = cat.AddTable(u"Other", {IntColumn(u"Id", true), NTextColumn(u"Body")},
                         {{IntValue(1), LargeValue(Utf16(u"not yours"), LobShape::kSmallRoot)}});
  };
  int32_t id = 0, other = 0;
  CatalogueBuilder first(Version(), u"Damaged");
  makeCatalogue(first, id, other);
  first.Build();
  ASSERT_FALSE(first.Table(other).lobPages.empty());
  foreignPage = first.Table(other).lobPages.front();

  CatalogueBuilder cat(Version(), u"Damaged");
  makeCatalogue(cat, id, other);
  MdfBuilder file = cat.Build();
  ASSERT_EQ(cat.Table(other).lobPages.front(), foreignPage);
  // Row 1's inner node: its first link leads back to the root above it.
  const BuiltTable& b = cat.Table(id);
  const LaidOutValue* tree = nullptr;
  for (const auto& v : b.largeValues) {
    if (v.row == 1) tree = &v;
  }
  ASSERT_NE(tree, nullptr);
  ASSERT_GE(tree->records.size(), 3u);
  const LobRecordPlace& root = tree->records.back();
  const LobRecordPlace& node = tree->records[tree->records.size() - 2];
  ASSERT_EQ(node.type, 2);
  // Inner-node links start at 20: end u64, then page u32 @8, file @12, slot @14.
  file.Page(node.page).Poke(node.offset + 20 + 8, Concat({U32(root.page), U16(1), U16(root.slot)}));

  AnalysedFile f(file);
  TableRead read = ReadTable(f, id);
  ASSERT_EQ(read.rows.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(read.rows[i][0].integer, static_cast<int64_t>(i));
    EXPECT_EQ(Utf8Of(read.rows[i][2].text), "label " + std::to_string(i));
    const bool damaged = i >= 1 && i <= 3;
    if (damaged) {
      EXPECT_EQ(read.rows[i][1].kind, ValueKind::kUnreadable);
      EXPECT_FALSE(read.rows[i][1].error.empty());
      EXPECT_TRUE(read.rows[i][1].text.empty());
    } else {
      EXPECT_EQ(read.rows[i][1].kind, ValueKind::kString) << read.rows[i][1].error;
    }
  }
  EXPECT_TRUE(read.rows[0][1].text == good);
  EXPECT_TRUE(read.rows[4][1].text == big);
  EXPECT_EQ(read.stats.unreadableCells, 3u);
  EXPECT_EQ(read.stats.skippedRecords, 0u);
}

// The same for the roots of the (max) types: a link to a page of the table's
// own rows, and a root whose link loops back to itself through its data.
TEST_P(TableReaderLargeTypesTest, DamagedInRowRootsMarkOnlyTheirCell) {
  CatalogueBuilder cat(Version(), u"Damaged");
  const ByteVec blob = Pattern(9000, 4);
  // Data page 16 is the table's first page in this layout; checked below.
  const ByteVec toDataPage = Concat({U8(4), U8(0), ByteVec(10), U32(100), U32(16), U16(1), U16(0)});
  const ByteVec pastEnd =
      Concat({U8(2), U8(0), ByteVec(10), U32(100), U32(0x7FFFFFF0), U16(1), U16(0)});
  int32_t id = cat.AddTable(u"Max", {IntColumn(u"Id", true), MaxColumn(u"Blob", xtype::kVarBinary)},
                            {{IntValue(0), OffRowBytes(toDataPage)},
                             {IntValue(1), OffRowBytes(pastEnd)},
                             {IntValue(2), LargeValue(blob, LobShape::kInRowRoot)}});
  MdfBuilder file = cat.Build();
  ASSERT_EQ(cat.Table(id).dataPages.front(), 16u);

  AnalysedFile f(file);
  TableRead read = ReadTable(f, id);
  ASSERT_EQ(read.rows.size(), 3u);
  EXPECT_EQ(read.rows[0][1].kind, ValueKind::kUnreadable);
  EXPECT_EQ(read.rows[1][1].kind, ValueKind::kUnreadable);
  EXPECT_TRUE(read.rows[2][1].bytes == blob) << read.rows[2][1].error;
  EXPECT_EQ(read.stats.unreadableCells, 2u);
}

TEST_P(TableReaderTest, DamagedRecordMidPageIsSkippedAndCounted) {
  CatalogueBuilder cat(Version(), u"Damaged");
  std::vector<Row> rows;
  for (int i = 0; i < 5; ++i) rows.push_back({IntValue(i), VarCharValue("v" + std::to_string(i))});
  int32_t id = cat.AddTable(u"Rows", {IntColumn(u"Id", true), VarCharColumn(u"Name", 20)}, rows);
  MdfBuilder file = cat.Build();
  const uint32_t page = cat.Table(id).dataPages.front();
  // Slot 2's record: a fixed-part end far past the page.
  file.Page(page).Poke(SlotOffset(file, page, 2) + 2, U16(0xFFF0));

  AnalysedFile f(file);
  TableRead read = ReadTable(f, id);
  std::vector<int64_t> ids;
  for (const auto& row : read.rows) {
    ids.push_back(row[0].integer);
    EXPECT_EQ(Utf8Of(row[1].text), "v" + std::to_string(row[0].integer));
  }
  EXPECT_EQ(ids, (std::vector<int64_t>{0, 1, 3, 4}));
  EXPECT_EQ(read.stats.rows, 4u);
  EXPECT_EQ(read.stats.skippedRecords, 1u);
}

INSTANTIATE_TEST_SUITE_P(Versions, TableReaderTest, ::testing::Values(539, 611, 655), VersionName);
INSTANTIATE_TEST_SUITE_P(Versions, TableReaderLargeTypesTest, ::testing::Values(611, 655),
                         VersionName);

}  // namespace
