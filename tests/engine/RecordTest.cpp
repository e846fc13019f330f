// The data record: status bytes, NULL bitmap, variable part, off-row
// end offsets, and the slot array of a page as the decoders walk it.
#include <gtest/gtest.h>

#include "engine/DataFile.h"
#include "engine/PageHeader.h"
#include "engine/Record.h"
#include "engine/RowCutter.h"
#include "tests/engine/RecordBytes.h"
#include "tests/support/MdfBuilder.h"

using namespace mendora;
using namespace recordtest;
using mdftest::Ascii;
using mdftest::MdfBuilder;
using mdftest::RecordBuilder;
using mdftest::TempFile;
using mdftest::U32;

namespace {

// Nine columns: one int in the fixed part, then a two-byte NULL bitmap.
ByteVec NineColumnRecord(uint8_t bitmap0, uint8_t bitmap1) {
  return Raw({0x10, 0x00, 0x08, 0x00,  // status A: bitmap, no variable part; fixed end 8
              0x2A, 0x00, 0x00, 0x00,  // the int
              0x09, 0x00,              // 9 columns
              bitmap0, bitmap1});
}

}  // namespace

TEST(NullBitmap, NineColumnsTakeTwoBytesAndColumnNineIsBitZeroOfTheSecond) {
  auto page = PageWith(NineColumnRecord(0x00, 0x01), 96);
  auto r = ParseRecord(page, 96);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->columnCount, 9);
  ASSERT_EQ(r->nullBitmap.size(), 2u);
  EXPECT_TRUE(r->IsNull(9));
  for (unsigned c = 1; c <= 8; ++c) EXPECT_FALSE(r->IsNull(c)) << "column " << c;
  EXPECT_EQ(r->bytes.size(), 12u) << "the record ends with its bitmap";
}

TEST(NullBitmap, ColumnEightIsTheTopBitOfTheFirstByte) {
  auto page = PageWith(NineColumnRecord(0x80, 0x00), 96);
  auto r = ParseRecord(page, 96);
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->IsNull(8));
  EXPECT_FALSE(r->IsNull(9));
  for (unsigned c = 1; c <= 7; ++c) EXPECT_FALSE(r->IsNull(c)) << "column " << c;

  auto inverse = PageWith(NineColumnRecord(0x7F, 0xFE), 96);
  r = ParseRecord(inverse, 96);
  ASSERT_TRUE(r);
  for (unsigned c = 1; c <= 7; ++c) EXPECT_TRUE(r->IsNull(c)) << "column " << c;
  EXPECT_FALSE(r->IsNull(8));
  EXPECT_FALSE(r->IsNull(9));
}

TEST(NullBitmap, ColumnNineOfANineColumnRowCutsAsNull) {
  // Nine tinyint columns holding 1..9.
  std::vector<_SYSCOLUMNS> cols;
  for (int i = 0; i < 9; ++i) cols.push_back(Col(xt::kTinyInt, 1));
  for (size_t i = 0; i < cols.size(); ++i) cols[i].colid = static_cast<int16_t>(i + 1);
  auto layout = DefaultLayout(cols);
  for (uint8_t second : {uint8_t{0x00}, uint8_t{0x01}}) {
    auto record = Raw({0x10, 0x00, 13, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x09, 0x00, 0x00, second});
    auto page = PageWith(record, 96);
    auto cells = CutRow(page, 96, layout);
    ASSERT_TRUE(cells);
    ASSERT_EQ(cells->size(), 9u);
    for (size_t i = 0; i < 8; ++i) {
      ASSERT_FALSE((*cells)[i].isNull) << i;
      EXPECT_EQ(Le((*cells)[i].Value()), i + 1);
    }
    EXPECT_EQ((*cells)[8].isNull, second == 0x01);
    if (second == 0) {
      EXPECT_EQ(Le((*cells)[8].Value()), 9u);
    }
  }
}

TEST(NullBitmap, AColumnPastTheBitmapIsNotNullByTheBitmapsWord) {
  auto page = PageWith(NineColumnRecord(0xFF, 0xFF), 96);
  auto r = ParseRecord(page, 96);
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->IsNull(16));
  EXPECT_FALSE(r->IsNull(17));
  EXPECT_FALSE(r->IsNull(0));
}

