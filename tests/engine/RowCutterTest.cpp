// Cutting rows into columns through the colid-order layout: shared bit bytes,
// the order in which variable columns take their end offsets, columns a row
// does not store, and columns whose bytes would lie outside the row.
#include <gtest/gtest.h>

#include "engine/RowCutter.h"
#include "tests/engine/RecordBytes.h"
#include "tests/support/MdfBuilder.h"

using namespace mendora;
using namespace recordtest;
using mdftest::Ascii;
using mdftest::Concat;
using mdftest::RecordBuilder;
using mdftest::U16;
using mdftest::U32;
using mdftest::U64;
using mdftest::Utf16;
using Kind = ColumnPlace::Kind;

namespace {

// A row cut from an exact-size page that lives as long as its cells.
struct Cut {
  Cut(const ByteVec& record, const ColumnLayout& layout, size_t at = 96)
      : page(PageWith(record, at)) {
    auto c = CutRow(page, at, layout);
    EXPECT_TRUE(c) << "the row should cut";
    if (!c) return;
    EXPECT_TRUE(CellsInside(*c, page));
    cells = *c;
  }
  size_t size() const { return cells.size(); }
  const CellValue& operator[](size_t i) const { return cells.at(i); }

  std::vector<std::byte> page;
  std::vector<CellValue> cells;
};

}  // namespace

TEST(VariableLengthTypes, TheVariableTypesAndTheMaxTypes) {
  for (uint8_t t : {xt::kImage, xt::kText, xt::kSqlVariant, xt::kNText, xt::kVarBinary,
                    xt::kVarChar, xt::kNVarChar, xt::kXml}) {
    EXPECT_TRUE(IsVariableLengthType(t, 16)) << int(t);
  }
  EXPECT_TRUE(IsVariableLengthType(xt::kVarChar, -1));
  EXPECT_TRUE(IsVariableLengthType(xt::kVarBinary, -1));
  EXPECT_TRUE(IsVariableLengthType(xt::kNVarChar, -1));
  for (uint8_t t : {xt::kTinyInt, xt::kSmallInt, xt::kInt, xt::kBigInt, xt::kReal, xt::kFloat,
                    xt::kMoney, xt::kDecimal, xt::kDateTime, xt::kUniqueId, xt::kChar, xt::kNChar,
                    xt::kBinary, xt::kTimestamp, xt::kBit}) {
    EXPECT_FALSE(IsVariableLengthType(t, 8)) << int(t);
  }
}

TEST(DefaultLayoutTest, FixedColumnsInOrderAndVariableColumnsNumbered) {
  auto layout =
      DefaultLayout(Table({Col(xt::kInt, 4), Col(xt::kBit, 1), Col(xt::kChar, 3), Col(xt::kBit, 1),
                           Col(xt::kVarChar, 20), Col(xt::kSmallInt, 2), Col(xt::kNVarChar, 40)}));
  ASSERT_EQ(layout.columns.size(), 7u);
  const auto& c = layout.columns;
  EXPECT_EQ(c[0].kind, Kind::Fixed);
  EXPECT_EQ(c[0].offset, 4);
  EXPECT_EQ(c[0].length, 4);
  EXPECT_EQ(c[1].kind, Kind::Bit);
  EXPECT_EQ(c[1].offset, 8);
  EXPECT_EQ(c[1].bit, 0);
  EXPECT_EQ(c[2].kind, Kind::Fixed);
  EXPECT_EQ(c[2].offset, 9) << "two bit columns share one byte";
  EXPECT_EQ(c[2].length, 3);
  EXPECT_EQ(c[3].kind, Kind::Bit);
  EXPECT_EQ(c[3].offset, 8);
  EXPECT_EQ(c[3].bit, 1);
  EXPECT_EQ(c[4].kind, Kind::Variable);
  EXPECT_EQ(c[4].varIndex, 0);
  EXPECT_EQ(c[5].kind, Kind::Fixed);
  EXPECT_EQ(c[5].offset, 12);
  EXPECT_EQ(c[6].kind, Kind::Variable);
  EXPECT_EQ(c[6].varIndex, 1);
  for (size_t i = 0; i < c.size(); ++i) EXPECT_EQ(c[i].nullBit, i + 1) << i;
}

