// Windows-1252 in both directions, and UTF-16 <-> UTF-8.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "engine/CodePage.h"
#include "engine/Utf16.h"

using namespace mendora;

namespace {

// 0x80..0x9F of Windows-1252 as published by the Unicode Consortium
// (MAPPINGS/VENDORS/MICSFT/WINDOWS/CP1252.TXT); 0 marks the five undefined bytes.
// clang-format off
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98
};
// clang-format on

std::string Str(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

// Each unit of `text` into Windows-1252.
std::string ToCodePage(std::u16string_view text) {
  std::string out;
  for (char16_t u : text) out.push_back(static_cast<char>(UnicodeToCodePage(u)));
  return out;
}

}  // namespace

TEST(CodePageTest, EveryByteFromEightyToNinetyFiveMapsAsWindowsDoes) {
  for (unsigned b = 0x80; b <= 0x9F; ++b) {
    char16_t expected = kWindows1252High[b - 0x80];
    if (expected == 0) expected = static_cast<char16_t>(b);  // undefined: the C1 control
    EXPECT_EQ(CodePageToUnicode(static_cast<unsigned char>(b)), expected) << std::hex << b;
    EXPECT_EQ(UnicodeToCodePage(expected), b) << std::hex << b;
  }
}

TEST(CodePageTest, TheUndefinedBytesSurviveARoundTrip) {
  for (unsigned b : {0x81u, 0x8Du, 0x8Fu, 0x90u, 0x9Du}) {
    EXPECT_EQ(CodePageToUnicode(static_cast<unsigned char>(b)), static_cast<char16_t>(b));
    EXPECT_EQ(UnicodeToCodePage(static_cast<char16_t>(b)), b);
  }
  // "München" as pubs stores it natively, with the undefined byte 0x81.
  std::string stored = Str({'M', 0x81, 'n', 'c', 'h', 'e', 'n'});
  std::u16string text = FromCodePage(stored);
  EXPECT_EQ(text, u"M\u0081nchen");
  EXPECT_EQ(ToCodePage(text), stored);
}

