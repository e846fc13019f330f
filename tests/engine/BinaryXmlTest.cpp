// Stored xml values built by hand from the binary XML format, decoded to
// their text; and values the decoder must refuse rather than guess at.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/BinaryXml.h"
#include "engine/Utf16.h"
#include "tests/support/BinaryXmlBuilder.h"

using namespace mendora;

namespace {

using mdftest::Xml;

struct Case {
  const char* what;
  Xml xml;
  std::optional<std::string> text;  // nothing: the value must not be decoded
};

// <root><element strattr="strvalue" intattr="12345"/></root> as the server
// stores it, token for token (the one xml value of the real files).
Xml RealShape() {
  return Xml()
      .Name(u"root")
      .QName(0, 0, 1)
      .Element(1)
      .Name(u"element")
      .QName(0, 0, 2)
      .Element(2)
      .Name(u"strattr")
      .QName(0, 0, 3)
      .Attribute(3, u"strvalue")
      .Name(u"intattr")
      .QName(0, 0, 4)
      .Attribute(4, u"12345")
      .EndAttributes()
      .End()
      .End();
}

std::vector<Case> Cases() {
  const std::u16string longText(300, u'x');
  return {
      {"an empty value", Xml(std::vector<uint8_t>{}), ""},
      {"the header alone is an empty document", Xml(), ""},
      {"elements and attributes as stored", RealShape(),
       R"(<root><element strattr="strvalue" intattr="12345"/></root>)"},
      {"version 2 header",
       Xml(std::vector<uint8_t>{0xDF, 0xFF, 0x02, 0xB0, 0x04})
           .Name(u"a")
           .QName(0, 0, 1)
           .Element(1)
           .End(),
       "<a/>"},
      {"content escapes markup and CR, keeps tab and LF",
       Xml().Name(u"a").QName(0, 0, 1).Element(1).Text(u"x & y < z > \"q\" 'a'\t1\n2\r3").End(),
       "<a>x &amp; y &lt; z &gt; \"q\" 'a'\t1\n2&#xD;3</a>"},
      {"attribute values escape quotes and blanks that a reader would normalise",
       Xml().Name(u"a").QName(0, 0, 1).Element(1).Attribute(1, u"a\"b<c&d\te\nf\rg>'").End(),
       "<a a=\"a&quot;b&lt;c&amp;d&#x9;e&#xA;f&#xD;g>'\"/>"},
      {"a fragment: several top-level nodes",
       Xml().Name(u"a").QName(0, 0, 1).Element(1).End().Text(u"text").Element(1).End(),
       "<a/>text<a/>"},
      {"texts in a row join",
       Xml().Name(u"a").QName(0, 0, 1).Element(1).Text(u"ab").Text(u"cd").End(), "<a>abcd</a>"},
      {"a long text takes a two-byte length",
       Xml().Name(u"a").QName(0, 0, 1).Element(1).Text(longText).End(),
       "<a>" + std::string(300, 'x') + "</a>"},
      {"comments", Xml().Comment(u" note ").Name(u"a").QName(0, 0, 1).Element(1).End(),
       "<!-- note --><a/>"},
      {"nested elements close in order",
       Xml()
           .Name(u"a")
           .Name(u"b")
           .QName(0, 0, 1)
           .QName(0, 0, 2)
           .Element(1)
           .Element(2)
           .Text(u"1")
           .End()
           .Element(2)
           .End()
           .End(),
       "<a><b>1</b><b/></a>"},
      {"names flushed and defined anew",
       Xml()
           .Name(u"a")
           .QName(0, 0, 1)
           .Element(1)
           .Flush()
           .Name(u"z")
           .QName(0, 0, 1)
           .Element(1)
           .End()
           .End(),
       "<a><z/></a>"},
      {"a stored prefix declaration",
       Xml()
           .Name(u"urn:x")
           .Name(u"p")
           .Name(u"a")
           .Name(u"http://www.w3.org/2000/xmlns/")
           .Name(u"xmlns")
           .QName(1, 2, 3)  // p:a in urn:x
           .QName(4, 5, 2)  // xmlns:p
           .Element(1)
           .Attribute(2, u"urn:x")
           .EndAttributes()
           .End(),
       R"(<p:a xmlns:p="urn:x"/>)"},
      {"a namespace without a declaration is declared where first used",
       Xml()
           .Name(u"urn:x")
           .Name(u"a")
           .Name(u"b")
           .Name(u"c")
           .QName(1, 0, 2)  // a in urn:x
           .QName(1, 0, 3)  // b in urn:x
           .QName(0, 0, 4)  // c in no namespace
           .Element(1)
           .Element(2)
           .End()
           .Element(3)
           .End()
           .End(),
       R"(<a xmlns="urn:x"><b/><c xmlns=""/></a>)"},
      {"a prefixed attribute's namespace",
       Xml()
           .Name(u"urn:x")
           .Name(u"p")
           .Name(u"a")
           .QName(0, 0, 3)  // a
           .QName(1, 2, 3)  // p:a in urn:x
           .Element(1)
           .Attribute(2, u"v")
           .EndAttributes()
           .End(),
       R"(<a p:a="v" xmlns:p="urn:x"/>)"},
      {"the xml prefix needs no declaration",
       Xml()
           .Name(u"http://www.w3.org/XML/1998/namespace")
           .Name(u"xml")
           .Name(u"lang")
           .Name(u"a")
           .QName(1, 2, 3)
           .QName(0, 0, 4)
           .Element(2)
           .Attribute(1, u"en")
           .EndAttributes()
           .End(),
       R"(<a xml:lang="en"/>)"},

      {"a wrong signature", Xml(std::vector<uint8_t>{0xDF, 0xFE, 0x01, 0xB0, 0x04}), std::nullopt},
      {"an unknown version", Xml(std::vector<uint8_t>{0xDF, 0xFF, 0x03, 0xB0, 0x04}), std::nullopt},
      {"another encoding", Xml(std::vector<uint8_t>{0xDF, 0xFF, 0x01, 0xE9, 0xFD}), std::nullopt},
      {"a header cut short", Xml(std::vector<uint8_t>{0xDF, 0xFF, 0x01}), std::nullopt},
      {"a name longer than the value", Xml().Raw({0xF0, 0x09, 'a', 0}), std::nullopt},
      {"an odd byte at the end of a name", Xml().Raw({0xF0, 0x01, 'a'}), std::nullopt},
      {"a qualified name of an undefined name", Xml().Name(u"a").QName(0, 0, 2), std::nullopt},
      {"an element of an undefined qualified name", Xml().Name(u"a").Element(1).End(),
       std::nullopt},
      {"an element left open", Xml().Name(u"a").QName(0, 0, 1).Element(1).Text(u"x"), std::nullopt},
      {"an end without an element", Xml().Name(u"a").QName(0, 0, 1).Element(1).End().End(),
       std::nullopt},
      {"a typed value (int)",
       Xml().Name(u"a").QName(0, 0, 1).Element(1).Raw({0x02, 1, 0, 0, 0}).End(), std::nullopt},
      {"a processing instruction", Xml().Raw({0xF4, 0x01, 'a', 0}), std::nullopt},
      {"a character XML cannot hold",
       Xml().Name(u"a").QName(0, 0, 1).Element(1).Text(u"a\x01").End(), std::nullopt},
      {"half a surrogate pair", Xml().Name(u"a").QName(0, 0, 1).Element(1).Text(u"a\xD800").End(),
       std::nullopt},
      {"a name that would break the markup", Xml().Name(u"a b").QName(0, 0, 1).Element(1).End(),
       std::nullopt},
      {"an empty local name", Xml().Name(u"").QName(0, 0, 1).Element(1).End(), std::nullopt},
      {"a prefix without a namespace", Xml().Name(u"p").Name(u"a").QName(0, 1, 2).Element(1).End(),
       std::nullopt},
      {"a declaration on the element that contradicts its namespace",
       Xml()
           .Name(u"urn:x")
           .Name(u"p")
           .Name(u"a")
           .Name(u"xmlns")
           .QName(1, 2, 3)  // p:a in urn:x
           .QName(0, 4, 2)  // xmlns:p
           .Element(1)
           .Attribute(2, u"urn:y")
           .EndAttributes()
           .End(),
       std::nullopt},
      {"an attribute twice",
       Xml().Name(u"a").QName(0, 0, 1).Element(1).Attribute(1, u"1").Attribute(1, u"2").End(),
       std::nullopt},
      {"an attribute without a value",
       Xml().Name(u"a").QName(0, 0, 1).Element(1).Raw({0xF6, 0x01}).EndAttributes().End(),
       std::nullopt},
      {"a comment holding --", Xml().Comment(u"a--b"), std::nullopt},
      {"a length of more than five bytes", Xml().Raw({0xF0, 0x81, 0x80, 0x80, 0x80, 0x80, 0x00}),
       std::nullopt},
      {"a text length past the value", Xml().Raw({0x11, 0xFF, 0x7F, 'a', 0}), std::nullopt},
  };
}

TEST(BinaryXml, DecodesWhatItKnowsAndRefusesTheRest) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.xml.Decoded(), c.text);
  }
}

