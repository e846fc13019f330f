// Whether a literal read back from a data script (SqlStatementReader.h) is
// the value the reference content of a real file (expected/*.json, notation
// in its README) gives for the same cell.
//
//   null                      NULL (a timestamp column: DEFAULT, whatever the cell)
//   integers                  the same whole number        bit  1 for true, 0 for false
//   "dec:", "money:"          the number written with exactly those digits
//   real, float               a number that reads back to the same single or double
//   "dt:", "date:", "time:",  a string of the text after the tag ('...', not N'...');
//   "dt2:", "dto:", "guid:"   "sdt:" with ":00" added for its seconds
//   "hex:0x..."               0x and the same bytes (a timestamp column: DEFAULT)
//   strings                   a string of the same characters, N'...' exactly for
//                             nchar, nvarchar and ntext and for text Windows-1252
//                             cannot hold
//   "<xml>"                   an N string (the XML text the reference does not
//                             decode), CONVERT(xml, <N string>, 1), or NULL (a
//                             value written with a warning)
//   {"variant", "value"}      CAST(literal AS type) whose type is the base type
//                             named, its literal compared as a value of that type
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/support/SqlStatementReader.h"

namespace mdftest {

// Empty when `literal`, read back from a column of type `xtype`, is the
// reference `cell`; else what differs.
std::string CompareWithReference(const ParsedLiteral& literal, uint8_t xtype,
                                 const nlohmann::json& cell);

// The type code of a type name as the reference writes it ("nvarchar"); 0
// when unknown.
uint8_t XTypeOfName(const std::string& name);

}  // namespace mdftest
