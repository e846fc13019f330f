// One column value of a user-table row, decoded once from its stored bytes
// into what it means: the grid's display text, the command line's exact text
// and the scripts' SQL literals are renderings of this, so a value reads the
// same everywhere it is shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mendora {

enum class ValueKind : uint8_t {
  kNull,
  kInteger,         // tinyint, smallint, int, bigint: `integer`
  kBit,             // `integer` 0 or 1
  kDecimal,         // decimal, numeric: `digits`, exact ("-12.50")
  kMoney,           // money, smallmoney: `integer` in ten-thousandths
  kReal,            // `real`, as stored
  kFloat,           // `real8`, as stored
  kDateTime,        // datetime: `days`, `timeUnits` in milliseconds (scale 3)
  kSmallDateTime,   // `days`, `timeUnits` in seconds (scale 0, whole minutes)
  kDate,            // `days`
  kTime,            // `timeUnits` in 10^-scale seconds
  kDateTime2,       // `days`, `timeUnits`
  kDateTimeOffset,  // the local `days`, `timeUnits`, and `offsetMinutes`
  kGuid,            // `bytes`: the 16 bytes as stored
  kBinary,          // binary, varbinary, image, timestamp: `bytes`
  kString,          // char, varchar, text, nchar, nvarchar, ntext: `text`
  kXml,             // `bytes`: the stored binary XML, decoded to its text
                    // only where it is shown or saved (XmlText)
  kUnreadable,      // the value could not be read: `error` says why
};

struct Value {
  ValueKind kind = ValueKind::kNull;
  uint8_t scale = 0;        // fraction digits of the time types
  uint8_t variantType = 0;  // sql_variant: the base type's xtype; 0 otherwise
  // kString: some stored bytes are not text in the column's code page; each
  // stands as U+FFFD in `text`.
  bool codePageError = false;
  int16_t offsetMinutes = 0;
  int64_t integer = 0;
  int64_t days = 0;       // days since 0001-01-01
  int64_t timeUnits = 0;  // since midnight, in 10^-scale seconds
  float real = 0;
  double real8 = 0;
  std::string digits;
  std::u16string text;
  std::vector<std::byte> bytes;
  std::string error;

  bool IsNull() const { return kind == ValueKind::kNull; }
  // Back to NULL, keeping the buffers' room for the next row.
  void Reset() {
    kind = ValueKind::kNull;
    scale = variantType = 0;
    codePageError = false;
    offsetMinutes = 0;
    integer = days = timeUnits = 0;
    real = 0;
    real8 = 0;
    digits.clear();
    text.clear();
    bytes.clear();
    error.clear();
  }
};

using RowValues = std::vector<Value>;

// The civil date of a day count from 0001-01-01 (proleptic Gregorian).
struct CivilDay {
  int64_t year = 1;
  int month = 1;
  int day = 1;
};
CivilDay CivilFromDays0001(int64_t days);

}  // namespace mendora
