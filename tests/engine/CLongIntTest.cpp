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
  return value->ToDecimal();
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

TEST(CLongIntSign, TopBitSetPrintsNegative) {
  std::vector<std::byte> allOnes(16, std::byte{0xFF});
  const auto minusOne = CLongInt::FromMagnitude(allOnes);
  ASSERT_TRUE(minusOne);
  EXPECT_TRUE(minusOne->IsNegative());
  EXPECT_EQ(minusOne->ToDecimal(), "-1");

  std::vector<std::byte> smallest(16, std::byte{0});
  smallest[15] = std::byte{0x80};
  const auto min = CLongInt::FromMagnitude(smallest);
  ASSERT_TRUE(min);
  EXPECT_EQ(min->ToDecimal(), "-170141183460469231731687303715884105728");
  EXPECT_EQ(min->Negated(), *min);
}

TEST(CLongIntSign, LargestPositiveValue) {
  std::vector<std::byte> largest(16, std::byte{0xFF});
  largest[15] = std::byte{0x7F};
  const auto max = CLongInt::FromMagnitude(largest);
  ASSERT_TRUE(max);
  EXPECT_FALSE(max->IsNegative());
  EXPECT_EQ(max->ToDecimal(), "170141183460469231731687303715884105727");
}

TEST(CLongIntSign, NegationIsTwosComplement) {
  const auto one = CLongInt::FromMagnitude(Le({1}));
  ASSERT_TRUE(one);
  const CLongInt minusOne = one->Negated();
  EXPECT_TRUE(minusOne.IsNegative());
  EXPECT_EQ(minusOne.ToDecimal(), "-1");
  EXPECT_EQ(minusOne.Negated(), *one);

  // The carry must run through every digit: -65536 is FFFF..FFFF 0000.
  const auto big = CLongInt::FromMagnitude(Le({0x00, 0x00, 0x01}));
  ASSERT_TRUE(big);
  EXPECT_EQ(big->Negated().ToDecimal(), "-65536");
}

TEST(CLongIntSign, ZeroIsZeroEitherWay) {
  const CLongInt zero;
  EXPECT_TRUE(zero.IsZero());
  EXPECT_FALSE(zero.IsNegative());
  EXPECT_EQ(zero.Negated(), zero);
  EXPECT_EQ(zero.ToDecimal(), "0");
  const auto notZero =
      CLongInt::FromMagnitude(Le({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  ASSERT_TRUE(notZero);
  EXPECT_FALSE(notZero->IsZero());
}

}  // namespace
}  // namespace mendora
