// The code pages of char, varchar and text values. Windows-1252, the code
// page of most files and of everything the export writes, is table-driven in
// both directions; every other code page is read through iconv. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control with the same number, as Windows
// does, so they survive a round trip; characters the code page cannot hold
// become '?'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace mendora {

char16_t CodePageToUnicode(unsigned char byte);
// '?' for a character outside the code page.
unsigned char UnicodeToCodePage(char16_t unit);

std::u16string FromCodePage(std::span<const std::byte> bytes);
// Appends the text of `bytes` stored in `codePage` (437, 850, 874, 932, 936,
// 949, 950, 1250-1258, 65001). A byte or sequence the code page does not
// define becomes U+FFFD and the answer is false; nothing is dropped. A code
// page the system cannot convert reads as 1252 and answers false.
bool AppendFromCodePage(std::span<const std::byte> bytes, uint16_t codePage, std::u16string& out);
// One of the code pages above.
bool IsKnownCodePage(uint16_t codePage);
void AppendFromCodePage(std::span<const std::byte> bytes, std::u16string& out);
std::u16string FromCodePage(std::string_view bytes);

}  // namespace mendora
