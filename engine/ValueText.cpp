#include "engine/ValueText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/BinaryXml.h"
#include "engine/Utf16.h"

namespace mendora {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

template <typename T>
void AppendShortest(std::string& out, T v) {
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v);
  out.append(buffer.data(), result.ptr);
}

// `width` decimal digits of `value` at `at`, zeros in front.
void PutDigits(char* at, int width, uint64_t value) {
  for (int i = width - 1; i >= 0; --i) {
    at[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

}  // namespace

void AppendIsoDate(std::string& out, int64_t days) {
  const CivilDay c = CivilFromDays0001(days);
  if (c.year >= 0 && c.year <= 9999) {
    // The common case without a format string: yyyy-mm-dd.
    char text[10];
    PutDigits(text, 4, static_cast<uint64_t>(c.year));
    text[4] = '-';
    PutDigits(text + 5, 2, static_cast<uint64_t>(c.month));
    text[7] = '-';
    PutDigits(text + 8, 2, static_cast<uint64_t>(c.day));
    out.append(text, sizeof text);
    return;
  }
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%04lld-%02d-%02d", static_cast<long long>(c.year),
                c.month, c.day);
  out += buffer.data();
}

void AppendIsoTime(std::string& out, int64_t units, int scale) {
  scale = std::clamp(scale, 0, 7);  // the time types keep at most 7 fraction digits
  int64_t perSecond = 1;
  for (int i = 0; i < scale; ++i) perSecond *= 10;
  const int64_t seconds = units / perSecond;
  if (units >= 0 && seconds < 100 * 3600) {
    // The common case without a format string: hh:mm:ss[.fraction].
    char text[20];
    PutDigits(text, 2, static_cast<uint64_t>(seconds / 3600));
    text[2] = ':';
    PutDigits(text + 3, 2, static_cast<uint64_t>(seconds / 60 % 60));
    text[5] = ':';
    PutDigits(text + 6, 2, static_cast<uint64_t>(seconds % 60));
    size_t size = 8;
    if (scale > 0) {
      text[size++] = '.';
      PutDigits(text + size, scale, static_cast<uint64_t>(units % perSecond));
      size += static_cast<size_t>(scale);
    }
    out.append(text, size);
    return;
  }
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%02lld:%02d:%02d",
                static_cast<long long>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60));
  out += buffer.data();
  if (scale > 0) {
    std::snprintf(buffer.data(), buffer.size(), ".%0*lld", scale,
                  static_cast<long long>(units % perSecond));
    out += buffer.data();
  }
}

void AppendUtcOffset(std::string& out, int offsetMinutes) {
  const int minutes = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  std::array<char, 16> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%c%02d:%02d", offsetMinutes < 0 ? '-' : '+',
                minutes / 60, minutes % 60);
  out += buffer.data();
}

void AppendMoneyText(std::string& out, int64_t stored) {
  const uint64_t magnitude =
      stored < 0 ? 0 - static_cast<uint64_t>(stored) : static_cast<uint64_t>(stored);
  if (stored < 0) out.push_back('-');
  AppendShortest(out, magnitude / 10000);
  char fraction[5] = {'.'};
  PutDigits(fraction + 1, 4, magnitude % 10000);
  out.append(fraction, sizeof fraction);
}

void AppendGuidText(std::string& out, std::span<const std::byte> stored) {
  if (stored.size() != 16) return;
  constexpr std::array<int, 16> kOrder = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (size_t i = 0; i < kOrder.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
    AppendHexBytes(out, stored.subspan(kOrder[i], 1));
  }
}

namespace {

template <typename String>
void AppendHex(String& out, std::span<const std::byte> bytes) {
  const size_t at = out.size();
  out.resize(at + 2 * bytes.size());
  auto* to = out.data() + at;
  for (std::byte b : bytes) {
    const auto x = static_cast<uint8_t>(b);
    *to++ = static_cast<typename String::value_type>(kHex[x >> 4]);
    *to++ = static_cast<typename String::value_type>(kHex[x & 0x0F]);
  }
}

}  // namespace

void AppendHexBytes(std::string& out, std::span<const std::byte> bytes) {
  AppendHex(out, bytes);
}

void AppendHexBytes(std::u16string& out, std::span<const std::byte> bytes) {
  AppendHex(out, bytes);
}

void AppendExactText(const Value& v, std::string& out) {
  switch (v.kind) {
    case ValueKind::kNull:
      return;
    case ValueKind::kInteger:
    case ValueKind::kBit:
      return AppendShortest(out, v.integer);
    case ValueKind::kDecimal:
      out += v.digits;
      return;
    case ValueKind::kMoney:
      return AppendMoneyText(out, v.integer);
    case ValueKind::kReal:
      return AppendShortest(out, v.real);
    case ValueKind::kFloat:
      return AppendShortest(out, v.real8);
    case ValueKind::kDateTime:
    case ValueKind::kSmallDateTime:
    case ValueKind::kDateTime2:
      AppendIsoDate(out, v.days);
      out.push_back(' ');
      return AppendIsoTime(out, v.timeUnits, v.scale);
    case ValueKind::kDate:
      return AppendIsoDate(out, v.days);
    case ValueKind::kTime:
      return AppendIsoTime(out, v.timeUnits, v.scale);
    case ValueKind::kDateTimeOffset:
      AppendIsoDate(out, v.days);
      out.push_back(' ');
      AppendIsoTime(out, v.timeUnits, v.scale);
      return AppendUtcOffset(out, v.offsetMinutes);
    case ValueKind::kGuid:
      return AppendGuidText(out, v.bytes);
    case ValueKind::kXml:
      if (auto text = XmlText(v)) return AppendUtf8(*text, out);
      [[fallthrough]];
    case ValueKind::kBinary:
      out += "0x";
      return AppendHexBytes(out, v.bytes);
    case ValueKind::kString:
      AppendUtf8(v.text, out);
      return;
    case ValueKind::kUnreadable:
      out += "<unreadable: " + v.error + ">";
      return;
  }
}

std::string ExactText(const Value& value) {
  std::string text;
  AppendExactText(value, text);
  return text;
}

bool IsJsonNumber(const Value& v) {
  switch (v.kind) {
    case ValueKind::kInteger:
    case ValueKind::kBit:
      return true;
    case ValueKind::kReal:
      return std::isfinite(v.real);
    case ValueKind::kFloat:
      return std::isfinite(v.real8);
    default:
      return false;
  }
}

}  // namespace mendora
