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
//   strings           the text as UTF-8       xml           the XML text; when
//                                                           it was not decoded, 0x
//                                                           and the stored bytes in hex
//   unreadable        <unreadable: why>       NULL          empty
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/Value.h"

namespace mendora {

void AppendExactText(const Value& value, std::string& out);
std::string ExactText(const Value& value);

// Whether the exact text is a number a JSON reader takes as it stands: the
// integers, bit, real and float (decimal and money stay strings to keep every
// digit). Infinite and NaN floats are not.
bool IsJsonNumber(const Value& value);

// The pieces of the exact text that the other renderers of a value (the SQL
// literals among them) write the same way. All are ASCII.
//   AppendIsoDate     YYYY-MM-DD of a day count from 0001-01-01
//   AppendIsoTime     hh:mm:ss, then "." and `scale` digits when scale > 0
//   AppendUtcOffset   +hh:mm or -hh:mm
//   AppendMoneyText   ten-thousandths as a number with four decimals
//   AppendGuidText    upper-case 8-4-4-4-12 of the 16 stored bytes (the
//                     first three groups stored little-endian); nothing when
//                     there are not 16
//   AppendHexBytes    two upper-case hexadecimal digits per byte
void AppendIsoDate(std::string& out, int64_t days);
void AppendIsoTime(std::string& out, int64_t units, int scale);
void AppendUtcOffset(std::string& out, int offsetMinutes);
void AppendMoneyText(std::string& out, int64_t tenThousandths);
void AppendGuidText(std::string& out, std::span<const std::byte> stored);
void AppendHexBytes(std::string& out, std::span<const std::byte> bytes);
void AppendHexBytes(std::u16string& out, std::span<const std::byte> bytes);

}  // namespace mendora
