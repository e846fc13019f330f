#include "engine/CodePage.h"

#include <array>
#include <cstdint>

namespace mendora {
namespace {

// 0x80..0x9F; everything else in the code page is the Latin-1 code point.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
};

}  // namespace

char16_t CodePageToUnicode(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHigh[byte - 0x80];
  return byte;
}

unsigned char UnicodeToCodePage(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<unsigned char>(unit);
  for (size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == unit) return static_cast<unsigned char>(0x80 + i);
  }
  return '?';
}

void AppendFromCodePage(std::span<const std::byte> bytes, std::u16string& out) {
  const size_t at = out.size();
  out.resize(at + bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    out[at + i] = CodePageToUnicode(static_cast<unsigned char>(bytes[i]));
  }
}

std::u16string FromCodePage(std::span<const std::byte> bytes) {
  std::u16string out;
  AppendFromCodePage(bytes, out);
  return out;
}

std::u16string FromCodePage(std::string_view bytes) {
  return FromCodePage(std::as_bytes(std::span(bytes.data(), bytes.size())));
}

std::string ToCodePage(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;
      out.push_back('?');
      continue;
    }
    out.push_back(static_cast<char>(UnicodeToCodePage(u)));
  }
  return out;
}

}  // namespace mendora
