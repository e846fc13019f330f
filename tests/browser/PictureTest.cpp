// Which pictures binary values hold: every format's signature, the BMP behind
// an OLE object header as old databases store it, and bytes that only look
// like a picture (a BMP whose size runs past the value, truncations).
#include <gtest/gtest.h>

#include <vector>

#include "browser/Picture.h"

namespace mendora {
namespace {

std::vector<std::byte> PictureBytes(std::initializer_list<int> values, size_t padTo = 0) {
  std::vector<std::byte> out;
  for (int v : values) out.push_back(static_cast<std::byte>(v));
  out.resize(std::max(out.size(), padTo));
  return out;
}

// "BM", the file size (u32 LE), then zeros up to that size.
std::vector<std::byte> Bmp(uint32_t size, size_t stored) {
  auto out = PictureBytes({'B', 'M', int(size & 0xFF), int((size >> 8) & 0xFF), 0, 0});
  out.resize(stored);
  return out;
}

TEST(FindPicture, KnowsEachFormatBySignature) {
  const struct {
    std::vector<std::byte> bytes;
    PictureFormat format;
  } cases[] = {
      {PictureBytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}), PictureFormat::kPng},
      {PictureBytes({0xFF, 0xD8, 0xFF, 0xE0}), PictureFormat::kJpeg},
      {PictureBytes({'G', 'I', 'F', '8', '7', 'a'}), PictureFormat::kGif},
      {PictureBytes({'G', 'I', 'F', '8', '9', 'a'}), PictureFormat::kGif},
      {Bmp(20, 20), PictureFormat::kBmp},
      // Bytes that only start like one.
      {Bmp(21, 20), PictureFormat::kNone},
      {Bmp(4, 20), PictureFormat::kNone},
      {PictureBytes({'B', 'M', 1}), PictureFormat::kNone},
      {PictureBytes({0x89, 'P', 'N', 'G'}), PictureFormat::kNone},
      {PictureBytes({'G', 'I', 'F', '8', '8', 'a'}), PictureFormat::kNone},
      {PictureBytes({}), PictureFormat::kNone},
  };
  for (const auto& c : cases) {
    const PictureSpan found = FindPicture(c.bytes);
    EXPECT_EQ(found.format, c.format) << c.bytes.size();
    EXPECT_EQ(found.offset, 0u);
  }
}

TEST(FindPicture, FindsTheBmpBehindAnOleHeader) {
  // The header as Northwind's Categories.Picture begins, the BMP at 78.
  std::vector<std::byte> value = PictureBytes({0x15, 0x1C, 0x2F, 0x00, 0x02, 0x00}, 78);
  const std::vector<std::byte> bmp = Bmp(40, 40);
  value.insert(value.end(), bmp.begin(), bmp.end());
  PictureSpan found = FindPicture(value);
  EXPECT_EQ(found.format, PictureFormat::kBmp);
  EXPECT_EQ(found.offset, 78u);
  // Cut anywhere inside the BMP, the bytes are no picture any more.
  for (size_t n = 0; n < value.size(); ++n) {
    const std::vector<std::byte> cut(value.begin(), value.begin() + n);
    EXPECT_EQ(FindPicture(cut).format, PictureFormat::kNone) << n;
  }
  // Without the OLE signature the BMP inside is not looked for.
  value[0] = std::byte{0};
  EXPECT_EQ(FindPicture(value).format, PictureFormat::kNone);
}

TEST(PictureLabel, BytesBelowOneKilobyteThenKilobytesRoundedUp) {
  EXPECT_EQ(PictureLabel(1023), "(image, 1023 bytes)");
  EXPECT_EQ(PictureLabel(1024), "(image, 1 KB)");
  EXPECT_EQ(PictureLabel(21 * 1024 + 1), "(image, 22 KB)");
}

}  // namespace
}  // namespace mendora
