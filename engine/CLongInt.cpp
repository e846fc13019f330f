#include "engine/CLongInt.h"

#include <algorithm>

namespace mendora {

std::optional<CLongInt> CLongInt::FromMagnitude(std::span<const std::byte> magnitude) {
  if (magnitude.size() > kBytes) return std::nullopt;
  CLongInt value;
  for (size_t i = 0; i < magnitude.size(); ++i) {
    const auto byte = static_cast<uint16_t>(static_cast<uint8_t>(magnitude[i]));
    value.digits_[i / 2] |= static_cast<uint16_t>(byte << (8 * (i % 2)));
  }
  return value;
}

bool CLongInt::IsZero() const {
  return std::all_of(digits_.begin(), digits_.end(), [](uint16_t d) { return d == 0; });
}

bool CLongInt::IsNegative() const {
  return (digits_.back() & 0x8000) != 0;
}

void CLongInt::AppendUnsignedDigits(std::string& out) const {
  // Repeated division by 10 000 from the most significant digit down; the
  // remainder stays below 10 000, so (remainder << 16 | digit) fits 32 bits.
  // 2^128 has 39 digits: ten groups of four hold every value.
  constexpr uint32_t kChunk = 10000;
  std::array<uint16_t, 8> work = digits_;
  std::array<char, 40> reversed{};
  size_t n = 0;
  bool nonZero = true;
  while (nonZero && n + 4 <= reversed.size()) {
    uint32_t remainder = 0;
    nonZero = false;
    for (size_t i = work.size(); i-- > 0;) {
      const uint32_t current = (remainder << 16) | work[i];
      work[i] = static_cast<uint16_t>(current / kChunk);
      remainder = current % kChunk;
      nonZero = nonZero || work[i] != 0;
    }
    for (int k = 0; k < 4; ++k) {
      reversed[n++] = static_cast<char>('0' + remainder % 10);
      remainder /= 10;
    }
  }
  while (n > 1 && reversed[n - 1] == '0') --n;
  while (n > 0) out.push_back(reversed[--n]);
}

}  // namespace mendora
