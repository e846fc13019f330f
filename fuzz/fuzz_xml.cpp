// Token streams after a valid binary XML header through the xml decoder and
// the SQL literal of the value: the decoder's header check would turn away
// nearly every input of the value fuzzer before the first token.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/TypeCodes.h"
#include "engine/ValueDecoder.h"
#include "export/SqlLiteral.h"

using namespace mendora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::byte> stored = {std::byte{0xDF}, std::byte{0xFF}, std::byte{0x01},
                                   std::byte{0xB0}, std::byte{0x04}};
  for (size_t i = 0; i < size; ++i) stored.push_back(std::byte{data[i]});
  _SYSCOLUMNS column;
  column.xtype = kXXml;
  column.length = -1;
  Value value;
  DecodeValue(stored, column, value);
  std::u16string literal;
  AppendSqlLiteral(value, column, literal);
  return 0;
}
