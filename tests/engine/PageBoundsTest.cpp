// One record is one row, and a record never takes its neighbour's bytes: slots
// repeating an offset read as empty, and each record is bounded by the record
// that follows it on the page, whatever the slot order.
#include <gtest/gtest.h>

#include "engine/PageHeader.h"
#include "engine/SysTables2005.h"
#include "tests/support/MdfBuilder.h"
#include "tests/support/SystemRows.h"

using namespace mendora;
using namespace mdftest;

namespace {

PageBuffer Built(const PageBuilder& page) {
  const auto bytes = page.Build();
  PageBuffer out;
  std::copy(bytes.begin(), bytes.end(), out.begin());
  return out;
}

TEST(PageBounds, ASlotRepeatingAnOffsetReadsAsEmpty) {
  PageBuilder page(20);
  const uint16_t first = page.PlaceRecord(Encode(SysSchObjsRow{101, u"Orders"}));
  const uint16_t second = page.PlaceRecord(Encode(SysSchObjsRow{102, u"Lines"}));
  for (uint16_t at : {first, second, first, first, second}) page.AddRawSlot(at);
  EXPECT_EQ(SlotOffsets(Built(page)), (std::vector<uint16_t>{first, second, 0, 0, 0}));
}

TEST(PageBounds, EachRecordEndsWhereTheNextRecordBegins) {
  PageBuilder page(20);
  const uint16_t a = page.PlaceRecord(Encode(SysSchObjsRow{101, u"Orders"}));
  const uint16_t b = page.PlaceRecord(Encode(SysSchObjsRow{102, u"Lines"}));
  const uint16_t c = page.PlaceRecord(Encode(SysSchObjsRow{103, u"Items"}));
  // Slots out of physical order, as the server leaves them after updates.
  for (uint16_t at : {c, a, b}) page.AddRawSlot(at);
  const PageBuffer bytes = Built(page);
  const RecordLimits limits(SlotOffsets(bytes));
  EXPECT_EQ(limits.Bound(bytes, a).size(), b);
  EXPECT_EQ(limits.Bound(bytes, b).size(), c);
  EXPECT_EQ(limits.Bound(bytes, c).size(), kPageSize - 2 * 3)
      << "the last one ends at the slot array";
}

TEST(PageBounds, ANameEndPastItsRecordIsDamageNotTheNextRowsName) {
  PageBuilder page(20);
  ByteVec damaged = Encode(SysSchObjsRow{101, u"Contact"});
  const uint16_t a = page.AddRecord(damaged);
  const uint16_t b = page.AddRecord(Encode(SysSchObjsRow{102, u"Lastname"}));
  // The name's end offset (record offset 50) now points 20 bytes into the next row.
  const auto end = static_cast<uint16_t>(b - a + 20);
  page.Poke(a + sysschobjs::kNameEnd, {std::byte(end & 0xFF), std::byte(end >> 8)});
  const PageBuffer bytes = Built(page);
  const RecordLimits limits(SlotOffsets(bytes));

  EXPECT_FALSE(DecodeSysSchObjs(limits.Bound(bytes, a), a).has_value());
  auto next = DecodeSysSchObjs(limits.Bound(bytes, b), b);
  ASSERT_TRUE(next.has_value());
  EXPECT_EQ(next->name, u"Lastname") << "the neighbour keeps its own row";
}

// A schema row (sysclsobjs) cut short at any length is no row; a row of
// another class is none either.
TEST(PageBounds, ASchemaRowIsReadWholeOrNotAtAll) {
  PageBuilder page(20);
  const ByteVec row = Encode(SysClsObjsRow{50, 5, u"Sales"});
  const uint16_t a = page.AddRecord(row);
  const uint16_t other = page.AddRecord(Encode(SysClsObjsRow{1, 6, u"Thing"}));
  const PageBuffer bytes = Built(page);
  for (size_t length = 0; length < row.size(); ++length) {
    EXPECT_FALSE(DecodeSysClsObjs(Bytes(bytes).first(a + length), a).has_value()) << length;
  }
  auto whole = DecodeSysClsObjs(Bytes(bytes).first(a + row.size()), a);
  ASSERT_TRUE(whole.has_value());
  EXPECT_EQ(whole->id, 5);
  EXPECT_EQ(whole->name, u"Sales");
  EXPECT_FALSE(DecodeSysClsObjs(bytes, other).has_value());
}

}  // namespace
