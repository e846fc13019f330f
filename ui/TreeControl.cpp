#include "ui/TreeControl.h"

#include <algorithm>

namespace ui {

char16_t FoldLabelCase(char16_t c) {
  if (c < 0x80) return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return char16_t(c + 32);  // Latin-1, not the sign ×
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A pairs capital and small letters; the pairing flips
    // parity at U+0139 and again at U+014A. A few letters have no pair.
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (c == 0x178) return 0xFF;  // Ÿ
    bool capitalIsEven = (c < 0x139) || (c >= 0x14A && c < 0x179);
    bool isCapital = capitalIsEven ? (c % 2 == 0) : (c % 2 == 1);
    return isCapital ? char16_t(c + 1) : c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return char16_t(c + 32);  // Greek capitals
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return char16_t(c + 37);
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return char16_t(c + 63);
  if (c >= 0x410 && c <= 0x42F) return char16_t(c + 32);  // Cyrillic capitals
  if (c >= 0x400 && c <= 0x40F) return char16_t(c + 80);
  return c;
}

namespace {

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// The run of digits starting at `at`, without its leading zeros.
std::u16string_view DigitRun(std::u16string_view text, size_t& at) {
  while (at < text.size() && text[at] == u'0' && at + 1 < text.size() && IsDigit(text[at + 1])) {
    ++at;
  }
  const size_t from = at;
  while (at < text.size() && IsDigit(text[at])) ++at;
  return text.substr(from, at - from);
}

}  // namespace

bool LabelLess(std::u16string_view a, std::u16string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      // Numbers by their value: Table_2 before Table_10.
      const std::u16string_view x = DigitRun(a, i);
      const std::u16string_view y = DigitRun(b, j);
      if (x.size() != y.size()) return x.size() < y.size();
      if (x != y) return x < y;
      continue;
    }
    const char16_t x = FoldLabelCase(a[i++]);
    const char16_t y = FoldLabelCase(b[j++]);
    if (x != y) return x < y;
  }
  return a.size() - i < b.size() - j;
}

}  // namespace ui
