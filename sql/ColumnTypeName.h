// A column's SQL type text, shared by the object tree's column labels and the
// Create Table script so that a column reads the same in both.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/CatalogueRecords.h"

namespace mendora {

// The type name for the column's system type code (xtype); a code the program
// does not know gives "no such datatype exist".
std::u16string ColumnTypeName(const _SYSCOLUMNS& column);

// The length that goes in parentheses after a character type: the stored length
// for varchar and char, half of it (characters, not bytes) for nvarchar and
// nchar, -1 for the (max) types, and 0 for every other type (no length part).
int DisplayLength(std::u16string_view typeName, int16_t length);

// The nullability word of the tree and the table script: status 0 or 2 is
// "Null", 1, 3 or 5 is "Not Null", anything else "Unknown".
std::u16string_view NullabilityWord(uint8_t status);

}  // namespace mendora
