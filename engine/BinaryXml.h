// The server stores an xml value in its binary XML format: a header, then a
// stream of tokens that define names and give the document's nodes in order.
// This turns the forms that untyped XML is stored in back into XML text.
//
//   header           DF FF, version 01 or 02, encoding B0 04 (UTF-16LE)
//   F0 name          mb32 length, then that many UTF-16 units; names are
//                    numbered from 1 in the order defined, 0 is "no name"
//   EF qualified     mb32 name numbers of the namespace URI, the prefix and
//      name          the local name; numbered from 1 in the order defined
//   E9               forget every name and qualified name defined so far
//   F8 element       mb32 qualified-name number; then its attributes, each
//                    F6, the qualified-name number and its value; F5 after
//                    the last attribute; then the content; F7 ends it
//   11 text          mb64 length, then that many UTF-16 units (element
//                    content or an attribute's value; adjacent texts join)
//   F3 comment       mb32 length, then that many UTF-16 units
//   mb32, mb64       7 bits a byte, lowest first; a set top bit means
//                    another byte follows
//
// The text: elements with no content as <a/>; in content &, < and > as
// &amp; &lt; &gt; and CR as &#xD;; attribute values between double quotes
// with &, <, " and tab, LF, CR as references, so that a reader of the text
// gets back the same characters. A namespace an element or attribute uses
// that no declaration in scope binds to its prefix is declared on the
// element. Anything else (typed values, processing instructions, CDATA, DTDs,
// nested documents, undefined names, characters XML cannot hold, a document
// that ends inside an element) is not decoded: nothing is returned rather
// than a text that might differ from the stored one.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "engine/Value.h"

namespace mendora {

std::optional<std::u16string> DecodeBinaryXml(std::span<const std::byte> stored);

// The text of an xml value: its stored bytes decoded, each time it is asked
// for (a value is shown or saved once, and most are never asked).
inline std::optional<std::u16string> XmlText(const Value& value) {
  return DecodeBinaryXml(value.bytes);
}

}  // namespace mendora
