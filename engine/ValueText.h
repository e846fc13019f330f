// The exact text of a typed value, as the command line writes it: nothing is
// rounded or cut, and the text reads back to the stored value.
//
//   integers          decimal                 bit        0 or 1
//   decimal, money    every digit ("-5.0000")  real, float the shortest text
//                                                         that reads back the same
//   datetime          1996-07-04 00:00:00.000 smalldatetime 2009-07-03 14:05:00
//   date, time, datetime2, datetimeoffset: ISO 8601 with the column's scale of
//                     fraction digits; datetimeoffset ends with +hh:mm
//   uniqueidentifier  upper-case 8-4-4-4-12   binary types  0x and upper-case hex
//   strings           the text as UTF-8       xml           0x and the stored
//                                                           binary XML in hex
//   unreadable        <unreadable: why>       NULL          empty
#pragma once

#include <string>

#include "engine/Value.h"

namespace mendora {

void AppendExactText(const Value& value, std::string& out);
std::string ExactText(const Value& value);

// Whether the exact text is a number a JSON reader takes as it stands: the
// integers, bit, real and float (decimal and money stay strings to keep every
// digit). Infinite and NaN floats are not.
bool IsJsonNumber(const Value& value);

}  // namespace mendora
