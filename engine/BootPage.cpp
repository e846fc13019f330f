#include "engine/BootPage.h"

namespace mendora {

BootPage DecodeBootPage(Bytes page) {
  ByteReader r(page);
  BootPage b;
  b.version = r.u16(kBootVersion).value_or(0);
  for (size_t i = 0; i < kBootNameUnits; ++i) {
    auto unit = r.u16(kBootName + 2 * i);
    if (!unit) break;
    b.name.push_back(static_cast<char16_t>(*unit));
  }
  b.firstSysPage = r.u32(kBootFirstSysPage).value_or(0);
  return b;
}

}  // namespace mendora
