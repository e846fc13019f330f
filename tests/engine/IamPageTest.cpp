// The IAM page: its eight single-page slots and its extent bitmap, which must
// stay inside both the page and the bitmap record.
#include <gtest/gtest.h>

#include "engine/IamPage.h"
#include "tests/engine/RecordBytes.h"

using namespace mendora;
using namespace recordtest;

namespace {

constexpr uint16_t kBitmapRecord = 192;
constexpr uint16_t kBitmapFixedEnd =
    7992;  // 4-byte header and 7988 bitmap bytes, as the server writes it

void Put32(std::vector<std::byte>& page, size_t at, uint32_t v) {
  Put16(page, at, static_cast<uint16_t>(v & 0xFFFF));
  Put16(page, at + 2, static_cast<uint16_t>(v >> 16));
}

// An IAM page as the server writes it: slot 0 the IAM header record at 96
// (fixed end 94), slot 1 the bitmap record.
std::vector<std::byte> IamBytes(const std::array<uint32_t, 8>& singles, uint32_t startPage = 0,
                                uint16_t bitmapFixedEnd = kBitmapFixedEnd,
                                size_t size = kPageSize) {
  std::vector<std::byte> page(kPageSize);
  page[1] = std::byte{10};
  Put16(page, 22, 2);
  Put16(page, 96 + 2, 94);
  Put32(page, 136, startPage);
  Put16(page, 140, 1);
  for (size_t i = 0; i < singles.size(); ++i) {
    Put32(page, 142 + 6 * i, singles[i]);
    Put16(page, 142 + 6 * i + 4, 1);  // file ids are read past, never taken as pages
  }
  Put16(page, kBitmapRecord + 2, bitmapFixedEnd);
  Put16(page, 8190, 96);
  Put16(page, 8188, kBitmapRecord);
  page.resize(size);
  return page;
}

void SetExtent(std::vector<std::byte>& page, size_t extent) {
  size_t at = kBitmapRecord + 4 + extent / 8;
  page[at] |= static_cast<std::byte>(1u << (extent % 8));
}

std::vector<size_t> Extents(const IamPage& iam) {
  std::vector<size_t> out;
  for (size_t i = 0; i < iam.extentBitmap.size(); ++i) {
    auto b = static_cast<uint8_t>(iam.extentBitmap[i]);
    for (unsigned j = 0; j < 8; ++j) {
      if (b & (1u << j)) out.push_back(8 * i + j);
    }
  }
  return out;
}

}  // namespace

TEST(IamPageTest, SinglePageSlotsAndStartPage) {
  std::array<uint32_t, 8> singles = {8, 0, 0xFFFFFFFF, 1234567, 0, 0, 0, 42};
  auto page = IamBytes(singles, 0x10000);
  IamPage iam = DecodeIamPage(page, kBitmapRecord);
  EXPECT_EQ(iam.singlePages, singles);
  EXPECT_EQ(iam.startPage, 0x10000u);
}

TEST(IamPageTest, BitmapIsTheBitmapRecordAfterItsHeader) {
  auto page = IamBytes({});
  for (size_t e : {size_t{0}, size_t{2}, size_t{9}, size_t{807}, size_t{7988 * 8 - 1}}) {
    SetExtent(page, e);
  }
  IamPage iam = DecodeIamPage(page, kBitmapRecord);
  ASSERT_EQ(iam.extentBitmap.size(), 7988u);
  EXPECT_EQ(iam.extentBitmap.data(), page.data() + kBitmapRecord + 4);
  EXPECT_EQ(Extents(iam), (std::vector<size_t>{0, 2, 9, 807, 7988 * 8 - 1}));
  EXPECT_TRUE(Inside(iam.extentBitmap, page));
}

TEST(IamPageTest, ARecordShorterThanThePageBoundsTheBitmap) {
  auto page = IamBytes({}, 0, 20);
  SetExtent(page, 8 * 16);  // the first byte after the record
  IamPage iam = DecodeIamPage(page, kBitmapRecord);
  EXPECT_EQ(iam.extentBitmap.size(), 16u);
  EXPECT_TRUE(Extents(iam).empty());
}

TEST(IamPageTest, ARecordClaimingMoreThanThePageIsBoundedByThePage) {
  for (uint16_t fixedEnd : {uint16_t{8000}, uint16_t{8001}, uint16_t{0x7FFF}, uint16_t{0xFFFF}}) {
    auto page = IamBytes({}, 0, fixedEnd);
    IamPage iam = DecodeIamPage(page, kBitmapRecord);
    EXPECT_TRUE(Inside(iam.extentBitmap, page)) << fixedEnd;
    EXPECT_LE(iam.extentBitmap.size(), kPageSize - kBitmapRecord - 4) << fixedEnd;
  }
}

TEST(IamPageTest, ASpanShorterThanAPageBoundsEverything) {
  // The bitmap record runs past a 300-byte span.
  auto page = IamBytes({5, 6}, 0, kBitmapFixedEnd, 300);
  IamPage iam = DecodeIamPage(page, kBitmapRecord);
  EXPECT_EQ(iam.singlePages[0], 5u);
  EXPECT_EQ(iam.singlePages[1], 6u);
  EXPECT_EQ(iam.extentBitmap.size(), 300u - kBitmapRecord - 4);
  EXPECT_TRUE(Inside(iam.extentBitmap, page));

  // Too short for the single-page slots past the third.
  auto tiny = IamBytes({1, 2, 3, 4, 5, 6, 7, 8}, 0, kBitmapFixedEnd, 160);
  iam = DecodeIamPage(tiny, kBitmapRecord);
  EXPECT_EQ(iam.singlePages[2], 3u);
  EXPECT_EQ(iam.singlePages[3], 0u);
  EXPECT_TRUE(iam.extentBitmap.empty());
}

TEST(IamPageTest, NoBitmapWithoutABitmapRecordInsideThePage) {
  auto page = IamBytes({7});
  for (uint16_t last : {uint16_t{0}, uint16_t{1}, uint16_t{95}, uint16_t{8189}, uint16_t{8190},
                        uint16_t{8191}, uint16_t{8192}, uint16_t{0xFFFF}}) {
    IamPage iam = DecodeIamPage(page, last);
    EXPECT_TRUE(iam.extentBitmap.empty()) << last;
    EXPECT_EQ(iam.singlePages[0], 7u) << last;
  }
  // A record in the last four bytes: its header fits, its bitmap has no room.
  IamPage last = DecodeIamPage(page, 8188);
  EXPECT_TRUE(last.extentBitmap.empty());
}

// A bitmap record whose header says its fixed part ends before its own
// 4-byte header is damaged: its bitmap is empty. Taking "to the end of the
// page" instead reads the rest of the page, slot array included, as extents.
TEST(IamPageTest, ADamagedBitmapRecordHeaderGivesNoBitmap) {
  for (uint16_t fixedEnd : {uint16_t{0}, uint16_t{1}, uint16_t{3}}) {
    auto page = IamBytes({}, 0, fixedEnd);
    IamPage iam = DecodeIamPage(page, kBitmapRecord);
    EXPECT_TRUE(iam.extentBitmap.empty())
        << "fixed end " << fixedEnd << " gave " << iam.extentBitmap.size() << " bitmap bytes";
  }
}