TEST(StatusBytes, BitmapWithoutVariablePartReadsOnlyTheFixedPart) {
  // After the bitmap stand bytes that would read as a variable part of one
  // column ending far away; with status 0x10 they are not the record's.
  auto record = Raw({0x10, 0x00, 0x0A, 0x00, 7, 0, 0, 0, 3, 0, 0x02, 0x00, 0x00,
                     /* not part of the record: */ 0x01, 0x00, 0xF0, 0x1F});
  auto page = PageWith(record, 200);
  auto r = ParseRecord(page, 200);
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->varEnds.empty());
  EXPECT_EQ(r->bytes.size(), 13u);

  auto layout = DefaultLayout(Table({Col(xt::kInt, 4), Col(xt::kSmallInt, 2)}));
  auto cells = CutRow(*r, layout);
  ASSERT_TRUE(cells);
  ASSERT_EQ(cells->size(), 2u);
  EXPECT_EQ(Le((*cells)[0].Value()), 7u);
  EXPECT_EQ(Le((*cells)[1].Value()), 3u);
}

TEST(StatusBytes, BitmapAndVariablePart) {
  auto record = RecordBuilder()
                    .Status(0x30)
                    .Fixed(U32(5))
                    .Columns(3)
                    .Var(Ascii("alpha"))
                    .Var(Ascii("be"))
                    .Build();
  auto page = PageWith(record, 96);
  auto r = ParseRecord(page, 96);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->statusA, 0x30);
  ASSERT_EQ(r->varEnds.size(), 2u);
  EXPECT_EQ(Text(r->Variable(0)), "alpha");
  EXPECT_EQ(Text(r->Variable(1)), "be");
  EXPECT_EQ(r->bytes.size(), record.size());

  auto layout =
      DefaultLayout(Table({Col(xt::kInt, 4), Col(xt::kVarChar, 10), Col(xt::kVarChar, 10)}));
  auto cells = CutRow(*r, layout);
  ASSERT_TRUE(cells);
  EXPECT_EQ(Le((*cells)[0].Value()), 5u);
  EXPECT_EQ(Text((*cells)[1].Value()), "alpha");
  EXPECT_EQ(Text((*cells)[2].Value()), "be");
}

