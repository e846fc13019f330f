#include "engine/CodePage.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mendora {
namespace {

// 0x80..0x9F; everything else in the code page is the Latin-1 code point.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
};

constexpr char16_t kReplacement = 0xFFFD;

// One open converter per code page and thread: iconv descriptors keep state
// and must not be shared between threads.
class Converters {
 public:
  ~Converters() {
    for (auto& c : open_) {
      if (c.cd != kNone) iconv_close(c.cd);
    }
  }
  // kNone when the system cannot convert from the code page.
  iconv_t For(uint16_t codePage) {
    for (auto& c : open_) {
      if (c.codePage == codePage) return c.cd;
    }
    const std::string name = codePage == 65001 ? "UTF-8" : "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-16LE", name.c_str());
    open_.push_back({codePage, cd});
    return cd;
  }
  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

 private:
  struct Open {
    uint16_t codePage;
    iconv_t cd;
  };
  std::vector<Open> open_;
};

bool AllAscii(std::span<const std::byte> bytes) {
  for (std::byte b : bytes) {
    if (static_cast<unsigned char>(b) >= 0x80) return false;
  }
  return true;
}

// Converts through iconv, a U+FFFD for every byte it refuses and for a
// sequence cut short at the end.
bool AppendThroughIconv(iconv_t cd, std::span<const std::byte> bytes, std::u16string& out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  bool clean = true;
  char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
  size_t inLeft = bytes.size();
  std::array<char16_t, 512> chunk;
  for (;;) {
    char* to = reinterpret_cast<char*>(chunk.data());
    size_t toLeft = sizeof(chunk);
    const size_t done =
        inLeft ? iconv(cd, &in, &inLeft, &to, &toLeft) : iconv(cd, nullptr, nullptr, &to, &toLeft);
    const int error = done == static_cast<size_t>(-1) ? errno : 0;
    out.append(chunk.data(), (sizeof(chunk) - toLeft) / sizeof(char16_t));
    if (error == E2BIG) continue;
    if (error == EILSEQ && inLeft > 0) {
      out.push_back(kReplacement);
      clean = false;
      ++in;
      --inLeft;
      continue;
    }
    if (error != 0) {  // EINVAL: the bytes end inside a sequence
      out.push_back(kReplacement);
      clean = false;
      inLeft = 0;
    }
    if (inLeft == 0 && error == 0) {
      // The flush: a converter holding a character back gives it now.
      char* flushTo = reinterpret_cast<char*>(chunk.data());
      size_t flushLeft = sizeof(chunk);
      iconv(cd, nullptr, nullptr, &flushTo, &flushLeft);
      out.append(chunk.data(), (sizeof(chunk) - flushLeft) / sizeof(char16_t));
      return clean;
    }
    if (inLeft == 0) return clean;
  }
}

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
  char16_t* to = out.data() + at;
  size_t i = 0;
#if defined(__SSE2__)
  // Sixteen at a time while they are ASCII, which stands for itself.
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= bytes.size(); i += 16) {
    const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
    if (_mm_movemask_epi8(sixteen) != 0) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_unpacklo_epi8(sixteen, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 8), _mm_unpackhi_epi8(sixteen, zero));
  }
#endif
  for (; i < bytes.size(); ++i) to[i] = CodePageToUnicode(static_cast<unsigned char>(bytes[i]));
}

bool AppendFromCodePage(std::span<const std::byte> bytes, uint16_t codePage, std::u16string& out) {
  if (codePage == 1252 || AllAscii(bytes)) {
    AppendFromCodePage(bytes, out);
    return true;
  }
  thread_local Converters converters;
  iconv_t cd = converters.For(codePage);
  if (cd == Converters::kNone) {
    AppendFromCodePage(bytes, out);
    return false;
  }
  return AppendThroughIconv(cd, bytes, out);
}

bool IsKnownCodePage(uint16_t codePage) {
  switch (codePage) {
    case 437:
    case 850:
    case 874:
    case 932:
    case 936:
    case 949:
    case 950:
    case 65001:
      return true;
    default:
      return codePage >= 1250 && codePage <= 1258;
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

}  // namespace mendora
