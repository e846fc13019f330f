// Text conversions between the engine's UTF-16 and UTF-8 strings and QString.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace shell {

inline QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
inline QString Utf8ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::u16string ToU16(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                        static_cast<size_t>(text.size()));
}
inline std::string QStringToUtf8(const QString& text) {
  return text.toUtf8().toStdString();
}

}  // namespace shell