TEST(BitColumns, TenBitColumnsShareTwoBytesAndTheCursorPassesThem) {
  // a int, b1 bit, c smallint, b2..b10 bit, d char(3), e varchar
  std::vector<_SYSCOLUMNS> cols = {Col(xt::kInt, 4), Col(xt::kBit, 1), Col(xt::kSmallInt, 2)};
  for (int i = 0; i < 9; ++i) cols.push_back(Col(xt::kBit, 1));
  cols.push_back(Col(xt::kChar, 3));
  cols.push_back(Col(xt::kVarChar, 10));
  for (size_t i = 0; i < cols.size(); ++i) cols[i].colid = static_cast<int16_t>(i + 1);
  auto layout = DefaultLayout(cols);
  ASSERT_EQ(layout.columns.size(), 14u);

  // Bit k (0-based among the bit columns) and its column number.
  const std::vector<size_t> bitColumn = {2, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  for (size_t k = 0; k < bitColumn.size(); ++k) {
    const auto& p = layout.columns[bitColumn[k] - 1];
    EXPECT_EQ(p.kind, Kind::Bit) << k;
    EXPECT_EQ(p.offset, 8 + k / 8) << k;
    EXPECT_EQ(p.bit, k % 8) << k;
  }
  EXPECT_EQ(layout.columns[2].offset, 10) << "the cursor passes both shared bytes";
  EXPECT_EQ(layout.columns[12].offset, 12);

  // Values of the ten bits; b3 (column 5) and b9 (column 11) are NULL with
  // their bits set, so only the bitmap can say they are NULL.
  const std::vector<int> bits = {1, 0, 1, 1, 0, 0, 1, 0, 1, 1};
  uint8_t low = 0, high = 0;
  for (size_t k = 0; k < 8; ++k) low |= static_cast<uint8_t>(bits[k] << k);
  high = static_cast<uint8_t>(bits[8] | (bits[9] << 1));
  auto record = RecordBuilder()
                    .Fixed(U32(0x11223344))
                    .Fixed({std::byte{low}, std::byte{high}})
                    .Fixed(U16(0x0506))
                    .Fixed(Ascii("xyz"))
                    .Columns(14)
                    .Null(5)
                    .Null(11)
                    .Var(Ascii("hello"))
                    .Build();
  auto cells = Cut(record, layout);
  ASSERT_EQ(cells.size(), 14u);
  EXPECT_EQ(Le(cells[0].Value()), 0x11223344u);
  EXPECT_EQ(Le(cells[2].Value()), 0x0506u);
  EXPECT_EQ(Text(cells[12].Value()), "xyz");
  for (size_t k = 0; k < bitColumn.size(); ++k) {
    const auto& cell = cells[bitColumn[k] - 1];
    bool null = bitColumn[k] == 5 || bitColumn[k] == 11;
    EXPECT_EQ(cell.isNull, null) << "bit " << k;
    if (null) continue;
    EXPECT_TRUE(cell.isBit) << "bit " << k;
    ASSERT_EQ(cell.Value().size(), 1u);
    EXPECT_EQ(static_cast<int>(cell.Value()[0]), bits[k]) << "bit " << k;
  }
  EXPECT_EQ(Text(cells[13].Value()), "hello");
}

TEST(BitColumns, EveryOneOfTheSixteenBitsReadsAlone) {
  std::vector<_SYSCOLUMNS> cols;
  for (int i = 0; i < 16; ++i) cols.push_back(Col(xt::kBit, 1));
  for (size_t i = 0; i < cols.size(); ++i) cols[i].colid = static_cast<int16_t>(i + 1);
  auto layout = DefaultLayout(cols);
  for (unsigned set = 0; set < 16; ++set) {
    auto record = RecordBuilder().Fixed(U16(static_cast<uint16_t>(1u << set))).Columns(16).Build();
    auto cells = Cut(record, layout);
    ASSERT_EQ(cells.size(), 16u);
    for (unsigned k = 0; k < 16; ++k) {
      EXPECT_EQ(static_cast<int>(cells[k].Value()[0]), k == set ? 1 : 0)
          << "bit " << k << " with bit " << set << " set";
    }
  }
}

TEST(VariableColumns, TakeEndOffsetsInColumnOrderWhateverTheirType) {
  // Every variable-length type takes the next end offset, the large ones
  // included; fixed and bit columns in between take none.
  auto layout = DefaultLayout(Table({
      Col(xt::kInt, 4),          // 1 fixed
      Col(xt::kVarChar, 20),     // 2 var 0
      Col(xt::kVarBinary, 20),   // 3 var 1
      Col(xt::kSqlVariant, 20),  // 4 var 2
      Col(xt::kBit, 1),          // 5 bit
      Col(xt::kText, 16),        // 6 var 3, off row
      Col(xt::kNText, 16),       // 7 var 4, off row
      Col(xt::kImage, 16),       // 8 var 5, off row
      Col(xt::kNVarChar, 40),    // 9 var 6
      Col(xt::kDateTime, 8),     // 10 fixed
      Col(xt::kVarChar, -1),     // 11 var 7, varchar(max) kept in the row
      Col(xt::kVarBinary, -1),   // 12 var 8, varbinary(max) root off the row
      Col(xt::kXml, -1),         // 13 var 9
  }));
  auto pointer = [](uint8_t tag) {
    return Concat({U64(0x0102030405060700u | tag), U32(300 + tag), U16(1), U16(tag)});
  };
  ByteVec varbinary = Raw({0xDE, 0xAD, 0xBE});
  ByteVec variant = Raw({0x38, 0x01, 0x2A, 0x00, 0x00, 0x00});
  ByteVec root = Raw({0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  auto record = RecordBuilder()
                    .Fixed(U32(31))
                    .Fixed(Raw({0x01}))
                    .Fixed(U64(0x00009A3C0000012Cu))
                    .Columns(13)
                    .Var(Ascii("varchar"))
                    .Var(varbinary)
                    .Var(variant)
                    .Var(pointer(1), true)
                    .Var(pointer(2), true)
                    .Var(pointer(3), true)
                    .Var(Utf16(u"\u00C4\u00D6"))
                    .Var(Ascii("max"))
                    .Var(root, true)
                    .Var(Utf16(u"<a/>"))
                    .Build();
  auto cells = Cut(record, layout);
  ASSERT_EQ(cells.size(), 13u);
  for (const auto& c : cells.cells) EXPECT_FALSE(c.isNull);
  EXPECT_EQ(Le(cells[0].Value()), 31u);
  EXPECT_EQ(Text(cells[1].Value()), "varchar");
  EXPECT_EQ(ToVec(cells[2].Value()), varbinary);
  EXPECT_EQ(ToVec(cells[3].Value()), variant);
  EXPECT_EQ(static_cast<int>(cells[4].Value()[0]), 1);
  EXPECT_EQ(ToVec(cells[5].Value()), pointer(1));
  EXPECT_EQ(ToVec(cells[6].Value()), pointer(2));
  EXPECT_EQ(ToVec(cells[7].Value()), pointer(3));
  EXPECT_EQ(ToVec(cells[8].Value()), Utf16(u"\u00C4\u00D6"));
  EXPECT_EQ(Le(cells[9].Value()), 0x00009A3C0000012Cu);
  EXPECT_EQ(Text(cells[10].Value()), "max");
  EXPECT_EQ(ToVec(cells[11].Value()), root);
  EXPECT_EQ(ToVec(cells[12].Value()), Utf16(u"<a/>"));
  for (size_t i : {5u, 6u, 7u, 11u}) EXPECT_TRUE(cells[i].offRow) << i;
  for (size_t i : {1u, 2u, 3u, 8u, 10u, 12u}) EXPECT_FALSE(cells[i].offRow) << i;
}

TEST(VariableColumns, ANullColumnInTheMiddleStillUsesItsPlace) {
  auto layout = DefaultLayout(
      Table({Col(xt::kInt, 4), Col(xt::kVarChar, 9), Col(xt::kVarChar, 9), Col(xt::kVarChar, 9)}));
  auto record = RecordBuilder()
                    .Fixed(U32(1))
                    .Columns(4)
                    .Null(2)
                    .Var({})
                    .Var(Ascii("second"))
                    .Var(Ascii("third"))
                    .Build();
  auto cells = Cut(record, layout);
  ASSERT_EQ(cells.size(), 4u);
  EXPECT_TRUE(cells[1].isNull);
  EXPECT_EQ(Text(cells[2].Value()), "second");
  EXPECT_EQ(Text(cells[3].Value()), "third");
}

TEST(VariableColumns, TrailingColumnsTheRowOmitsReadAsNullOrEmpty) {
  auto layout = DefaultLayout(
      Table({Col(xt::kInt, 4), Col(xt::kVarChar, 9), Col(xt::kNVarChar, 9), Col(xt::kText, 16)}));
  // The server leaves trailing NULL variable columns out of the offset array.
  auto omittedNulls =
      RecordBuilder().Fixed(U32(1)).Columns(4).Null(3).Null(4).Var(Ascii("only")).Build();
  auto cells = Cut(omittedNulls, layout);
  ASSERT_EQ(cells.size(), 4u);
  EXPECT_EQ(Text(cells[1].Value()), "only");
  EXPECT_TRUE(cells[2].isNull);
  EXPECT_TRUE(cells[3].isNull);

  // Omitted but not NULL by the bitmap: empty values, not someone else's bytes.
  auto omittedEmpty = RecordBuilder().Fixed(U32(2)).Columns(4).Var(Ascii("only")).Build();
  cells = Cut(omittedEmpty, layout);
  ASSERT_EQ(cells.size(), 4u);
  EXPECT_FALSE(cells[2].isNull);
  EXPECT_TRUE(cells[2].Value().empty());
  EXPECT_FALSE(cells[3].isNull);
  EXPECT_TRUE(cells[3].Value().empty());
  EXPECT_FALSE(cells[3].offRow);

  // No variable part at all (status 0x10): every variable column is NULL or empty.
  auto noVariablePart = RecordBuilder().Fixed(U32(3)).Columns(4).Null(2).Build();
  cells = Cut(noVariablePart, layout);
  ASSERT_EQ(cells.size(), 4u);
  EXPECT_EQ(Le(cells[0].Value()), 3u);
  EXPECT_TRUE(cells[1].isNull);
  EXPECT_TRUE(cells[2].Value().empty());
  EXPECT_TRUE(cells[3].Value().empty());
}

TEST(ColumnCount, AColumnBeyondTheRowsColumnCountReadsNull) {
  // Columns 3 and 4 were added after the row was written with two columns:
  // the row stores neither, and its fixed part has no room for column 3.
  auto layout = DefaultLayout(
      Table({Col(xt::kInt, 4), Col(xt::kInt, 4), Col(xt::kVarChar, 9), Col(xt::kInt, 4)}));
  auto record = RecordBuilder().Fixed(U32(10)).Fixed(U32(20)).Columns(2).Build();
  auto cells = Cut(record, layout);
  ASSERT_EQ(cells.size(), 4u);
  EXPECT_EQ(Le(cells[0].Value()), 10u);
  EXPECT_EQ(Le(cells[1].Value()), 20u);
  EXPECT_TRUE(cells[2].isNull);
  EXPECT_TRUE(cells[3].isNull);
}

TEST(ColumnCount, ColumnNineBeyondAnEightColumnRowIsNullThoughTheBitmapCannotSay) {
  std::vector<_SYSCOLUMNS> cols;
  for (int i = 0; i < 9; ++i) cols.push_back(Col(xt::kTinyInt, 1));
  for (size_t i = 0; i < cols.size(); ++i) cols[i].colid = static_cast<int16_t>(i + 1);
  auto layout = DefaultLayout(cols);
  // Eight columns, a one-byte bitmap with nothing NULL, and a ninth byte in
  // the fixed part that is not a column of this row.
  auto record = Raw({0x10, 0x00, 13, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x08, 0x00, 0x00});
  auto cells = Cut(record, layout);
  ASSERT_EQ(cells.size(), 9u);
  for (size_t i = 0; i < 8; ++i) EXPECT_FALSE(cells[i].isNull) << i;
  EXPECT_TRUE(cells[8].isNull);
}

TEST(Damage, AFixedColumnOutsideTheFixedPartSkipsTheRow) {
  // The layout says two ints, the row's fixed part holds one, and its column
  // count says both are stored.
  auto layout = DefaultLayout(Table({Col(xt::kInt, 4), Col(xt::kInt, 4)}));
  auto record = RecordBuilder().Fixed(U32(1)).Columns(2).Build();
  auto page = PageWith(record, 96);
  EXPECT_FALSE(CutRow(page, 96, layout));
  // The same with a bit column whose shared byte is missing.
  auto bits = DefaultLayout(Table({Col(xt::kInt, 4), Col(xt::kBit, 1)}));
  EXPECT_FALSE(CutRow(page, 96, bits));
  // The missing column NULL: nothing to read, the row cuts.
  auto withNull = RecordBuilder().Fixed(U32(1)).Columns(2).Null(2).Build();
  auto page2 = PageWith(withNull, 96);
  auto cells = CutRow(page2, 96, layout);
  ASSERT_TRUE(cells);
  EXPECT_TRUE((*cells)[1].isNull);
}
