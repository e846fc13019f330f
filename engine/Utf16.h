// The engine's texts are UTF-16, as the data files store names and Unicode
// values. These are the one place where they are made from stored bytes, from
// ASCII and from UTF-8, and turned into UTF-8 for terminals and file names.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace mendora {

// Little-endian UTF-16 code units as stored; an odd last byte is half a unit
// and is left out. Surrogates are kept as they stand.
std::u16string Utf16FromBytes(std::span<const std::byte> bytes);
void AppendUtf16FromBytes(std::span<const std::byte> bytes, std::u16string& out);

// ASCII text (the program's own texts, numbers) as UTF-16.
std::u16string WidenAscii(std::string_view ascii);
void AppendAscii(std::u16string& out, std::string_view ascii);
// How many characters at the front of `text` are ASCII.
size_t AsciiLength(std::u16string_view text);
// The ASCII characters at the front of `text` written to `out` as bytes, up
// to the first that is not ASCII: how many were.
size_t NarrowAscii(std::u16string_view text, char* out);

// UTF-16 to UTF-8 and back. A lone surrogate becomes U+FFFD; so do malformed,
// overlong and surrogate-encoding UTF-8 sequences.
std::string ToUtf8(std::u16string_view text);
// UTF-8 for one line of output: control characters (below U+0020, and DEL)
// written as \n, \r, \t or \xHH, and a backslash as \\, so a name can
// neither break a line nor pass as another.
std::string ToPrintableUtf8(std::u16string_view text);
void AppendUtf8(std::u16string_view text, std::string& out);
// The same into room of three bytes a unit at `out`; the end of what was written.
char* WriteUtf8(std::u16string_view text, char* out);
std::u16string FromUtf8(std::string_view text);

}  // namespace mendora