TEST(CodePageTest, EveryByteRoundTripsAndTheRestIsLatin1) {
  for (unsigned b = 0; b < 256; ++b) {
    char16_t u = CodePageToUnicode(static_cast<unsigned char>(b));
    if (b < 0x80 || b >= 0xA0) {
      EXPECT_EQ(u, static_cast<char16_t>(b)) << b;
    }
    EXPECT_EQ(UnicodeToCodePage(u), b) << b;
  }
  std::string all;
  for (unsigned b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(ToCodePage(FromCodePage(all)), all);
  auto span = std::as_bytes(std::span(all.data(), all.size()));
  EXPECT_EQ(FromCodePage(span), FromCodePage(all));
}

TEST(CodePageTest, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  // C1 controls whose bytes Windows-1252 gives to other characters, Latin
  // Extended, Greek, CJK, the replacement character, a euro-like neighbour.
  for (char16_t u :
       {char16_t{0x0080}, char16_t{0x0085}, char16_t{0x009F}, char16_t{0x0100}, char16_t{0x03A9},
        char16_t{0x4E2D}, char16_t{0xFFFD}, char16_t{0x20AD}, char16_t{0x2015}}) {
    EXPECT_EQ(UnicodeToCodePage(u), '?') << std::hex << int(u);
  }
  EXPECT_EQ(ToCodePage(u"\u6703\u54E1 caf\u00E9 \u20AC5"),
            Str({'?', '?', ' ', 'c', 'a', 'f', 0xE9, ' ', 0x80, '5'}));
}

TEST(Utf8Test, EncodesOneToFourBytes) {
  EXPECT_EQ(ToUtf8(u"A"), "A");
  EXPECT_EQ(ToUtf8(u"\u00E9"), Str({0xC3, 0xA9}));
  EXPECT_EQ(ToUtf8(u"\u07FF"), Str({0xDF, 0xBF}));
  EXPECT_EQ(ToUtf8(u"\u0800"), Str({0xE0, 0xA0, 0x80}));
  EXPECT_EQ(ToUtf8(u"\u20AC"), Str({0xE2, 0x82, 0xAC}));
  EXPECT_EQ(ToUtf8(u"\u6703\u54E1"), Str({0xE6, 0x9C, 0x83, 0xE5, 0x93, 0xA1}));  // 會員
  EXPECT_EQ(ToUtf8(u"\uFFFF"), Str({0xEF, 0xBF, 0xBF}));
  EXPECT_EQ(ToUtf8(u"\U0001F600"), Str({0xF0, 0x9F, 0x98, 0x80}));
  EXPECT_EQ(ToUtf8(u"\U00010000"), Str({0xF0, 0x90, 0x80, 0x80}));
  EXPECT_EQ(ToUtf8(u"\U0010FFFF"), Str({0xF4, 0x8F, 0xBF, 0xBF}));
  EXPECT_EQ(ToUtf8(std::u16string(1, u'\0')), std::string(1, '\0'));
}

TEST(Utf8Test, LoneSurrogatesBecomeTheReplacementCharacter) {
  const std::string replacement = Str({0xEF, 0xBF, 0xBD});
  EXPECT_EQ(ToUtf8(std::u16string{char16_t{0xD800}}), replacement);
  EXPECT_EQ(ToUtf8(std::u16string{char16_t{0xDC00}, u'x'}), replacement + "x");
  EXPECT_EQ(ToUtf8(std::u16string{char16_t{0xD800}, char16_t{0xD800}, char16_t{0xDC00}}),
            replacement + Str({0xF0, 0x90, 0x80, 0x80}));
}

TEST(Utf8Test, DecodesToSurrogatePairs) {
  EXPECT_EQ(FromUtf8(Str({0xF0, 0x9F, 0x98, 0x80})), u"\U0001F600");
  std::u16string pair = FromUtf8(Str({0xF0, 0x9F, 0x98, 0x80}));
  ASSERT_EQ(pair.size(), 2u);
  EXPECT_EQ(pair[0], 0xD83D);
  EXPECT_EQ(pair[1], 0xDE00);
  EXPECT_EQ(FromUtf8(Str({0xE6, 0x9C, 0x83, 0xE5, 0x93, 0xA1})), u"\u6703\u54E1");
  EXPECT_EQ(FromUtf8("caf\xC3\xA9"), u"caf\u00E9");
}

TEST(Utf8Test, EveryCodePointRoundTrips) {
  for (uint32_t cp = 0; cp <= 0x10FFFF; cp += (cp < 0x10000 ? 1 : 97)) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::u16string text;
    if (cp < 0x10000) {
      text.push_back(static_cast<char16_t>(cp));
    } else {
      text.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
    ASSERT_EQ(FromUtf8(ToUtf8(text)), text) << std::hex << cp;
  }
}

TEST(Utf8Test, BrokenSequencesBecomeReplacementCharactersAndDecodingGoesOn) {
  EXPECT_EQ(FromUtf8(Str({'a', 0x80, 'b'})), u"a\uFFFDb") << "a stray continuation byte";
  EXPECT_EQ(FromUtf8(Str({'a', 0xC3, 'b'})), u"a\uFFFDb") << "a lead byte without its tail";
  EXPECT_EQ(FromUtf8(Str({'a', 0xFF, 'b'})), u"a\uFFFDb") << "a byte UTF-8 never uses";
  std::u16string cut = FromUtf8(Str({'a', 0xE2, 0x82}));
  ASSERT_FALSE(cut.empty());
  EXPECT_EQ(cut[0], u'a');
  EXPECT_NE(cut.find(u'\uFFFD'), std::u16string::npos) << "a sequence cut by the end";
  EXPECT_EQ(FromUtf8(Str({0xF4, 0x90, 0x80, 0x80})), u"\uFFFD") << "past U+10FFFF";
}

// Overlong forms and encoded surrogates are not UTF-8 (RFC 3629, section 3).
// Taking them as characters lets "\xC0\xAE\xC0\xAE\xC0\xAF" read as "../"
// in a file name, which is how UTF-8 decoders have been used to leave folders.
TEST(Utf8Test, OverlongFormsAndEncodedSurrogatesAreNotCharacters) {
  EXPECT_EQ(FromUtf8(Str({0xC0, 0xAF})).find(u'/'), std::u16string::npos)
      << "overlong '/' in two bytes";
  EXPECT_EQ(FromUtf8(Str({0xC0, 0xAE, 0xC0, 0xAE, 0xC0, 0xAF})).find(u"../"), std::u16string::npos);
  EXPECT_EQ(FromUtf8(Str({0xE0, 0x80, 0xAF})).find(u'/'), std::u16string::npos)
      << "overlong '/' in three bytes";
  EXPECT_EQ(FromUtf8(Str({0xF0, 0x80, 0x80, 0xAF})).find(u'/'), std::u16string::npos)
      << "overlong '/' in four bytes";
  std::u16string surrogate = FromUtf8(Str({0xED, 0xA0, 0x80}));
  for (char16_t u : surrogate) {
    EXPECT_FALSE(u >= 0xD800 && u <= 0xDFFF) << "an encoded surrogate decoded as a lone surrogate";
  }
}

// Text is taken in blocks of eight or sixteen while it is ASCII: a character
// that is not, anywhere in a text of any length, ends the block where it
// stands and the rest reads as before.
TEST(CodePageTest, ACharacterOutsideAsciiIsFoundWhereverItStands) {
  for (size_t length = 1; length <= 40; ++length) {
    for (size_t at = 0; at < length; ++at) {
      SCOPED_TRACE(std::to_string(length) + " characters, the one at " + std::to_string(at));
      std::string bytes(length, 'q');
      bytes[at] = '\x80';
      std::u16string text(length, u'q');
      text[at] = u'\u20AC';
      EXPECT_EQ(FromCodePage(bytes), text);
      EXPECT_EQ(AsciiLength(text), at);
      std::string narrow(length, '\0');
      EXPECT_EQ(NarrowAscii(text, narrow.data()), at);
      EXPECT_EQ(narrow.substr(0, at), bytes.substr(0, at));
      std::string utf8(length - 1, 'q');
      utf8.insert(at, "\xE2\x82\xAC");
      EXPECT_EQ(ToUtf8(text), utf8);
      EXPECT_EQ(FromUtf8(utf8), text);
    }
  }
}
