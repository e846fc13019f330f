// Reading pages: torn-page repair, short files, slot arrays.
#include <gtest/gtest.h>

#include "engine/DataFile.h"
#include "engine/PageHeader.h"
#include "tests/support/MdfBuilder.h"
#include "tests/support/RealFiles.h"

using namespace mendora;
using namespace mdftest;

namespace {

uint8_t At(const PageBuffer& p, size_t i) {
  return static_cast<uint8_t>(p[i]);
}

// A page whose sector-end bytes all have distinct low bits, so a repair that
// takes the wrong bits of the word shows.
PageBuilder& PatternPage(MdfBuilder& b, uint32_t n) {
  auto& page = b.Page(n);
  page.Header().objectId = 77;
  for (unsigned k = 0; k < 16; ++k)
    page.Poke(512 * k + 511, U8(static_cast<uint8_t>(0xA0 | (k % 4))));
  return page;
}

}  // namespace

TEST(TornPage, RepairRestoresEverySectorEndAndLeavesTheFirstSector) {
  MdfBuilder b(655, u"db");
  PatternPage(b, 12).Tear(0x2);
  TempFile f;
  b.WriteTo(f.path());

  DataFile file;
  ASSERT_TRUE(file.Open(f.path()));
  const auto& page = file.ReadPage(12);
  for (unsigned k = 1; k < 16; ++k) {
    EXPECT_EQ(At(page, 512 * k + 511), 0xA0 | (k % 4)) << "sector " << k;
  }
  EXPECT_EQ(At(page, 511), 0xA0) << "the first sector is not part of the repair";

  // Read directly, without repair, the stamp is what is on disk.
  std::array<std::byte, 8192> raw{};
  file.ReadDirect(12 * 8192, raw);
  EXPECT_EQ(static_cast<uint8_t>(raw[1023]) & 0x3, 0x2);
}

TEST(TornPage, WordBitsTwoKAndTwoKPlusOneGoToBitsZeroAndOne) {
  PageBuffer page{};
  page[5] = std::byte{0x01};
  // Word 0xFFFFFFFC: every sector k >= 1 gets both low bits set.
  page[60] = std::byte{0xFC};
  page[61] = page[62] = page[63] = std::byte{0xFF};
  page[511] = std::byte{0x40};
  for (unsigned k = 1; k < 16; ++k) page[512 * k + 511] = std::byte{0x40};
  RepairTornPage(page);
  for (unsigned k = 1; k < 16; ++k) EXPECT_EQ(At(page, 512 * k + 511), 0x43) << k;
  EXPECT_EQ(At(page, 511), 0x40);

  // One sector's pair alone: sector 3 takes bits 6 and 7 of the word.
  PageBuffer one{};
  one[5] = std::byte{0x01};
  one[60] = std::byte{0x80};  // bit 7 only: sector 3, bit 1
  one[3 * 512 + 511] = std::byte{0xFF};
  one[2 * 512 + 511] = std::byte{0xFF};
  RepairTornPage(one);
  EXPECT_EQ(At(one, 3 * 512 + 511), 0xFE);
  EXPECT_EQ(At(one, 2 * 512 + 511), 0xFC);
}

TEST(TornPage, PagesWithoutTornBitsAreReturnedAsRead) {
  for (uint8_t high : {0x00, 0x03, 0x02, 0x05, 0x09, 0x0F}) {
    PageBuffer page{};
    page[5] = std::byte{high};
    page[60] = page[61] = page[62] = page[63] = std::byte{0xFF};
    for (unsigned k = 1; k < 16; ++k) page[512 * k + 511] = std::byte{0x10};
    PageBuffer before = page;
    RepairTornPage(page);
    EXPECT_EQ(page, before) << "flag byte " << int(high);
  }
}

TEST(TornPage, RealPubsSalesNameReadsRightOnlyAfterRepair) {
  DataFile file;
  ASSERT_TRUE(file.Open(RealMdf("v539-pubs.mdf")));
  std::array<std::byte, 8192> raw{};
  file.ReadDirect(8 * 8192, raw);
  EXPECT_EQ(static_cast<uint8_t>(raw[5119]), 0x01);
  const auto& page = file.ReadPage(8);
  EXPECT_EQ(At(page, 5119), 0x00);
}

TEST(ReadPage, ShortFileAndPagesPastTheEndReadAsZeros) {
  MdfBuilder b(539, u"db", 12);
  b.Page(11).Header().objectId = 0x11223344;
  b.SetTail(ByteVec(100, std::byte{0xEE}));
  TempFile f;
  b.WriteTo(f.path());

  DataFile file;
  ASSERT_TRUE(file.Open(f.path()));
  EXPECT_EQ(DecodePageHeader(file.ReadPage(11)).objectId, 0x11223344u);
  const auto& tail = file.ReadPage(12);
  for (size_t i = 0; i < 100; ++i) ASSERT_EQ(At(tail, i), 0xEE);
  for (size_t i = 100; i < 8192; ++i) ASSERT_EQ(At(tail, i), 0) << i;
  const auto& beyond = file.ReadPage(500);
  for (size_t i = 0; i < 8192; ++i) ASSERT_EQ(At(beyond, i), 0);
}

TEST(ReadSlotOffsets, SlotsInOrderWithEmptySlotsKept) {
  MdfBuilder b(655, u"db");
  auto& page = b.Page(20);
  uint16_t first = page.AddRecord(RecordBuilder().Fixed(U32(1)).Columns(1).Build());
  page.AddRawSlot(0);
  uint16_t third = page.AddRecord(RecordBuilder().Fixed(U32(2)).Columns(1).Build());
  b.Page(21);  // no slots
  TempFile f;
  b.WriteTo(f.path());

  DataFile file;
  ASSERT_TRUE(file.Open(f.path()));
  EXPECT_EQ(SlotOffsets(file.ReadPage(20)), (std::vector<uint16_t>{first, 0, third}));
  EXPECT_TRUE(SlotOffsets(file.ReadPage(21)).empty());
}

TEST(ReadSlotOffsets, ASlotCountRunningIntoTheHeaderGivesNoSlots) {
  MdfBuilder b(655, u"db");
  auto& page = b.Page(20);
  page.AddRecord(RecordBuilder().Fixed(U32(1)).Columns(1).Build());
  page.SetSlotCount(4049);  // 4049 slots would reach byte 94
  auto& fits = b.Page(21);
  fits.AddRecord(RecordBuilder().Fixed(U32(1)).Columns(1).Build());
  fits.SetSlotCount(4048);
  TempFile f;
  b.WriteTo(f.path());

  DataFile file;
  ASSERT_TRUE(file.Open(f.path()));
  EXPECT_TRUE(SlotOffsets(file.ReadPage(20)).empty());
  EXPECT_EQ(SlotOffsets(file.ReadPage(21)).size(), 4048u);
}
