// The SQL literal of one typed value, as a data script writes it between the
// commas of "Insert into [T] Values(...)". Run against a server, each literal
// gives back the stored value in a column of the value's type:
//
//   NULL                     NULL
//   tinyint ... bigint       decimal                  bit       0 or 1
//   decimal, numeric         every digit: -12.50      money     four decimals: 12.3456
//   float, real              E-notation with the fewest digits that read back to
//                            the same value: 1.5E0, -2.5E-7 (a real too, once the
//                            float literal is made real)
//   datetime                 '1996-07-04T00:00:00.000'
//   smalldatetime            '2009-07-03T14:05:00'
//   date                     '2009-07-03'
//   time                     '14:05:09.1234567'   with the value's scale of digits
//   datetime2                '2009-07-03T14:05:09.1234567'
//   datetimeoffset           '2009-07-03T14:05:09.1234567+02:00'
//   uniqueidentifier         'ED53BF5E-889B-4364-B078-EC3C2975B33E'
//   binary, varbinary, image 0x and upper-case hex; 0x when empty
//   timestamp                DEFAULT: the server gives every row a new one
//   char, varchar, text      'text' with each ' doubled; '' when empty
//   nchar, nvarchar, ntext   N'text'
//   xml                      N'<the decoded XML text>'; CONVERT(xml,N'...',1) when
//                            the text holds a node of blanks only, which the
//                            server would otherwise drop
//   sql_variant              CAST(literal AS base type), with the length,
//                            precision, scale the value needs:
//                            CAST(N'abc' AS nvarchar(3)), CAST(12.50 AS decimal(4,2)),
//                            CAST(7 AS int), CAST(0x01 AS varbinary(1))
//
// A statement is one line of its script, so a string never holds a raw line
// break: every character below U+0020 (CR, LF, tab, NUL, ...) is written
// outside the quotes as CHAR(n), NCHAR(n) in an N string, joined to the
// quoted parts with +. Half a surrogate pair, which no script encoding
// carries, is written as NCHAR(n) too.
//
//   'abc'+CHAR(13)+CHAR(10)+'def'     N'a'+NCHAR(9)+N'b'     CHAR(0)
//
// A joined string longer than 8000 bytes (4000 characters of nvarchar, 8000
// of varchar) starts with its first part made (max), since the server cuts a
// join of shorter strings at 8000 bytes:
//
//   CAST(N'...' AS nvarchar(max))+NCHAR(10)+N'...'
//
// A value that cannot be written is written as NULL, and `warning` says why:
// an unreadable value, an xml value that was not decoded, an infinite or NaN
// float (the server stores neither), a sql_variant whose base type no literal
// can be cast to.
#pragma once

#include <string>

#include "engine/CatalogueRecords.h"
#include "engine/Value.h"

namespace mendora {

// Appends the literal of `value`, a value of `column`, to `out`. When
// `warning` is given it is set: empty when the literal is the value, else
// why the value was written as NULL.
void AppendSqlLiteral(const Value& value, const _SYSCOLUMNS& column, std::u16string& out,
                      std::string* warning = nullptr);

// The string literal of `text` by the rules above; `unicode` for N strings.
void AppendSqlString(std::u16string_view text, bool unicode, std::u16string& out);

}  // namespace mendora
