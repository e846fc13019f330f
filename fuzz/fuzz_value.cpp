// Stored value bytes of every column type through the typed decoder and the
// exact text and the SQL literal: the first byte picks the type, the second its scale.
#include <cstddef>
#include <cstdint>

#include "engine/TypeCodes.h"
#include "engine/ValueDecoder.h"
#include "engine/ValueText.h"
#include "export/SqlLiteral.h"

using namespace mendora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  _SYSCOLUMNS column;
  column.xtype = data[0];
  column.scale = data[1];
  column.length = static_cast<int16_t>(size - 2);
  Value value;
  DecodeValue(std::as_bytes(std::span(data + 2, size - 2)), column, value);
  (void)ExactText(value);
  std::u16string literal;
  AppendSqlLiteral(value, column, literal);
  return 0;
}
