// What a plain read leaves behind, in builder-made files of every version:
// each way the server leaves a deleted or older row on a page (a ghost, a
// removed slot, a row an update moved or rewrote, a truncated table's freed
// pages) gives back exactly what was deleted, and what is not a row of the
// table (another table's record, a rewritten record's old tail, random
// bytes) gives nothing. Live rows are never among the recovered ones.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/DeletedRowReader.h"
#include "engine/PageHeader.h"
#include "engine/Record.h"
#include "engine/RowCandidate.h"
#include "engine/Utf16.h"
#include "engine/ValueDecoder.h"
#include "tests/engine/AnalysedFile.h"
#include "tests/engine/RecordBytes.h"
#include "tests/support/CatalogueBuilder.h"

using namespace mdftest;
using analysedtest::AnalysedFile;
using analysedtest::VersionName;
using mendora::DeletedRowReader;
using mendora::DeletedWhy;
using mendora::RecoveredRow;
using mendora::RowValues;

namespace {

constexpr size_t kRowsPerPage = 5;

struct Person {
  int32_t id;
  std::string name;
  std::u16string bio;  // ntext, off the row; empty for NULL
};

Row RowOf(const Person& p) {
  return {IntValue(p.id), VarCharValue(p.name),
          p.bio.empty() ? kNull : LargeValue(Utf16(p.bio), LobShape::kSmallRoot)};
}

std::string Describe(const RowValues& v) {
  std::string bio = v[2].IsNull() ? "NULL" : mendora::ToUtf8(v[2].text);
  return std::to_string(v[0].integer) + "|" + mendora::ToUtf8(v[1].text) + "|" + bio;
}

std::string Describe(const Person& p) {
  return std::to_string(p.id) + "|" + p.name + "|" +
         (p.bio.empty() ? "NULL" : mendora::ToUtf8(p.bio));
}

struct Read {
  std::vector<std::string> live;
  std::vector<RecoveredRow> recovered;
  mendora::DeletedReadStats stats;
  std::vector<std::string> Recovered() const {
    std::vector<std::string> out;
    for (const auto& r : recovered) out.push_back(Describe(r.values));
    return out;
  }
};

Read ReadBoth(AnalysedFile& f, int32_t tableId) {
  Read out;
  DeletedRowReader reader(f.file, f.c, tableId);
  EXPECT_TRUE(reader.CanRead());
  mendora::NullJobControl job;
  reader.Read(
      job,
      [&](const RowValues& row) {
        out.live.push_back(Describe(row));
        return true;
      },
      [&](const RecoveredRow& row) {
        out.recovered.push_back(row);
        return true;
      });
  out.stats = reader.Stats();
  return out;
}

uint16_t SlotOffset(MdfBuilder& file, uint32_t page, uint16_t slot) {
  auto bytes = file.Page(page).Build();
  return static_cast<uint16_t>(mendora::LoadU16(bytes, 8190 - 2u * slot));
}

ByteVec RecordBytes(MdfBuilder& file, uint32_t page, uint16_t slot) {
  auto bytes = file.Page(page).Build();
  const uint16_t at = static_cast<uint16_t>(mendora::LoadU16(bytes, 8190 - 2u * slot));
  auto record = mendora::ParseRecord(bytes, at);
  EXPECT_TRUE(record.has_value());
  return ByteVec(record->bytes.begin(), record->bytes.end());
}

void SetSlot(MdfBuilder& file, uint32_t page, uint16_t slot, uint16_t offset) {
  file.Page(page).Poke(8190 - 2u * slot, U16(offset));
}

class DeletedRowReaderTest : public ::testing::TestWithParam<uint16_t> {
 protected:
  // People(Id int NOT NULL primary key, Name varchar(40), Bio ntext), five
  // rows a page, in the order given.
  int32_t Build(CatalogueBuilder& cat, const std::vector<Person>& people) {
    std::vector<Row> rows;
    for (const auto& p : people) rows.push_back(RowOf(p));
    TableOptions options;
    options.rowsPerPage = kRowsPerPage;
    options.lobUnit = true;
    const int32_t id = cat.AddTable(
        u"People", {IntColumn(u"Id", true), VarCharColumn(u"Name", 40), NTextColumn(u"Bio")}, rows,
        options);
    cat.AddKey(id, u"PK_People", "PK", {1}, true);
    return id;
  }
  std::vector<Person> Ten() const {
    std::vector<Person> people;
    for (int i = 0; i < 10; ++i) {
      people.push_back({i, "person " + std::to_string(i),
                        i % 3 == 0 ? u"bio of " + std::u16string(1, char16_t(u'A' + i)) : u""});
    }
    return people;
  }
  // The live rows of `people` without the ones at `gone`.
  static std::vector<std::string> LiveWithout(const std::vector<Person>& people,
                                              std::vector<size_t> gone) {
    std::vector<std::string> out;
    for (size_t i = 0; i < people.size(); ++i) {
      if (std::find(gone.begin(), gone.end(), i) == gone.end()) out.push_back(Describe(people[i]));
    }
    return out;
  }
};

TEST_P(DeletedRowReaderTest, GhostsAndRemovedSlotsGiveBackTheDeletedRowsWhereTheyStand) {
  CatalogueBuilder cat(GetParam(), u"Deleted");
  const auto people = Ten();
  const int32_t id = Build(cat, people);
  MdfBuilder file = cat.Build();
  const BuiltTable& b = cat.Table(id);
  ASSERT_EQ(b.dataPages.size(), 2u);
  // Row 3 (with an off-row bio) is a ghost: its record type says deleted.
  const uint16_t ghostAt = SlotOffset(file, b.dataPages[0], 3);
  const uint8_t status = static_cast<uint8_t>(RecordBytes(file, b.dataPages[0], 3)[0]);
  file.Page(b.dataPages[0]).Poke(ghostAt, U8(static_cast<uint8_t>((status & ~0x0E) | 0x0C)));
  // Row 7: its slot was removed, its bytes stay.
  const uint16_t removedAt = SlotOffset(file, b.dataPages[1], 2);
  SetSlot(file, b.dataPages[1], 2, 0);

  AnalysedFile f(file);
  const Read read = ReadBoth(f, id);
  EXPECT_EQ(read.live, LiveWithout(people, {3, 7}));
  ASSERT_EQ(read.Recovered(), (std::vector<std::string>{Describe(people[3]), Describe(people[7])}));
  EXPECT_EQ(read.recovered[0].why, DeletedWhy::kGhost);
  EXPECT_EQ(mendora::FoundAtText(read.recovered[0].at),
            "1:" + std::to_string(b.dataPages[0]) + "/3");
  EXPECT_EQ(read.recovered[1].why, DeletedWhy::kUnreferenced);
  EXPECT_EQ(mendora::FoundAtText(read.recovered[1].at),
            "1:" + std::to_string(b.dataPages[1]) + "@+" + std::to_string(removedAt));
}

TEST_P(DeletedRowReaderTest, OlderVersionsOfALiveRowAreSupersededAndARewrittenTailIsNothing) {
  CatalogueBuilder cat(GetParam(), u"Updated");
  // Row 2 was updated and moved to the second page; row 4 was rewritten on
  // its own page with a longer name (the new record after the old one); row
  // 5 was rewritten in place with a shorter name, over the old record.
  const std::vector<Person> people = {
      {0, "person 0", u""},
      {2, "moved, old", u"old bio"},
      {1, "person 1", u""},
      {4, "short", u""},
      {4, "a much longer name than before", u""},
      {3, "person 3", u""},
      {2, "moved, new", u""},
      {6, "person 6", u""},
      {5, "the original long name of five", u""},
      {5, "five", u""},
  };
  const int32_t id = Build(cat, people);
  MdfBuilder file = cat.Build();
  const BuiltTable& b = cat.Table(id);
  SetSlot(file, b.dataPages[0], 1, 0);  // the moved row's old place
  // The longer rewrite: the old slot names the new record, which has no slot
  // of its own any more.
  SetSlot(file, b.dataPages[0], 3, SlotOffset(file, b.dataPages[0], 4));
  SetSlot(file, b.dataPages[0], 4, 0);
  // The shorter rewrite in place: five's short record over its long one; the
  // short one's own copy and slot are gone.
  const ByteVec shorter = RecordBytes(file, b.dataPages[1], 4);
  const uint16_t shortAt = SlotOffset(file, b.dataPages[1], 4);
  file.Page(b.dataPages[1]).Poke(SlotOffset(file, b.dataPages[1], 3), shorter);
  file.Page(b.dataPages[1]).Poke(shortAt, ByteVec(shorter.size()));
  SetSlot(file, b.dataPages[1], 4, 0);

  AnalysedFile f(file);
  const Read read = ReadBoth(f, id);
  const std::vector<std::string> live = {
      Describe(people[0]), Describe(people[2]), Describe(people[4]), Describe(people[5]),
      Describe(people[6]), Describe(people[7]), Describe(people[9])};
  EXPECT_EQ(read.live, live);
  ASSERT_EQ(read.Recovered(), (std::vector<std::string>{Describe(people[1]), Describe(people[3])}));
  for (const auto& r : read.recovered) EXPECT_EQ(r.why, DeletedWhy::kSuperseded);
}

TEST_P(DeletedRowReaderTest, ATruncatedTablesFreedPagesGiveBackEveryRow) {
  CatalogueBuilder cat(GetParam(), u"Truncated");
  const auto people = Ten();
  const int32_t id = Build(cat, people);
  MdfBuilder file = cat.Build();
  const BuiltTable& b = cat.Table(id);
  for (uint32_t p : b.dataPages) CatalogueBuilder::SetAllocated(file, p, false);
  // One record on a freed page was a ghost already: it is still a row.
  const uint16_t ghostAt = SlotOffset(file, b.dataPages[1], 0);
  file.Page(b.dataPages[1]).Poke(ghostAt, U8(0x3C));

  AnalysedFile f(file);
  const Read read = ReadBoth(f, id);
  EXPECT_TRUE(read.live.empty());
  EXPECT_EQ(read.stats.freedPages, 2u);
  EXPECT_EQ(read.Recovered(), LiveWithout(people, {}));
  for (const auto& r : read.recovered) {
    EXPECT_EQ(r.why, DeletedWhy::kFreedPage);
    EXPECT_TRUE(r.at.slot.has_value());
  }
}

TEST_P(DeletedRowReaderTest, RecordsOfAnotherTableAndRandomBytesAreNoRows) {
  CatalogueBuilder cat(GetParam(), u"Reused");
  const auto people = Ten();
  const int32_t id = Build(cat, people);
  std::vector<Row> counts;
  for (int i = 0; i < 4; ++i) counts.push_back({BigIntValue(i), BigIntValue(i * 100), kNull});
  TableOptions options;
  options.rowsPerPage = kRowsPerPage;
  const int32_t other =
      cat.AddTable(u"Counts", {BigIntColumn(u"K"), BigIntColumn(u"V"), VarCharColumn(u"Tag", 10)},
                   counts, options);
  MdfBuilder file = cat.Build();
  const BuiltTable& b = cat.Table(id);
  const BuiltTable& o = cat.Table(other);
  // A page of People freed and taken by Counts: People's records stay in
  // its body behind Counts' own, and one Counts row was deleted since.
  const uint32_t reused = o.dataPages[0];
  for (uint16_t s = 0; s < kRowsPerPage; ++s) {
    file.Page(reused).Poke(4000 + 100u * s, RecordBytes(file, b.dataPages[1], s));
  }
  SetSlot(file, reused, 2, 0);
  // Random bytes in the free space of People's first page, and a freed page
  // of People's unit holding nothing but random bytes.
  std::mt19937 random(GetParam());
  ByteVec noise(3000);
  for (auto& x : noise) x = static_cast<std::byte>(random());
  file.Page(b.dataPages[0]).Poke(3000, noise);
  const auto freed = static_cast<uint32_t>(cat.PageCount());
  file.SetPageCount(freed + 1);
  PageBuilder& page = file.Page(freed);
  page.Header() = file.Page(b.dataPages[0]).Header();
  for (int k = 0; k < 40; ++k) {
    ByteVec record(20 + random() % 150);
    for (auto& x : record) x = static_cast<std::byte>(random());
    if (!page.Fits(record.size())) break;
    page.AddRecord(record);
  }
  CatalogueBuilder::SetAllocated(file, freed, false);

  AnalysedFile f(file);
  const Read people2 = ReadBoth(f, id);
  EXPECT_EQ(people2.live, LiveWithout(people, {}));
  EXPECT_TRUE(people2.recovered.empty()) << people2.Recovered()[0];
  EXPECT_EQ(people2.stats.freedPages, 1u);  // the random page was walked
  EXPECT_EQ(people2.stats.pagesWalked, 2u);
  const Read counts2 = ReadBoth(f, other);
  EXPECT_EQ(counts2.live.size(), 3u);
  ASSERT_EQ(counts2.recovered.size(), 1u);
  EXPECT_EQ(counts2.recovered[0].values[0].integer, 2);
  EXPECT_EQ(counts2.recovered[0].values[1].integer, 200);
  EXPECT_EQ(counts2.recovered[0].why, DeletedWhy::kUnreferenced);
}

// The strict rules one at a time: a ghost whose record breaks one of them is
// not given back, the others still are.
TEST_P(DeletedRowReaderTest, AGhostBreakingAnyParseRuleIsNoRow) {
  CatalogueBuilder cat(GetParam(), u"Strict");
  const auto people = Ten();
  const int32_t id = Build(cat, people);
  MdfBuilder file = cat.Build();
  const BuiltTable& b = cat.Table(id);
  struct Break {
    const char* what;
    size_t offset;  // in the record
    ByteVec bytes;
  };
  // Records of rows 0..4 on page 0 (row 0 and 3 hold an off-row bio);
  // People's records: status, status B, fixed end 8, Id at 4, column count 3
  // at 8, bitmap at 10, variable count at 11, ends at 13.
  const std::vector<Break> breaks = {
      {"a fixed part of another length", 2, U16(12)},
      {"another column count", 8, U16(5)},
      {"the NOT NULL Id marked NULL", 10, U8(0x01)},
      {"more variable columns than the table has", 11, U16(7)},
  };
  std::vector<size_t> ghosts;
  for (size_t k = 0; k < breaks.size(); ++k) {
    const auto slot = static_cast<uint16_t>(k == 3 ? 4 : k);
    const uint16_t at = SlotOffset(file, b.dataPages[0], slot);
    file.Page(b.dataPages[0]).Poke(at, U8(0x3C));
    file.Page(b.dataPages[0]).Poke(at + breaks[k].offset, breaks[k].bytes);
    ghosts.push_back(slot);
  }
  // Row 3's bio pointer names a page of no large values.
  const uint16_t at3 = SlotOffset(file, b.dataPages[0], 3);
  const ByteVec record3 = RecordBytes(file, b.dataPages[0], 3);
  file.Page(b.dataPages[0]).Poke(at3, U8(0x3C));
  file.Page(b.dataPages[0]).Poke(at3 + record3.size() - 16 + 8, U32(b.dataPages[1]));
  ghosts.push_back(3);
  // Row 6 a sound ghost.
  file.Page(b.dataPages[1]).Poke(SlotOffset(file, b.dataPages[1], 1), U8(0x3C));

  AnalysedFile f(file);
  const Read read = ReadBoth(f, id);
  EXPECT_EQ(read.live, LiveWithout(people, {0, 1, 2, 3, 4, 6}));
  EXPECT_EQ(read.Recovered(), std::vector<std::string>{Describe(people[6])});
}

// A dropped table: its object row is left as a ghost in the object table and
// its pages are freed, their headers still naming its unit. The catalogue
// is read from live system rows only, so the table is not in it and no
// reader is made for its pages: its rows are not recovered, and the table
// beside it gives nothing of them.
TEST_P(DeletedRowReaderTest, ADroppedTablesRowsAreNotTakenForAnotherTables) {
  CatalogueBuilder cat(GetParam(), u"Dropped");
  const auto people = Ten();
  const int32_t id = Build(cat, people);
  std::vector<Row> rows;
  for (int i = 0; i < 5; ++i) rows.push_back({IntValue(100 + i), VarCharValue("gone"), kNull});
  const int32_t dropped = cat.AddTable(
      u"Gone", {IntColumn(u"Id", true), VarCharColumn(u"Name", 40), NTextColumn(u"Bio")}, rows);
  const uint32_t objects = cat.Is2000() ? kObjSysObjects : kObjSysSchObjs;
  cat.EditSystemRows([&](CatalogueBuilder::SystemRowLists& lists) {
    for (ByteVec& row : lists[objects]) {
      if (mendora::LoadU32(row, 4) == static_cast<uint32_t>(dropped)) row[0] |= std::byte{0x0C};
    }
  });
  MdfBuilder file = cat.Build();
  for (uint32_t p : cat.Table(dropped).dataPages) CatalogueBuilder::SetAllocated(file, p, false);

  AnalysedFile f(file);
  EXPECT_EQ(f.Object(u"Gone"), nullptr);
  ASSERT_EQ(f.c.userTables.size(), 1u);
  const Read read = ReadBoth(f, id);
  EXPECT_EQ(read.live, LiveWithout(people, {}));
  EXPECT_TRUE(read.recovered.empty());
  EXPECT_EQ(read.stats.freedPages, 0u);
}

// The value rules of a candidate, each at its edge: what the server can
// store passes, one step beyond does not.
TEST(RowCandidateValues, EachTypeTakesOnlyWhatItsColumnCanHold) {
  auto column = [](uint8_t xtype, int16_t length, uint8_t prec = 0, uint8_t scale = 0) {
    mendora::_SYSCOLUMNS c;
    c.xtype = xtype;
    c.length = length;
    c.prec = prec;
    c.scale = scale;
    return c;
  };
  struct Case {
    const char* what;
    mendora::_SYSCOLUMNS column;
    ByteVec stored;
    bool offRow;
    bool fits;
  };
  const auto kDecimal = column(106, 5, 5, 2);
  const Case cases[] = {
      {"datetime 9999-12-31 23:59:59.997", column(61, 8), Concat({U32(25919999), U32(2958463)}),
       false, true},
      {"datetime a day past 9999", column(61, 8), Concat({U32(0), U32(2958464)}), false, false},
      {"datetime before 1753", column(61, 8), Concat({U32(0), U32(0xFFFF2E45)}), false, false},
      {"datetime ticks of a whole day", column(61, 8), Concat({U32(25920000), U32(0)}), false,
       false},
      {"smalldatetime 23:59", column(58, 4), Concat({U16(1439), U16(65378)}), false, true},
      {"smalldatetime minute 1440", column(58, 4), Concat({U16(1440), U16(0)}), false, false},
      {"decimal(5,2) 999.99", kDecimal, Concat({U8(1), U32(99999)}), false, true},
      {"decimal(5,2) six digits", kDecimal, Concat({U8(1), U32(100000)}), false, false},
      {"decimal sign 2", kDecimal, Concat({U8(2), U32(1)}), false, false},
      {"decimal(5,2) of 9 bytes", kDecimal, Concat({U8(1), U64(1)}), false, false},
      {"nvarchar with a surrogate pair", column(231, 20), Concat({U16(0xD83D), U16(0xDE00)}), false,
       true},
      {"nvarchar with a lone low surrogate", column(231, 20), U16(0xDE00), false, false},
      {"nvarchar of odd length", column(231, 20), Ascii("abc"), false, false},
      {"float NaN", column(62, 8), U64(0x7FF8000000000000ull), false, false},
      {"real infinity", column(59, 4), U32(0x7F800000), false, false},
      {"varchar(3) holding 4 bytes", column(167, 3), Ascii("abcd"), false, false},
      {"varchar(3) holding 3 bytes", column(167, 3), Ascii("abc"), false, true},
      {"varchar(max) off the row", column(167, -1), Ascii(std::string(9000, 'x')), true, true},
      {"int off the row", column(56, 4), U32(1), true, false},
      {"uniqueidentifier", column(36, 16), ByteVec(16), false, true},
  };
  for (const auto& c : cases) {
    mendora::Value v;
    mendora::DecodeValue(c.stored, c.column, v);
    EXPECT_EQ(mendora::StoredValueFits(c.column, c.stored, c.offRow, v), c.fits) << c.what;
  }
}

// A record written by hand: status with a NULL bitmap and variable columns,
// the fixed bytes, `count` columns with `nulls` set in the bitmap, and the
// variable values.
ByteVec RecordOf(const ByteVec& fixed, uint16_t count, uint32_t nulls,
                 const std::vector<std::string>& vars) {
  ByteVec r =
      Concat({U8(0x30), U8(0), U16(static_cast<uint16_t>(4 + fixed.size())), fixed, U16(count)});
  for (size_t b = 0; b < (count + 7u) / 8u; ++b) r.push_back(std::byte((nulls >> (8 * b)) & 0xFF));
  r = Concat({r, U16(static_cast<uint16_t>(vars.size()))});
  size_t end = r.size() + 2 * vars.size();
  for (const auto& v : vars) {
    end += v.size();
    r = Concat({r, U16(static_cast<uint16_t>(end))});
  }
  for (const auto& v : vars) r = Concat({r, Ascii(v)});
  return r;
}

// A table altered after its rows were written: T(Id int NOT NULL, Name
// varchar(20), Added int) with a dropped int between Id and Added, whose
// place the layout keeps unnamed. Records of each shape the table had are
// rows, read with the columns they lack as NULL; no other shape is.
TEST(RowCandidateShapes, RecordsOfATablesOlderShapesAreRowsAndNoOtherShapeIs) {
  mendora::_SYSCOLUMNS id, name, added;
  id.xtype = 56, id.length = 4, id.status = 0x01, id.colid = 1;
  name.xtype = 167, name.length = 20, name.colid = 2;
  added.xtype = 56, added.length = 4, added.colid = 3;
  const std::vector<mendora::_SYSCOLUMNS> columns = {id, name, added};
  using Kind = mendora::ColumnPlace::Kind;
  mendora::ColumnLayout layout;
  layout.columns = {
      {Kind::Fixed, 4, 4, 0, 0, 1}, {Kind::Variable, 0, 0, 0, 0, 2}, {Kind::Fixed, 12, 4, 0, 0, 4}};
  layout.unnamed = {{Kind::Fixed, 8, 4, 0, 0, 3}};  // the dropped int
  const mendora::RowShape shape = mendora::ShapeOf(layout, columns);
  EXPECT_EQ(shape.fixedEnd, 16);

  struct Case {
    const char* what;
    ByteVec record;
    bool row;
    std::string cut;  // Id|Name|Added of a row
  };
  const Case cases[] = {
      {"today's shape", RecordOf(Concat({U32(7), U32(99), U32(5)}), 4, 0, {"ann"}), true,
       "7|ann|5"},
      {"before Added: 3 columns, the dropped int kept",
       RecordOf(Concat({U32(8), U32(99)}), 3, 0, {"bob"}), true, "8|bob|NULL"},
      {"before the dropped int: 2 columns", RecordOf(U32(9), 2, 0, {"cy"}), true, "9|cy|NULL"},
      {"3 columns with today's fixed part", RecordOf(Concat({U32(8), U32(0), U32(5)}), 3, 0, {"x"}),
       false, ""},
      {"4 columns without Added's bytes", RecordOf(Concat({U32(8), U32(0)}), 4, 0, {"x"}), false,
       ""},
      {"5 columns", RecordOf(Concat({U32(8), U32(0), U32(5)}), 5, 0, {"x"}), false, ""},
      {"Id marked NULL", RecordOf(Concat({U32(8), U32(0), U32(5)}), 4, 1, {"x"}), false, ""},
      {"two variable columns", RecordOf(Concat({U32(8), U32(0), U32(5)}), 4, 0, {"x", "y"}), false,
       ""},
  };
  for (const auto& c : cases) {
    const auto page = recordtest::PageWith(c.record, 96, 96 + c.record.size());
    mendora::Record record;
    const bool row = mendora::ParseRowCandidate(page, 96, shape, record);
    EXPECT_EQ(row, c.row) << c.what;
    if (!row || !c.row) continue;
    std::vector<mendora::CellValue> cells;
    ASSERT_TRUE(mendora::CutRowInto(record, layout, cells)) << c.what;
    std::vector<std::string> texts;
    for (size_t i = 0; i < cells.size(); ++i) {
      mendora::Value v;
      if (!cells[i].isNull) mendora::DecodeValue(cells[i].Value(), columns[i], v);
      texts.push_back(v.IsNull() ? "NULL"
                      : i == 1   ? mendora::ToUtf8(v.text)
                                 : std::to_string(v.integer));
    }
    EXPECT_EQ(texts[0] + "|" + texts[1] + "|" + texts[2], c.cut) << c.what;
  }

  // A column added NOT NULL (the server rewrote every row for it) leaves no
  // older shape; nor does a dropped column at the end of the fixed part
  // whose length the file does not say.
  std::vector<mendora::_SYSCOLUMNS> notNull = columns;
  notNull[2].status = 0x01;
  const auto strict = mendora::ShapeOf(layout, notNull);
  const ByteVec older = RecordOf(Concat({U32(8), U32(99)}), 3, 0, {"bob"});
  mendora::Record record;
  EXPECT_FALSE(mendora::ParseRowCandidate(recordtest::PageWith(older, 96, 96 + older.size()), 96,
                                          strict, record));
  mendora::ColumnLayout unknown = layout;
  unknown.unnamed = {{Kind::Fixed, 16, 0, 0, 0, 5}};
  const auto unsure = mendora::ShapeOf(unknown, columns);
  const ByteVec full = RecordOf(Concat({U32(7), U32(0), U32(5), U32(1)}), 5, 0, {"ann"});
  EXPECT_FALSE(mendora::ParseRowCandidate(recordtest::PageWith(full, 96, 96 + full.size()), 96,
                                          unsure, record));
}

INSTANTIATE_TEST_SUITE_P(Versions, DeletedRowReaderTest, ::testing::Values(539, 611, 655),
                         VersionName);

}  // namespace
