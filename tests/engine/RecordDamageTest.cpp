// Damaged records are skipped and never read past their page. Each test takes a
// sound record, puts it where damage hurts most (at the very end of the page),
// then truncates it or breaks one field through every value, and checks that
// the record is refused or that everything decoded lies inside the buffer.
// The buffers are heap vectors of exactly the page size (or of the truncated
// size), so AddressSanitizer reports any read past them.
#include <gtest/gtest.h>

#include "engine/PageHeader.h"
#include "engine/Record.h"
#include "engine/RowCutter.h"
#include "tests/engine/RecordBytes.h"
#include "tests/support/MdfBuilder.h"

using namespace mendora;
using namespace recordtest;
using mdftest::Ascii;
using mdftest::RecordBuilder;
using mdftest::U16;
using mdftest::U32;

namespace {

// int, smallint, then varchar "abc", a text pointer kept off the row, varchar "de".
//
// OFFSET | FIELD
//      0 | status 0x30, status B
//      2 | fixed end = 10
//      4 | int, smallint
//     10 | column count 5
//     12 | NULL bitmap (1 byte)
//     13 | variable count 3
//     15 | end offsets: 24, 0x8000 | 40, 42
//     21 | "abc", 16-byte pointer, "de"
constexpr size_t kFixedEndAt = 2;
constexpr size_t kCountAt = 10;
constexpr size_t kVarCountAt = 13;
constexpr size_t kEndsAt = 15;
constexpr size_t kVarColumns = 3;

ByteVec SoundRecord() {
  ByteVec pointer = Raw({9, 9, 9, 9, 9, 9, 9, 9, 0x20, 0x01, 0, 0, 1, 0, 4, 0});
  return RecordBuilder()
      .Fixed(U32(0x01020304))
      .Fixed(U16(0x0506))
      .Columns(5)
      .Var(Ascii("abc"))
      .Var(pointer, true)
      .Var(Ascii("de"))
      .Build();
}

ColumnLayout SoundLayout() {
  return DefaultLayout(Table({Col(xt::kInt, 4), Col(xt::kSmallInt, 2), Col(xt::kVarChar, 10),
                              Col(xt::kText, 16), Col(xt::kVarChar, 10)}));
}

// Parses and cuts the record at `at`; true when the record is refused or when
// everything decoded lies inside the buffer.
::testing::AssertionResult SkippedOrInside(const std::vector<std::byte>& page, size_t at,
                                           const ColumnLayout& layout) {
  auto r = ParseRecord(page, at);
  if (r && !RecordInside(*r, page)) {
    return ::testing::AssertionFailure() << "record at " << at << " reaches past the buffer";
  }
  auto cells = CutRow(page, at, layout);
  if (cells && !CellsInside(*cells, page)) {
    return ::testing::AssertionFailure()
           << "a cell of the row at " << at << " reaches past the buffer";
  }
  if (cells && !r) return ::testing::AssertionFailure() << "a row cut from a refused record";
  return ::testing::AssertionSuccess();
}

class RecordAtPageEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    record_ = SoundRecord();
    ASSERT_EQ(record_.size(), 42u);
    at_ = kPageSize - record_.size();
    page_ = PageWith(record_, at_);
  }
  void Set16(size_t recordOffset, uint16_t v) { Put16(page_, at_ + recordOffset, v); }
  void Restore() { page_ = PageWith(record_, at_); }
  // Bytes the record may still use from `recordOffset` to the end of the page.
  size_t Room(size_t recordOffset) const { return kPageSize - at_ - recordOffset; }

  ByteVec record_;
  size_t at_ = 0;
  std::vector<std::byte> page_;
  ColumnLayout layout_ = SoundLayout();
};

}  // namespace

TEST_F(RecordAtPageEnd, TheSoundRecordCutsRight) {
  auto r = ParseRecord(page_, at_);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->bytes.size(), record_.size());
  ASSERT_EQ(r->varEnds.size(), kVarColumns);
  EXPECT_TRUE(r->varEnds[1].offRow);
  auto cells = CutRow(page_, at_, layout_);
  ASSERT_TRUE(cells);
  EXPECT_EQ(Le((*cells)[0].Value()), 0x01020304u);
  EXPECT_EQ(Le((*cells)[1].Value()), 0x0506u);
  EXPECT_EQ(Text((*cells)[2].Value()), "abc");
  EXPECT_EQ((*cells)[3].Value().size(), 16u);
  EXPECT_EQ(Text((*cells)[4].Value()), "de");
  EXPECT_EQ((*cells)[4].Value().data() + 2, page_.data() + page_.size())
      << "the last value ends with the page";
}

TEST_F(RecordAtPageEnd, EveryTruncationIsRefused) {
  // The buffer ends 1 .. 42 bytes early: every field of the record is then
  // partly or wholly missing, and the record must be refused.
  for (size_t cut = 1; cut <= record_.size(); ++cut) {
    for (size_t at : {at_, size_t{96}}) {
      auto truncated = PageWith(record_, at, at + record_.size() - cut);
      EXPECT_FALSE(ParseRecord(truncated, at)) << "cut " << cut << " at " << at;
      EXPECT_FALSE(CutRow(truncated, at, layout_)) << "cut " << cut << " at " << at;
    }
  }
}

TEST_F(RecordAtPageEnd, FixedEndPastThePageIsRefused) {
  for (uint32_t v = 0; v <= 0xFFFF; ++v) {
    Set16(kFixedEndAt, static_cast<uint16_t>(v));
    ASSERT_TRUE(SkippedOrInside(page_, at_, layout_)) << "fixed end " << v;
    // The column count stands at the fixed end: with no room for it the record is damaged.
    if (v < 4 || v + 2 > Room(0)) {
      ASSERT_FALSE(ParseRecord(page_, at_)) << "fixed end " << v;
    }
  }
}

