#include "engine/BinaryXml.h"

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace mendora {
namespace {

enum Token : uint8_t {
  kText = 0x11,  // SQL-NVARCHAR
  kFlushNames = 0xE9,
  kQualifiedNameDef = 0xEF,
  kNameDef = 0xF0,
  kComment = 0xF3,
  kEndAttributes = 0xF5,
  kAttribute = 0xF6,
  kEndElement = 0xF7,
  kElement = 0xF8,
};

constexpr std::u16string_view kXmlNamespace = u"http://www.w3.org/XML/1998/namespace";

struct QualifiedName {
  std::u16string uri;
  std::u16string prefix;
  std::u16string local;
};

struct Attribute {
  std::u16string name;  // as written: prefix:local or local
  QualifiedName qname;
  std::u16string value;
};

// A character XML 1.0 text may hold; surrogates are checked in pairs by the caller.
bool IsXmlChar(char16_t c) {
  return c == 0x09 || c == 0x0A || c == 0x0D || (c >= 0x20 && c != 0xFFFE && c != 0xFFFF);
}

// Whether every unit is an XML character and every surrogate is half of a pair.
bool IsXmlText(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if ((c >= 0xDC00 && c <= 0xDFFF) || !IsXmlChar(c)) {
      return false;
    }
  }
  return true;
}

// A prefix or local name that cannot break the markup it stands in: not
// empty, no blank, no markup or punctuation character, no leading digit,
// "-" or ".".
bool IsNamePart(std::u16string_view name) {
  if (name.empty() || !IsXmlText(name)) return false;
  if ((name[0] >= u'0' && name[0] <= u'9') || name[0] == u'-' || name[0] == u'.') return false;
  for (char16_t c : name) {
    if (c <= 0x20 || std::u16string_view(u"<>&\"'=/?!:;,()[]{}\\`~|^%*+#@$").find(c) !=
                         std::u16string_view::npos) {
      return false;
    }
  }
  return true;
}

class Decoder {
 public:
  explicit Decoder(std::span<const std::byte> bytes) : bytes_(bytes) {}

  std::optional<std::u16string> Run() {
    if (bytes_.empty()) return std::u16string();
    if (bytes_.size() < 5 || Byte(0) != 0xDF || Byte(1) != 0xFF) return std::nullopt;
    if (Byte(2) != 0x01 && Byte(2) != 0x02) return std::nullopt;
    if (Byte(3) != 0xB0 || Byte(4) != 0x04) return std::nullopt;
    at_ = 5;
    names_.assign(1, std::u16string());
    qnames_.assign(1, QualifiedName());
    bindings_.clear();
    pushed_.clear();
    Bind(u"xml", std::u16string(kXmlNamespace));
    Bind(u"", u"");
    while (at_ < bytes_.size()) {
      if (!Step()) return std::nullopt;
    }
    if (!open_.empty()) return std::nullopt;
    return std::move(out_);
  }

 private:
  struct OpenElement {
    std::u16string name;
    size_t scopeSize = 0;
  };

  uint8_t Byte(size_t i) const { return static_cast<uint8_t>(bytes_[i]); }

  bool ReadVarint(uint64_t& value, int maxBytes) {
    value = 0;
    for (int i = 0; i < maxBytes; ++i) {
      if (at_ >= bytes_.size()) return false;
      const uint8_t b = Byte(at_++);
      value |= uint64_t{b & 0x7Fu} << (7 * i);
      if (!(b & 0x80)) return true;
    }
    return false;
  }

  // `count` UTF-16 units; false when the value does not hold them.
  bool ReadUnits(uint64_t count, std::u16string& text) {
    if (count > (bytes_.size() - at_) / 2) return false;
    const size_t from = text.size();
    text.resize(from + count);
    for (size_t i = 0; i < count; ++i, at_ += 2) {
      text[from + i] = static_cast<char16_t>(Byte(at_) | (Byte(at_ + 1) << 8));
    }
    return true;
  }

  bool ReadName(uint32_t& index) {
    uint64_t v = 0;
    if (!ReadVarint(v, 5) || v >= names_.size()) return false;
    index = static_cast<uint32_t>(v);
    return true;
  }

  // A name or qualified-name definition, or the flush of both lists, at `at_`.
  bool ReadDefinition(uint8_t token) {
    ++at_;
    if (token == kFlushNames) {
      names_.resize(1);
      qnames_.resize(1);
      return true;
    }
    if (token == kNameDef) {
      uint64_t length = 0;
      std::u16string name;
      if (!ReadVarint(length, 5) || !ReadUnits(length, name)) return false;
      names_.push_back(std::move(name));
      return true;
    }
    uint32_t uri = 0, prefix = 0, local = 0;
    if (!ReadName(uri) || !ReadName(prefix) || !ReadName(local)) return false;
    qnames_.push_back({names_[uri], names_[prefix], names_[local]});
    return true;
  }

  static bool IsDefinition(uint8_t token) {
    return token == kNameDef || token == kQualifiedNameDef || token == kFlushNames;
  }

  // Reads the definitions at `at_`; false when one is damaged.
  bool SkipDefinitions() {
    while (at_ < bytes_.size() && IsDefinition(Byte(at_))) {
      if (!ReadDefinition(Byte(at_))) return false;
    }
    return true;
  }

  std::optional<QualifiedName> ReadQualifiedName() {
    uint64_t v = 0;
    if (!ReadVarint(v, 5) || v == 0 || v >= qnames_.size()) return std::nullopt;
    return qnames_[v];
  }

  // One or more texts in a row: an attribute's value.
  bool ReadTexts(std::u16string& text) {
    bool any = false;
    while (at_ < bytes_.size() && Byte(at_) == kText) {
      ++at_;
      uint64_t length = 0;
      if (!ReadVarint(length, 10) || !ReadUnits(length, text)) return false;
      any = true;
    }
    return any && IsXmlText(text);
  }

  static std::optional<std::u16string> Written(const QualifiedName& q) {
    if (!IsNamePart(q.local) || (!q.prefix.empty() && !IsNamePart(q.prefix))) return std::nullopt;
    return q.prefix.empty() ? q.local : q.prefix + u":" + q.local;
  }

  // The namespace `prefix` stands for in scope; nothing when none.
  const std::u16string* Bound(const std::u16string& prefix) const {
    const auto it = bindings_.find(prefix);
    return it == bindings_.end() || it->second.empty() ? nullptr : &it->second.back();
  }

  void Bind(const std::u16string& prefix, const std::u16string& uri) {
    bindings_[prefix].push_back(uri);
    pushed_.push_back(prefix);
  }

  // Back to the declarations in scope before the last `pushed_.size() - size`.
  void Unbind(size_t size) {
    while (pushed_.size() > size) {
      bindings_[pushed_.back()].pop_back();
      pushed_.pop_back();
    }
  }

  // Makes `prefix` stand for `uri` on the element being written: nothing when
  // a declaration in scope already does, a new declaration when none on this
  // element says otherwise.
  bool Declare(const std::u16string& prefix, const std::u16string& uri,
               std::vector<Attribute>& attributes,
               std::unordered_set<std::u16string>& declaredHere) {
    const std::u16string* bound = Bound(prefix);
    if (bound && *bound == uri) return true;
    if (declaredHere.count(prefix)) return false;  // declared here for another namespace
    if (prefix == u"xml" || prefix == u"xmlns") return false;
    Attribute a;
    a.name = prefix.empty() ? u"xmlns" : u"xmlns:" + prefix;
    a.value = uri;
    attributes.push_back(std::move(a));
    Bind(prefix, uri);
    declaredHere.insert(prefix);
    return true;
  }

  bool StartElement() {
    ++at_;
    const auto element = ReadQualifiedName();
    if (!element) return false;
    auto name = Written(*element);
    if (!name) return false;

    std::vector<Attribute> attributes;
    for (;;) {
      if (!SkipDefinitions()) return false;
      if (at_ >= bytes_.size()) break;
      if (Byte(at_) == kEndAttributes) {
        ++at_;
        break;
      }
      if (Byte(at_) != kAttribute) break;
      ++at_;
      Attribute a;
      auto qname = ReadQualifiedName();
      if (!qname) return false;
      a.qname = std::move(*qname);
      auto written = Written(a.qname);
      if (!written) return false;
      a.name = std::move(*written);
      if (!ReadTexts(a.value)) return false;
      attributes.push_back(std::move(a));
    }

    // The declarations among the attributes come into scope first.
    const size_t stored = attributes.size();
    const size_t elementScope = pushed_.size();
    std::unordered_set<std::u16string> declaredHere;
    for (const Attribute& a : attributes) {
      if (a.qname.prefix == u"xmlns") {
        if (a.value.empty()) return false;  // a prefix cannot be undeclared
        Bind(a.qname.local, a.value);
        declaredHere.insert(a.qname.local);
      } else if (a.qname.prefix.empty() && a.qname.local == u"xmlns") {
        Bind(u"", a.value);
        declaredHere.insert(u"");
      }
    }
    if (!element->prefix.empty() && element->uri.empty()) return false;
    if (!Declare(element->prefix, element->uri, attributes, declaredHere)) return false;
    for (size_t i = 0; i < stored; ++i) {
      const QualifiedName q = attributes[i].qname;
      if (q.prefix == u"xmlns" || (q.prefix.empty() && q.local == u"xmlns")) continue;
      if (q.prefix.empty()) {
        if (!q.uri.empty()) return false;  // an attribute without a prefix has no namespace
        continue;
      }
      if (q.uri.empty() || !Declare(q.prefix, q.uri, attributes, declaredHere)) return false;
    }
    std::unordered_set<std::u16string_view> names;
    for (const Attribute& a : attributes) {
      if (!names.insert(a.name).second) return false;  // an attribute twice
    }

    out_ += u'<';
    out_ += *name;
    for (const Attribute& a : attributes) {
      out_ += u' ';
      out_ += a.name;
      out_ += u"=\"";
      AppendEscaped(a.value, true);
      out_ += u'"';
    }
    if (!SkipDefinitions()) return false;
    if (at_ < bytes_.size() && Byte(at_) == kEndElement) {
      ++at_;
      out_ += u"/>";
      Unbind(elementScope);
      return true;
    }
    out_ += u'>';
    open_.push_back({std::move(*name), elementScope});
    return true;
  }

  void AppendEscaped(std::u16string_view text, bool attribute) {
    for (char16_t c : text) {
      switch (c) {
        case u'&':
          out_ += u"&amp;";
          break;
        case u'<':
          out_ += u"&lt;";
          break;
        case u'>':
          out_ += attribute ? u">" : u"&gt;";
          break;
        case u'"':
          out_ += attribute ? u"&quot;" : u"\"";
          break;
        case u'\r':
          out_ += u"&#xD;";
          break;
        case u'\n':
          out_ += attribute ? u"&#xA;" : u"\n";
          break;
        case u'\t':
          out_ += attribute ? u"&#x9;" : u"\t";
          break;
        default:
          out_ += c;
      }
    }
  }

  bool Step() {
    const uint8_t token = Byte(at_);
    if (IsDefinition(token)) return ReadDefinition(token);
    switch (token) {
      case kElement:
        return StartElement();
      case kEndElement:
        if (open_.empty()) return false;
        ++at_;
        out_ += u"</";
        out_ += open_.back().name;
        out_ += u'>';
        Unbind(open_.back().scopeSize);
        open_.pop_back();
        return true;
      case kText: {
        std::u16string text;
        if (!ReadTexts(text)) return false;
        AppendEscaped(text, false);
        return true;
      }
      case kComment: {
        ++at_;
        uint64_t length = 0;
        std::u16string text;
        if (!ReadVarint(length, 5) || !ReadUnits(length, text) || !IsXmlText(text)) return false;
        if (text.find(u"--") != std::u16string::npos || (!text.empty() && text.back() == u'-')) {
          return false;
        }
        out_ += u"<!--";
        out_ += text;
        out_ += u"-->";
        return true;
      }
      default:
        return false;
    }
  }

  std::span<const std::byte> bytes_;
  size_t at_ = 0;
  std::vector<std::u16string> names_;
  std::vector<QualifiedName> qnames_;
  // Each prefix's namespaces, innermost last; the prefixes in the order bound.
  std::unordered_map<std::u16string, std::vector<std::u16string>> bindings_;
  std::vector<std::u16string> pushed_;
  std::vector<OpenElement> open_;
  std::u16string out_;
};

}  // namespace

std::optional<std::u16string> DecodeBinaryXml(std::span<const std::byte> stored) {
  return Decoder(stored).Run();
}

}  // namespace mendora
