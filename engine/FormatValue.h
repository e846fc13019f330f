// The one routine that turns the stored bytes of one column value into the
// text the data grid shows and the data script writes between the commas of
// a Values( list. It knows nothing of rows or pages: the caller has already
// cut the value out of its record, decided that it is not NULL, and handles
// text, image, xml and the other large types itself.
//
// Texts by type (type code in decimal):
//
//   48 tinyint, 52 smallint, 56 int, 127 bigint   the value in decimal
//   104 bit             "FALSE" for the bytes 0, 2 and 9, "TRUE" for any other
//   59 real             "%f" (six decimals, no exponent)
//   62 float            working length 4: as real; 8: a whole number within
//                       the 32-bit range as an integer ("3", "-12"), 0 as "0",
//                       anything else with "%f"; other lengths: empty
//   60 money            stored int64 / 10 000 with four decimals ("-5.0000")
//   122 smallmoney      stored int32 / 10 000 with four decimals
//   61 datetime         "MM/DD/YYYY h:mm:ss", fractions of a second dropped
//   58 smalldatetime    the same form from u16 minutes and u16 days
//   40 date             "YYYY-MM-DD"
//   41 time(n)          "hh:mm:ss" and, for n > 0, "." and exactly n digits
//   42 datetime2(n)     "YYYY-MM-DD hh:mm:ss[.n digits]"
//   43 datetimeoffset   the local date and time as datetime2, then " +hh:mm"
//   106, 108 decimal    digits with "." before the last `scale` digits,
//                       zero-padded ("0.05"), "-" when the sign byte is 0
//   36 uniqueidentifier 8-4-4-4-12 upper-case hexadecimal in the GUID order
//   167 varchar         the value bytes through the code page
//   175 char            the working-length bytes through the code page
//   231, 239 nvarchar, nchar   UTF-16 units, U+2019 replaced by an apostrophe
//   173 binary          two upper-case hexadecimal digits per working-length byte
//   any other           empty text
//
// The working length is the column's declared length, except for char values
// of a 2000 variable-length column (negative xoffset) and the varying
// character types, which use the value length. The routine never reads past
// the bytes it is given: a value shorter than its type needs gives the text
// of the bytes present (character and binary types) or empty text.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "engine/CatalogueRecords.h"

namespace mendora {

std::u16string FormatValue(std::span<const std::byte> value, const _SYSCOLUMNS& column);

}  // namespace mendora
