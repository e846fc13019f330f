// Short names for the column type codes (syscolumns.xtype) the tests write,
// each the engine's own code.
#pragma once

#include <cstdint>

#include "engine/TypeCodes.h"

namespace mdftest::xtype {

inline constexpr uint8_t kImage = mendora::kXImage, kText = mendora::kXText,
                         kUniqueId = mendora::kXUniqueIdentifier, kTinyInt = mendora::kXTinyInt,
                         kSmallInt = mendora::kXSmallInt, kInt = mendora::kXInt,
                         kDateTime = mendora::kXDateTime, kSqlVariant = mendora::kXSqlVariant,
                         kNText = mendora::kXNText, kBit = mendora::kXBit,
                         kVarBinary = mendora::kXVarBinary, kVarChar = mendora::kXVarChar,
                         kBinary = mendora::kXBinary, kChar = mendora::kXChar,
                         kTimestamp = mendora::kXTimestamp, kNVarChar = mendora::kXNVarChar,
                         kNChar = mendora::kXNChar, kXml = mendora::kXXml,
                         kBigInt = mendora::kXBigInt, kMoney = mendora::kXMoney,
                         kReal = mendora::kXReal, kFloat = mendora::kXFloat,
                         kDecimal = mendora::kXDecimal;

}  // namespace mdftest::xtype
