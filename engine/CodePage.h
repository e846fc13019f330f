// Windows-1252, the single-byte code page of the data files' char, varchar and
// text values and of everything the export writes. Both directions are
// table-driven. The five bytes the code page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 control with the same number, as Windows
// does, so they survive a round trip; characters the code page cannot hold
// become '?'.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace mendora {

char16_t CodePageToUnicode(unsigned char byte);
// '?' for a character outside the code page.
unsigned char UnicodeToCodePage(char16_t unit);

std::u16string FromCodePage(std::span<const std::byte> bytes);
void AppendFromCodePage(std::span<const std::byte> bytes, std::u16string& out);
std::u16string FromCodePage(std::string_view bytes);
// Surrogate pairs become one '?'.
std::string ToCodePage(std::u16string_view text);

}  // namespace mendora
