// Names as they go into a statement the user may run as shown: a regular
// identifier stands as it is, any other name (blanks, punctuation, a leading
// digit, a reserved word) is put in brackets with each "]" doubled.
#pragma once

#include <string>
#include <string_view>

namespace mendora {

// Whether `name` may stand in a statement without brackets: a letter, "_" or
// a character beyond ASCII first; then letters, digits, "_", "@", "#", "$"
// and characters beyond ASCII; and not a reserved word (in any case).
bool IsRegularIdentifier(std::u16string_view name);

// `name` itself when it is a regular identifier, else "[" + name + "]".
std::u16string QuoteName(std::u16string_view name);

}  // namespace mendora
