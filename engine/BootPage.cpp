#include "engine/BootPage.h"

#include <algorithm>

#include "engine/Utf16.h"

namespace mendora {

BootPage DecodeBootPage(Bytes page) {
  ByteReader r(page);
  BootPage b;
  b.version = r.u16(kBootVersion).value_or(0);
  if (page.size() > kBootName) {
    b.name = Utf16FromBytes(
        page.subspan(kBootName, std::min(2 * kBootNameUnits, page.size() - kBootName)));
  }
  b.firstSysPage = r.u32(kBootFirstSysPage).value_or(0);
  b.collation = r.u32(kBootCollation).value_or(0);
  return b;
}

std::u16string CutDatabaseName(std::u16string_view units) {
  constexpr char16_t kPad = 0x2020;
  const size_t n = units.size();
  auto at = [&](size_t i) -> char16_t { return i < n ? units[i] : 0; };
  size_t cut = std::u16string_view::npos;
  for (size_t i = 0; i < n; i += 2) {
    if (at(i) == kPad && at(i + 1) == kPad) {
      cut = i;
    } else if (at(i) == kPad) {
      cut = i == 0 ? 0 : i - 1;
    } else if (i + 3 < n && at(i) == u' ' && at(i + 1) == u' ' && at(i + 2) == u' ' &&
               at(i + 3) == u' ') {
      cut = i;
    } else {
      continue;
    }
    break;
  }
  std::u16string name;
  if (cut != std::u16string_view::npos) {
    name = units.substr(0, cut);
  } else {
    name = units.substr(0, std::min(n, units.find(u'\0')));
  }
  name = name.substr(0, std::min(name.size(), name.find(kPad)));
  std::replace(name.begin(), name.end(), u' ', u'_');
  return name;
}

BootPage ReadBootPage(const DataFile& file) {
  PageBuffer page;
  file.ReadPage(kBootPage, page);
  return DecodeBootPage(page);
}

}  // namespace mendora
