// A 128-bit two's-complement integer for the magnitudes of decimal and
// numeric values, which reach 10^38 - 1 and so do not fit any native type
// that every compiler of the program offers.
//
// The value is held as eight 16-bit digits, least significant first, and all
// arithmetic goes through 32-bit intermediates. Only what the value text of a
// decimal needs is offered: building from the stored magnitude bytes, the
// tests against zero and the sign, and conversion to decimal digits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace mendora {

class CLongInt {
 public:
  static constexpr size_t kBytes = 16;

  // Zero.
  CLongInt() = default;

  // The value whose little-endian bytes are `magnitude` (at most 16 of them;
  // missing high bytes are zero). More than 16 bytes give nothing: the value
  // would not fit.
  static std::optional<CLongInt> FromMagnitude(std::span<const std::byte> magnitude);

  bool IsZero() const;
  // The top bit set: the value is below zero.
  bool IsNegative() const;

  // The digits of the value read as unsigned, in base 10 without leading
  // zeros ("0" for zero), appended to `out`.
  void AppendUnsignedDigits(std::string& out) const;

 private:
  std::array<uint16_t, 8> digits_{};
};

}  // namespace mendora
