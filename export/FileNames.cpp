#include "export/FileNames.h"

#include <algorithm>
#include <array>

namespace mendora {
namespace {

bool Unsafe(char16_t ch) {
  if (ch < 0x20 || ch >= 0x7F) return true;
  return std::u16string_view(u"\\/:*?\"<>|%&^!").find(ch) != std::u16string_view::npos;
}

char16_t Upper(char16_t ch) {
  return ch >= u'a' && ch <= u'z' ? ch - u'a' + u'A' : ch;
}

bool IsDeviceName(std::u16string_view name) {
  const size_t dot = name.find(u'.');
  std::u16string base(name.substr(0, dot));
  // Windows ignores blanks before the extension: "CON .sql" is the console too.
  while (!base.empty() && base.back() == u' ') base.pop_back();
  std::transform(base.begin(), base.end(), base.begin(), Upper);
  static constexpr std::array<std::u16string_view, 4> kFixed = {u"CON", u"PRN", u"AUX", u"NUL"};
  if (std::find(kFixed.begin(), kFixed.end(), base) != kFixed.end()) return true;
  return base.size() == 4 && (base.starts_with(u"COM") || base.starts_with(u"LPT")) &&
         base[3] >= u'1' && base[3] <= u'9';
}

}  // namespace

std::u16string SafeFileName(std::u16string_view stem, std::u16string_view suffix) {
  std::u16string safe(stem.substr(0, kMaxFileStem));
  std::replace_if(safe.begin(), safe.end(), Unsafe, u'_');
  std::u16string name = safe + std::u16string(suffix);
  if (name.empty() || name.back() == u'.' || name.back() == u' ') {
    safe += u'_';
  } else if (IsDeviceName(name)) {
    safe.insert(safe.begin(), u'_');
  }
  return safe + std::u16string(suffix);
}

}  // namespace mendora
