// Collations: the 4-byte collation id stored with every column (and the
// database default on the boot page), the code page of 8-bit text it gives,
// and the name a script writes in a Collate clause.
//
// BITS   | MEANING
// -------+--------------------------------------------------------------------
// 24..31 | SQL sort id, non-zero only for the SQL_ collations: it alone
//        | decides the code page and the name
// 17..23 | generation: 1 _90, 2 _100, 3 _140, 4 _160
// 16     | _BIN
// 12..15 | 0x1000 _CI (else _CS), 0x2000 _AI (else _AS), 0x4000 kana
//        | insensitive (else _KS), 0x8000 width insensitive (else _WS)
// 11     | _BIN2
// 8      | _SC
// 7      | _UTF8: code page 65001
// 0..6   | the Windows collation family (Latin1_General is 8)
#pragma once

#include <cstdint>
#include <string>

namespace mendora {

inline constexpr uint16_t kCodePageWestern = 1252;
inline constexpr uint16_t kCodePageUtf8 = 65001;

struct CollationInfo {
  uint16_t codePage = kCodePageWestern;
  // False when neither the sort id nor the family is one this reader knows,
  // or the family has no code page of its own: the text is read as 1252.
  bool known = false;
};

CollationInfo DescribeCollation(uint32_t collationId);
inline uint16_t CollationCodePage(uint32_t collationId) {
  return DescribeCollation(collationId).codePage;
}

// The name a server accepts for the collation ("Latin1_General_CI_AS",
// "SQL_Latin1_General_CP1_CI_AS", "Chinese_Taiwan_Stroke_100_CS_AS_KS_WS_SC").
// A sort id without a SQL_ name, or a family this reader cannot name, gives a
// Windows collation of the same code page with the same comparison flags, so
// a script keeps the text. Empty for id 0.
std::string CollationName(uint32_t collationId);

}  // namespace mendora
