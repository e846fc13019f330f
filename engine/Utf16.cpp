#include "engine/Utf16.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mendora {

void AppendUtf16FromBytes(std::span<const std::byte> bytes, std::u16string& out) {
  const size_t at = out.size();
  const size_t units = bytes.size() / 2;
  out.resize(at + units);
  if constexpr (std::endian::native == std::endian::little) {
    if (units) std::memcpy(out.data() + at, bytes.data(), 2 * units);
    return;
  }
  for (size_t i = 0; i < units; ++i) {
    out[at + i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                        (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  }
}

std::u16string Utf16FromBytes(std::span<const std::byte> bytes) {
  std::u16string text;
  AppendUtf16FromBytes(bytes, text);
  return text;
}

std::string ToPrintableUtf8(std::u16string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : ToUtf8(text)) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (u < 0x20 || u == 0x7F) {
      out += "\\x";
      out += kHex[u >> 4];
      out += kHex[u & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

std::u16string WidenAscii(std::string_view ascii) {
  std::u16string out;
  AppendAscii(out, ascii);
  return out;
}

void AppendAscii(std::u16string& out, std::string_view ascii) {
  // Widened through a small block and appended whole: append(first, last)
  // from another character type makes a temporary string first, and
  // resize() clears what is then written over.
  char16_t wide[64];
  while (!ascii.empty()) {
    const size_t n = std::min(ascii.size(), std::size(wide));
    for (size_t i = 0; i < n; ++i) wide[i] = static_cast<unsigned char>(ascii[i]);
    out.append(wide, n);
    ascii.remove_prefix(n);
  }
}

#if defined(__SSE2__)
namespace {

// Whether the eight units at `units` are all ASCII, and the eight as they are.
bool EightAscii(const char16_t* units, __m128i& eight) {
  eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units));
  const __m128i high = _mm_and_si128(eight, _mm_set1_epi16(static_cast<short>(0xFF80)));
  return _mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) == 0xFFFF;
}

}  // namespace
#endif

size_t AsciiLength(std::u16string_view text) {
  size_t i = 0;
#if defined(__SSE2__)
  __m128i eight;
  while (i + 8 <= text.size() && EightAscii(text.data() + i, eight)) i += 8;
#endif
  while (i < text.size() && text[i] < 0x80) ++i;
  return i;
}

size_t NarrowAscii(std::u16string_view text, char* out) {
  const char16_t* units = text.data();
  size_t i = 0;
#if defined(__SSE2__)
  // Eight at a time: most text is ASCII.
  __m128i eight;
  for (; i + 8 <= text.size() && EightAscii(units + i, eight); i += 8) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(eight, eight));
  }
#endif
  for (; i < text.size() && units[i] < 0x80; ++i) out[i] = static_cast<char>(units[i]);
  return i;
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  AppendUtf8(text, out);
  return out;
}

void AppendUtf8(std::u16string_view text, std::string& out) {
  // Written into room made for the longest form, then cut to what was written.
  const size_t start = out.size();
  out.resize(start + text.size() * 3);
  char* end = WriteUtf8(text, out.data() + start);
  out.resize(static_cast<size_t>(end - out.data()));
}

char* WriteUtf8(std::u16string_view text, char* p) {
  // No check per byte: the room holds three bytes a unit.
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t ascii = NarrowAscii(text.substr(i), p);
    p += ascii;
    i += ascii;
    if (i >= text.size()) break;
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate
    }
    if (cp < 0x800) {
      *p++ = static_cast<char>(0xC0 | (cp >> 6));
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      *p++ = static_cast<char>(0xE0 | (cp >> 12));
      *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      // Two units make these four bytes: within the room of the two.
      *p++ = static_cast<char>(0xF0 | (cp >> 18));
      *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return p;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c >> 5) == 0x6) {
      len = 2;
    } else if ((c >> 4) == 0xE) {
      len = 3;
    } else if ((c >> 3) == 0x1E) {
      len = 4;
    }
    if (len > 1) {
      if (i + len > text.size()) {
        len = 1;
      } else {
        cp = c & (0x7F >> len);
        for (size_t k = 1; k < len; ++k) {
          auto cc = static_cast<unsigned char>(text[i + k]);
          if ((cc >> 6) != 0x2) {
            cp = 0xFFFD;
            len = k;
            break;
          }
          cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms (C0 AF for '/') and encoded surrogates are not
        // characters: taking them would let "../" hide in a name.
        static constexpr uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp != 0xFFFD && (cp < kShortest[len] || (cp >= 0xD800 && cp <= 0xDFFF))) cp = 0xFFFD;
      }
    }
    i += len;
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp > 0xFFFF ? 0xFFFD : cp));
    }
  }
  return out;
}

}  // namespace mendora
