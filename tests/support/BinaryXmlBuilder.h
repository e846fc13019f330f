// Stored xml values written token by token from the binary XML format, for
// tests of the decoder and of what is made of its text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/BinaryXml.h"
#include "engine/Utf16.h"

namespace mdftest {

// A value being built: the header, then tokens appended in order.
struct Xml {
  std::vector<uint8_t> bytes;

  // The header of an untyped value in UTF-16.
  Xml() { Raw({0xDF, 0xFF, 0x01, 0xB0, 0x04}); }
  // Exactly these bytes.
  explicit Xml(std::vector<uint8_t> stored) : bytes(std::move(stored)) {}

  Xml& Raw(std::initializer_list<uint8_t> more) {
    bytes.insert(bytes.end(), more);
    return *this;
  }
  Xml& Varint(uint64_t v) {
    do {
      const auto low = static_cast<uint8_t>(v & 0x7F);
      v >>= 7;
      bytes.push_back(v ? low | 0x80 : low);
    } while (v);
    return *this;
  }
  Xml& Units(std::u16string_view text) {
    for (char16_t c : text) {
      bytes.push_back(static_cast<uint8_t>(c & 0xFF));
      bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return *this;
  }
  // Defines the next name (numbered from 1).
  Xml& Name(std::u16string_view name) { return Raw({0xF0}).Varint(name.size()).Units(name); }
  // Defines the next qualified name from three name numbers.
  Xml& QName(uint32_t uri, uint32_t prefix, uint32_t local) {
    return Raw({0xEF}).Varint(uri).Varint(prefix).Varint(local);
  }
  Xml& Element(uint32_t qname) { return Raw({0xF8}).Varint(qname); }
  Xml& Attribute(uint32_t qname, std::u16string_view value) {
    return Raw({0xF6}).Varint(qname).Text(value);
  }
  Xml& EndAttributes() { return Raw({0xF5}); }
  Xml& End() { return Raw({0xF7}); }
  Xml& Text(std::u16string_view text) { return Raw({0x11}).Varint(text.size()).Units(text); }
  Xml& Comment(std::u16string_view text) { return Raw({0xF3}).Varint(text.size()).Units(text); }
  Xml& Flush() { return Raw({0xE9}); }

  // An exact-size copy: a read past the value shows under AddressSanitizer.
  std::vector<std::byte> Stored() const {
    std::vector<std::byte> stored(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) stored[i] = std::byte{bytes[i]};
    return stored;
  }
  std::optional<std::string> Decoded() const {
    auto text = mendora::DecodeBinaryXml(Stored());
    if (!text) return std::nullopt;
    return mendora::ToUtf8(*text);
  }
};

}  // namespace mdftest