TEST_F(RecordAtPageEnd, ColumnCountWhoseBitmapPassesThePageIsRefused) {
  for (uint32_t n = 0; n <= 0xFFFF; ++n) {
    Set16(kCountAt, static_cast<uint16_t>(n));
    ASSERT_TRUE(SkippedOrInside(page_, at_, layout_)) << "column count " << n;
    if ((n + 7) / 8 > Room(kCountAt + 2)) {
      ASSERT_FALSE(ParseRecord(page_, at_)) << "column count " << n;
    }
  }
}

TEST_F(RecordAtPageEnd, VariableCountWhoseOffsetsPassThePageIsRefused) {
  for (uint32_t v = 0; v <= 0xFFFF; ++v) {
    Set16(kVarCountAt, static_cast<uint16_t>(v));
    ASSERT_TRUE(SkippedOrInside(page_, at_, layout_)) << "variable count " << v;
    if (2 * v > Room(kVarCountAt + 2)) {
      ASSERT_FALSE(ParseRecord(page_, at_)) << "variable count " << v;
    }
  }
}

TEST_F(RecordAtPageEnd, EveryEndOffsetPointingPastThePageIsRefused) {
  for (size_t i = 0; i < kVarColumns; ++i) {
    for (uint32_t raw = 0; raw <= 0xFFFF; ++raw) {
      Set16(kEndsAt + 2 * i, static_cast<uint16_t>(raw));
      ASSERT_TRUE(SkippedOrInside(page_, at_, layout_)) << "end offset " << i << " = " << raw;
      // Masked or not, an end past the page is damage; the off-row bit does
      // not make a value's in-row bytes reach further.
      if ((raw & 0x7FFF) > Room(0)) {
        ASSERT_FALSE(ParseRecord(page_, at_)) << "end offset " << i << " = " << raw;
      }
    }
    Restore();
  }
}

TEST_F(RecordAtPageEnd, AnEndOffsetBeforeThePreviousOneIsRefused) {
  // The second value ending before the first, and the first before the data starts.
  Set16(kEndsAt + 2, 23);
  EXPECT_FALSE(ParseRecord(page_, at_));
  Restore();
  Set16(kEndsAt, 20);
  EXPECT_FALSE(ParseRecord(page_, at_));
}

TEST_F(RecordAtPageEnd, EveryByteThroughEveryValueStaysInside) {
  for (size_t i = 0; i < record_.size(); ++i) {
    for (unsigned v = 0; v < 256; ++v) {
      page_[at_ + i] = static_cast<std::byte>(v);
      ASSERT_TRUE(SkippedOrInside(page_, at_, layout_)) << "byte " << i << " = " << v;
    }
    page_[at_ + i] = record_[i];
  }
}

TEST(RecordNearPageEnd, RecordsStartingInTheLastBytesAreRefusedOrStayInside) {
  auto layout = SoundLayout();
  for (uint8_t fill : {0x00, 0x04, 0x10, 0x30, 0x7F, 0xFF}) {
    for (size_t at = 8176; at < kPageSize; ++at) {
      std::vector<std::byte> page(kPageSize);
      for (size_t i = at; i < kPageSize; ++i) page[i] = static_cast<std::byte>(fill);
      ASSERT_TRUE(SkippedOrInside(page, at, layout)) << "at " << at << " fill " << int(fill);
      // Fewer than the four bytes of status and fixed end.
      if (at > kPageSize - 4) {
        EXPECT_FALSE(ParseRecord(page, at)) << "at " << at << " fill " << int(fill);
      }
    }
  }
}

TEST(RecordNearPageEnd, ASmallSoundRecordAtTheVeryEndStillReads) {
  // status 0x10, fixed end 5, one tinyint, one column, bitmap: ends at byte 8191.
  auto record = Raw({0x10, 0x00, 0x05, 0x00, 0x2A, 0x01, 0x00, 0x00});
  auto page = PageWith(record, kPageSize - record.size());
  auto layout = DefaultLayout(Table({Col(xt::kTinyInt, 1)}));
  auto cells = CutRow(page, kPageSize - record.size(), layout);
  ASSERT_TRUE(cells);
  EXPECT_EQ(Le((*cells)[0].Value()), 42u);
  // One byte further it no longer fits.
  auto shifted = PageWith(record, kPageSize - record.size() + 1);
  EXPECT_FALSE(ParseRecord(shifted, kPageSize - record.size() + 1));
}

TEST(RecordNearPageEnd, SlotOffsetsOutsideTheRecordAreaAreRefused) {
  auto page = PageWith(SoundRecord(), 96);
  for (size_t at :
       {size_t{0}, size_t{1}, size_t{60}, size_t{95}, kPageSize, kPageSize + 1, size_t{0xFFFF}}) {
    EXPECT_FALSE(ParseRecord(page, at)) << at;
    EXPECT_FALSE(CutRow(page, at, SoundLayout())) << at;
  }
}

TEST(RecordNearPageEnd, ASpanShorterThanAPageBoundsTheRecord) {
  // Decoders may be handed less than a page; the span's end is the limit.
  auto record = SoundRecord();
  for (size_t size = 96; size < 96 + record.size(); ++size) {
    auto page = PageWith(record, 96, size);
    EXPECT_FALSE(ParseRecord(Bytes(page), 96)) << size;
  }
  auto whole = PageWith(record, 96, 96 + record.size());
  EXPECT_TRUE(ParseRecord(Bytes(whole), 96));
}