TEST(StatusBytes, GhostStubBlobAndIndexRecordsAreNotCutAsRows) {
  auto layout = DefaultLayout(Table({Col(xt::kInt, 4)}));
  struct Case {
    const char* what;
    ByteVec record;
  };
  std::vector<Case> cases = {
      // A ghost data record, otherwise a sound row.
      {"ghost 0x1C", Raw({0x1C, 0x00, 0x08, 0x00, 1, 0, 0, 0, 0x01, 0x00, 0x00})},
      // A ghost with a variable part, as the real files hold them.
      {"ghost 0x3C", RecordBuilder().Status(0x3C).Fixed(U32(1)).Columns(2).Var(Ascii("x")).Build()},
      // A forwarding stub to page 0x5000, file 1, slot 3; its page number's
      // middle bytes read as a fixed-part end of 80, so the stub parses.
      {"forwarding stub 0x04", Raw({0x04, 0x00, 0x50, 0x00, 0x00, 0x01, 0x00, 0x03, 0x00})},
      // A text/LOB fragment: length 30, blob id, type 3 (data), data.
      {"blob fragment 0x08",
       Raw({0x08, 0x00, 30,  0x00, 1,   2,   3,   4,   5,   6,   7,   8,   0x03, 0x00, 'h',
            'e',  'l',  'l', 'o',  ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!',  '!',  '!'})},
      // An index record with a NULL bitmap.
      {"index record 0x16", Raw({0x16, 0x00, 0x08, 0x00, 1, 0, 0, 0, 0x01, 0x00, 0x00})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto page = PageWith(c.record, 96);
    EXPECT_FALSE(CutRow(page, 96, layout));
  }
  // The stub parses as a record of its own type; only the cutter refuses it.
  auto stub = PageWith(cases[2].record, 96);
  auto r = ParseRecord(stub, 96);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Type(), kRecordForwardingStub);
  auto ghost = PageWith(cases[0].record, 96);
  r = ParseRecord(ghost, 96);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Type(), kRecordGhostData);
}

TEST(StatusBytes, ForwardedRecordIsALiveRow) {
  auto layout = DefaultLayout(Table({Col(xt::kInt, 4)}));
  auto page = PageWith(Raw({0x12, 0x00, 0x08, 0x00, 9, 0, 0, 0, 0x01, 0x00, 0x00}), 96);
  auto cells = CutRow(page, 96, layout);
  ASSERT_TRUE(cells);
  EXPECT_EQ(Le((*cells)[0].Value()), 9u);
}

// Cutting a user row: a slot whose status byte A is 0 is
// skipped. Data records always carry a NULL bitmap; a status of 0 is what a
// slot pointing into zeroed or stale bytes looks like.
TEST(StatusBytes, StatusZeroIsNotARow) {
  auto layout = DefaultLayout(Table({Col(xt::kInt, 4)}));
  auto page = PageWith(Raw({0x00, 0x00, 0x08, 0x00, 9, 0, 0, 0}), 96);
  EXPECT_FALSE(CutRow(page, 96, layout)) << "status byte A 0 must not yield a row";
}

// Cutting a user row: a column count below 1 skips the
// row. A data row of a table always stores at least one column.
TEST(StatusBytes, ColumnCountZeroIsNotARow) {
  auto layout = DefaultLayout(Table({Col(xt::kInt, 4), Col(xt::kVarChar, 10)}));
  auto page = PageWith(Raw({0x10, 0x00, 0x08, 0x00, 9, 0, 0, 0, 0x00, 0x00}), 96);
  ASSERT_TRUE(ParseRecord(page, 96));
  EXPECT_FALSE(CutRow(page, 96, layout))
      << "a row of no columns must be skipped, not shown as NULLs";
}

TEST(OffRow, EndOffsetWithTopBitIsOffRowAndMaskedForBounds) {
  ByteVec pointer = Raw({1, 2, 3, 4, 5, 6, 7, 8, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00});
  auto record = RecordBuilder()
                    .Fixed(U32(77))
                    .Columns(4)
                    .Var(Ascii("abc"))
                    .Var(pointer, /*offRow=*/true)
                    .Var(Ascii("z"))
                    .Build();
  // The end offsets as stored: after status, fixed end, int, count, bitmap,
  // variable count and three offsets the data begins at 4 + 4 + 2 + 1 + 2 + 6 = 19.
  ASSERT_EQ(Le(Bytes(record).subspan(13, 2)), 22u);
  ASSERT_EQ(Le(Bytes(record).subspan(15, 2)), 0x8000u | 38u);
  ASSERT_EQ(Le(Bytes(record).subspan(17, 2)), 39u);

  auto page = PageWith(record, 8192 - record.size());
  auto r = ParseRecord(page, 8192 - record.size());
  ASSERT_TRUE(r);
  ASSERT_EQ(r->varEnds.size(), 3u);
  EXPECT_FALSE(r->varEnds[0].offRow);
  EXPECT_TRUE(r->varEnds[1].offRow);
  EXPECT_EQ(r->varEnds[1].end, 38);
  EXPECT_FALSE(r->varEnds[2].offRow);
  EXPECT_EQ(ToVec(r->Variable(1)), pointer);
  EXPECT_EQ(Text(r->Variable(2)), "z");

  auto layout = DefaultLayout(
      Table({Col(xt::kInt, 4), Col(xt::kVarChar, 10), Col(xt::kText, 16), Col(xt::kVarChar, 5)}));
  auto cells = CutRow(*r, layout);
  ASSERT_TRUE(cells);
  EXPECT_FALSE((*cells)[1].offRow);
  EXPECT_TRUE((*cells)[2].offRow);
  EXPECT_EQ(ToVec((*cells)[2].Value()), pointer);
  EXPECT_EQ(Text((*cells)[3].Value()), "z");
}

TEST(SlotArray, SlotsNinetySixZeroAndOneFortyGiveRecordsAtNinetySixAndOneForty) {
  MdfBuilder b(655, u"db");
  auto& page = b.Page(20);
  auto first = RecordBuilder().Fixed(U32(1001)).Columns(2).Null(2).Build();
  auto second = RecordBuilder().Fixed(U32(1002)).Columns(2).Var(Ascii("second")).Build();
  ASSERT_EQ(page.AddRecord(first), 96);
  page.AddRawSlot(0);
  page.AddRawSlot(140);
  page.Poke(140, second);
  TempFile f;
  b.WriteTo(f.path());

  DataFile file;
  ASSERT_TRUE(file.Open(f.path()));
  const PageBuffer bytes = file.ReadPage(20);
  const auto slots = SlotOffsets(bytes);
  ASSERT_EQ(slots, (std::vector<uint16_t>{96, 0, 140}));
  EXPECT_EQ(Le(Bytes(bytes).subspan(22, 2)), 3u);
  EXPECT_EQ(Le(Bytes(bytes).subspan(8190, 2)), 96u);
  EXPECT_EQ(Le(Bytes(bytes).subspan(8188, 2)), 0u);
  EXPECT_EQ(Le(Bytes(bytes).subspan(8186, 2)), 140u);

  auto layout = DefaultLayout(Table({Col(xt::kInt, 4), Col(xt::kVarChar, 10)}));
  std::vector<size_t> starts;
  std::vector<uint64_t> ids;
  for (uint16_t slot : slots) {
    auto r = ParseRecord(bytes, slot);
    if (!r) continue;
    auto cells = CutRow(*r, layout);
    if (!cells) continue;
    starts.push_back(r->start);
    ids.push_back(Le((*cells)[0].Value()));
  }
  EXPECT_EQ(starts, (std::vector<size_t>{96, 140}));
  EXPECT_EQ(ids, (std::vector<uint64_t>{1001, 1002}));
  EXPECT_FALSE(ParseRecord(bytes, 0)) << "the zero slot is empty";
}
