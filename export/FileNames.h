// File names made from object and database names. A name from a data file
// may hold anything: separators, "..", control characters, a device name, a
// thousand characters. What the save writes must stay inside its folder,
// open on Windows and on Linux, and be named the same in the batch files,
// which the command interpreter reads byte by byte in its own code page.
#pragma once

#include <string>
#include <string_view>

namespace mendora {

// `stem` + `suffix` as a file name: the stem with every character outside
// printable ASCII, every character a Windows or Linux file name cannot hold
// (\ / : * ? " < > |) and every character the command interpreter would
// take for its own (% & ^ !) made "_"; a stem that would end the whole name
// with a dot or a blank, or whose part before the first dot is a Windows
// device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9), gets "_" added; a stem
// longer than kMaxFileStem is cut. A name with nothing of these is returned
// as it is. `suffix` is the program's own ("_Create.sql", ".sql").
std::u16string SafeFileName(std::u16string_view stem, std::u16string_view suffix);

inline constexpr size_t kMaxFileStem = 180;

}  // namespace mendora
