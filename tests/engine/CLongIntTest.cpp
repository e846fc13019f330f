#include <gtest/gtest.h>

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/CLongInt.h"

namespace mendora {
namespace {

std::vector<std::byte> Le(std::initializer_list<int> bytes) {
  std::vector<std::byte> out;
  for (int b : bytes) out.push_back(static_cast<std::byte>(b));
  return out;
}

std::string DecimalOf(std::initializer_list<int> bytes) {
  const auto value = CLongInt::FromMagnitude(Le(bytes));
  if (!value) return "<none>";
  std::string digits;
  value->AppendUnsignedDigits(digits);
  return digits;
}

TEST(CLongIntBuild, LittleEndianBytesOfAnyLengthUpToSixteen) {
  EXPECT_EQ(DecimalOf({}), "0");
  EXPECT_EQ(DecimalOf({0x39, 0x30}), "12345");
  EXPECT_EQ(DecimalOf({0x87, 0xD6, 0x12}), "1234567");
  // An odd byte count fills the low half of the last digit only.
  EXPECT_EQ(DecimalOf({0x00, 0x00, 0x01}), "65536");
  EXPECT_EQ(DecimalOf({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), "18446744073709551615");
}

TEST(CLongIntBuild, MoreThanSixteenBytesDoNotFit) {
  EXPECT_FALSE(CLongInt::FromMagnitude(std::vector<std::byte>(17)).has_value());
  EXPECT_TRUE(CLongInt::FromMagnitude(std::vector<std::byte>(16)).has_value());
}

TEST(CLongIntDigits, LargestDecimalMagnitudeIsThirtyEightNines) {
  // 10^38 - 1 = 0x4B3B4CA85A86C47A098A223FFFFFFFFF
  EXPECT_EQ(DecimalOf({0xFF, 0xFF, 0xFF, 0xFF, 0x3F, 0x22, 0x8A, 0x09, 0x7A, 0xC4, 0x86, 0x5A, 0xA8,
                       0x4C, 0x3B, 0x4B}),
            std::string(38, '9'));
}

TEST(CLongIntDigits, ChunkBoundariesKeepTheirInnerZeros) {
  // 10 000 and 100 000 000 end exactly on the 4-digit chunks of the conversion.
  EXPECT_EQ(DecimalOf({0x10, 0x27}), "10000");
  EXPECT_EQ(DecimalOf({0x00, 0xE1, 0xF5, 0x05}), "100000000");
  EXPECT_EQ(DecimalOf({0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}),
            "18446744073709551617");
}

TEST(CLongIntSign, OnlyTheTopBitMakesANegative) {
  std::vector<std::byte> smallest(16, std::byte{0});
  smallest[15] = std::byte{0x80};
  const auto min = CLongInt::FromMagnitude(smallest);
  ASSERT_TRUE(min);
  EXPECT_TRUE(min->IsNegative());

  std::vector<std::byte> largest(16, std::byte{0xFF});
  largest[15] = std::byte{0x7F};
  const auto max = CLongInt::FromMagnitude(largest);
  ASSERT_TRUE(max);
  EXPECT_FALSE(max->IsNegative());
  EXPECT_EQ(DecimalOf({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                       0xFF, 0xFF, 0x7F}),
            "170141183460469231731687303715884105727");
}

TEST(CLongIntSign, ZeroIsZero) {
  const CLongInt zero;
  EXPECT_TRUE(zero.IsZero());
  EXPECT_FALSE(zero.IsNegative());
  EXPECT_EQ(DecimalOf({}), "0");
  const auto notZero =
      CLongInt::FromMagnitude(Le({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  ASSERT_TRUE(notZero);
  EXPECT_FALSE(notZero->IsZero());
}

}  // namespace
}  // namespace mendora