// Every value cut short of its end is refused or decoded to a shorter
// document, never read past its bytes.
TEST(BinaryXml, EveryCutOfAValueIsReadSafely) {
  const Xml whole = RealShape();
  for (size_t n = 5; n < whole.bytes.size(); ++n) {
    Xml cut(std::vector<uint8_t>(whole.bytes.begin(), whole.bytes.begin() + n));
    SCOPED_TRACE(n);
    const auto text = cut.Decoded();
    EXPECT_FALSE(text && !text->empty()) << *text;
  }
}

// Deep nesting and wide elements take time and stack in proportion to their
// size: the decoder keeps its own stack of open elements and finds
// declarations and repeated attributes without walking lists.
TEST(BinaryXml, DeepAndWideDocuments) {
  constexpr int kDepth = 100000;
  Xml deep;
  deep.Name(u"urn:a").Name(u"urn:b").Name(u"p").Name(u"e").QName(1, 3, 4).QName(2, 3, 4);
  std::string want;
  for (int i = 0; i < kDepth; ++i) {
    deep.Element(1 + i % 2);
    want += i % 2 ? "<p:e xmlns:p=\"urn:b\"" : "<p:e xmlns:p=\"urn:a\"";
    want += i + 1 < kDepth ? ">" : "/>";  // the innermost has no content
  }
  for (int i = 0; i < kDepth; ++i) {
    deep.End();
    if (i > 0) want += "</p:e>";
  }
  EXPECT_EQ(deep.Decoded(), want);

  constexpr int kWidth = 20000;
  Xml wide;
  want = "<a0";
  for (int i = 0; i < kWidth; ++i) {
    const std::u16string name = u"a" + FromUtf8(std::to_string(i));
    wide.Name(name).QName(0, 0, i + 1);
    want += " a" + std::to_string(i) + "=\"v\"";
  }
  wide.Element(1);
  for (int i = 0; i < kWidth; ++i) wide.Attribute(i + 1, u"v");
  wide.EndAttributes().End();
  EXPECT_EQ(wide.Decoded(), want + "/>");
}

}  // namespace
