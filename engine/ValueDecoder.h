// Decoding a column's stored bytes into a typed value. The caller has cut the
// value out of its row, followed it off the row where it was kept there, and
// found that it is not NULL.
//
// Stored forms (type code in decimal, all little-endian):
//   48, 52, 56, 127   tinyint (unsigned), smallint, int, bigint
//   104 bit           one byte, 0 or 1 (the row cutter takes the column's bit)
//   106, 108          sign byte (1 positive, 0 negative), then the magnitude
//   60, 122           money int64, smallmoney int32, in ten-thousandths
//   59, 62            IEEE single, double (float(n) of 4 bytes is single)
//   61 datetime       u32 ticks of 1/300 s since midnight, i32 days since 1900
//   58 smalldatetime  u16 minutes since midnight, u16 days since 1900
//   40 date           3 bytes of days since 0001-01-01
//   41, 42, 43        time of 3-5 bytes in 10^-scale s, then for datetime2 the
//                     date, for datetimeoffset the date and i16 offset minutes
//                     (date and time are UTC; the value is shown local)
//   36                16 GUID bytes
//   173, 165, 34, 189 binary, varbinary, image, timestamp: the bytes
//   175, 167, 35      char, varchar, text: single-byte code page
//   239, 231, 99      nchar, nvarchar, ntext: UTF-16
//   241 xml           binary XML, kept as bytes; XmlText decodes it to its
//                     text where it can be (engine/BinaryXml.h)
//   98 sql_variant    base type, version, the base type's properties, value
#pragma once

#include <cstddef>
#include <span>

#include "engine/CatalogueRecords.h"
#include "engine/Value.h"

namespace mendora {

// Fills `out` (reset first). A value whose bytes do not fit its type (too
// short, a scale beyond 7, a magnitude too wide) is kUnreadable with the
// reason, never read past its bytes.
void DecodeValue(std::span<const std::byte> stored, const _SYSCOLUMNS& column, Value& out);

}  // namespace mendora
