// The system type codes (xtype) a column carries in the catalogue, the one
// list every decoder, type name and layout rule takes them from.
#pragma once

#include <cstdint>

namespace mendora {

enum XType : uint8_t {
  kXImage = 34,
  kXText = 35,
  kXUniqueIdentifier = 36,
  kXDate = 40,
  kXTime = 41,
  kXDateTime2 = 42,
  kXDateTimeOffset = 43,
  kXTinyInt = 48,
  kXSmallInt = 52,
  kXInt = 56,
  kXSmallDateTime = 58,
  kXReal = 59,
  kXMoney = 60,
  kXDateTime = 61,
  kXFloat = 62,
  kXSqlVariant = 98,
  kXNText = 99,
  kXBit = 104,
  kXDecimal = 106,
  kXNumeric = 108,
  kXSmallMoney = 122,
  kXBigInt = 127,
  kXVarBinary = 165,
  kXVarChar = 167,
  kXBinary = 173,
  kXChar = 175,
  kXTimestamp = 189,
  kXNVarChar = 231,  // sysname too
  kXNChar = 239,
  kXClr = 240,  // hierarchyid, geometry, geography
  kXXml = 241,
};

// Types whose values stand in the variable part of a row (or, when large,
// behind a pointer kept there): the varying and large types, and any type
// declared with length -1, the (max) types.
inline bool IsVariableLengthType(uint8_t xtype, int16_t length) {
  switch (xtype) {
    case kXImage:
    case kXText:
    case kXSqlVariant:
    case kXNText:
    case kXVarBinary:
    case kXVarChar:
    case kXNVarChar:
    case kXClr:
    case kXXml:
      return true;
    default:
      return length < 0;
  }
}

}  // namespace mendora
