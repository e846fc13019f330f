// The text a grid cell shows for one typed value of a table column. It is the
// value's own text in the forms the grid has always used, so that a value
// reads the same here as in the other views of the row:
//
//   NULL                  "NULL" (and nothing else says "NULL")
//   varbinary             "VarBinaryData"      timestamp  "BINARY - DATA"
//   xml                   "XML-DATA"           bit        " 0" or " 1"
//   tinyint ... bigint    decimal              decimal, numeric  every digit
//   money, smallmoney     four decimals        real       "%f" (six decimals)
//   float                 a whole number within the 32-bit range as an
//                         integer, 0 as "0", anything else "%f"
//   datetime              "MM/DD/YYYY h:mm:ss", and ".mmm" when the value has
//                         a fraction of a second
//   smalldatetime         "MM/DD/YYYY h:mm:ss"
//   date, time, datetime2 ISO 8601 with the column's fraction digits
//   datetimeoffset        as datetime2, then " +hh:mm"
//   uniqueidentifier      8-4-4-4-12 upper-case hexadecimal
//   binary                two upper-case hexadecimal digits per byte
//   image                 a picture (Picture.h) "(image, 21 KB)"; other
//                         bytes "0x" and the first kImageCellBytes in hex,
//                         then "…"
//   char ... ntext        the text; nchar and nvarchar with U+2019 as an
//                         apostrophe; at most kMaxCellText units, then "…"
//   sql_variant           its base value, as a column of the base type
//   unreadable            "<unreadable: why>"
#pragma once

#include <string>

#include "engine/CatalogueRecords.h"
#include "engine/Value.h"

namespace mendora {

// How much of a long text a cell shows before "…".
inline constexpr size_t kMaxCellText = 4000;
// How many bytes of an image that is no picture a cell shows.
inline constexpr size_t kImageCellBytes = 16;

void AppendGridText(const Value& value, const _SYSCOLUMNS& column, std::u16string& out);
std::u16string GridText(const Value& value, const _SYSCOLUMNS& column);

}  // namespace mendora
