#include "tests/support/SqlStatementReader.h"

#include <algorithm>
#include <charconv>

#include "engine/Utf16.h"
#include "sql/SqlName.h"

namespace mdftest {
namespace {

struct Token {
  enum class Kind { kWord, kBracketed, kString, kNumber, kBinary, kPunct, kEnd };
  Kind kind = Kind::kEnd;
  std::u16string text;  // a word as written; the inside of a name or string; a number; hex digits
  bool unicode = false;
  size_t at = 0;
};

bool IsAsciiLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}
bool IsHexDigit(char16_t c) {
  return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
bool IsWordStart(char16_t c) {
  return IsAsciiLetter(c) || c == u'_' || c == u'@' || c == u'#' || c >= 0x80;
}
bool IsWordPart(char16_t c) {
  return IsWordStart(c) || IsDigit(c) || c == u'$';
}

std::string Upper(std::u16string_view word) {
  std::string out = mendora::ToUtf8(word);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string Lower(std::u16string_view word) {
  std::string out = mendora::ToUtf8(word);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string At(size_t at) {
  return " at " + std::to_string(at);
}

// Splits a statement into tokens; false with `error` at the first that is
// malformed.
bool Tokenize(std::u16string_view s, bool allowComments, std::vector<Token>& tokens,
              std::string& error) {
  size_t i = 0;
  while (i < s.size()) {
    const char16_t c = s[i];
    if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') {
      ++i;
      continue;
    }
    Token t;
    t.at = i;
    if ((c == u'-' && i + 1 < s.size() && s[i + 1] == u'-') ||
        (c == u'/' && i + 1 < s.size() && s[i + 1] == u'*')) {
      if (!allowComments) {
        error = "comment" + At(i);
        return false;
      }
      if (c == u'-') {
        while (i < s.size() && s[i] != u'\n') ++i;
      } else {
        const size_t end = s.find(u"*/", i + 2);
        if (end == std::u16string_view::npos) {
          error = "comment not closed" + At(i);
          return false;
        }
        i = end + 2;
      }
      continue;
    }
    const bool unicodeString = (c == u'N' || c == u'n') && i + 1 < s.size() && s[i + 1] == u'\'';
    if (c == u'\'' || unicodeString) {
      t.kind = Token::Kind::kString;
      t.unicode = unicodeString;
      i += unicodeString ? 2 : 1;
      for (;;) {
        if (i >= s.size()) {
          error = "string not closed" + At(t.at);
          return false;
        }
        if (s[i] == u'\'') {
          if (i + 1 < s.size() && s[i + 1] == u'\'') {
            t.text.push_back(u'\'');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        t.text.push_back(s[i++]);
      }
    } else if (c == u'[') {
      t.kind = Token::Kind::kBracketed;
      ++i;
      for (;;) {
        if (i >= s.size()) {
          error = "bracketed name not closed" + At(t.at);
          return false;
        }
        if (s[i] == u']') {
          if (i + 1 < s.size() && s[i + 1] == u']') {
            t.text.push_back(u']');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        t.text.push_back(s[i++]);
      }
      if (t.text.empty()) {
        error = "empty bracketed name" + At(t.at);
        return false;
      }
    } else if (c == u'"') {
      error = "double-quoted name" + At(i);
      return false;
    } else if (IsDigit(c) || (c == u'.' && i + 1 < s.size() && IsDigit(s[i + 1]))) {
      if (c == u'0' && i + 1 < s.size() && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
        t.kind = Token::Kind::kBinary;
        i += 2;
        while (i < s.size() && IsHexDigit(s[i])) t.text.push_back(s[i++]);
      } else {
        t.kind = Token::Kind::kNumber;
        while (i < s.size() && IsDigit(s[i])) t.text.push_back(s[i++]);
        if (i < s.size() && s[i] == u'.') {
          t.text.push_back(s[i++]);
          while (i < s.size() && IsDigit(s[i])) t.text.push_back(s[i++]);
        }
        if (i < s.size() && (s[i] == u'E' || s[i] == u'e')) {
          t.text.push_back(s[i++]);
          if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) t.text.push_back(s[i++]);
          if (i >= s.size() || !IsDigit(s[i])) {
            error = "exponent without digits" + At(t.at);
            return false;
          }
          while (i < s.size() && IsDigit(s[i])) t.text.push_back(s[i++]);
        }
      }
      if (i < s.size() && IsWordPart(s[i])) {
        error = "number run into a word" + At(t.at);
        return false;
      }
    } else if (IsWordStart(c)) {
      t.kind = Token::Kind::kWord;
      while (i < s.size() && IsWordPart(s[i])) t.text.push_back(s[i++]);
    } else if (c < 0x20 || c == 0x7F) {
      error = "control character " + std::to_string(static_cast<int>(c)) + At(i);
      return false;
    } else {
      t.kind = Token::Kind::kPunct;
      t.text.push_back(c);
      ++i;
    }
    tokens.push_back(std::move(t));
  }
  Token end;
  end.at = s.size();
  tokens.push_back(std::move(end));
  return true;
}

class InsertParser {
 public:
  InsertParser(std::vector<Token> tokens, std::string& error)
      : tokens_(std::move(tokens)), error_(error) {}

  bool Statement(ParsedInsert& out) {
    if (!Keyword("INSERT") || !Keyword("INTO") || !Name(out.table)) return false;
    while (IsPunct(u'.')) {
      ++next_;
      if (!Name(out.table)) return false;
    }
    if (IsPunct(u'(')) {
      ++next_;
      do {
        if (!Name(out.columns)) return false;
      } while (Comma());
      if (!Punct(u')')) return false;
    }
    if (!Keyword("VALUES") || !Punct(u'(')) return false;
    do {
      ParsedLiteral literal;
      if (!Literal(literal)) return false;
      out.values.push_back(std::move(literal));
    } while (Comma());
    if (!Punct(u')')) return false;
    if (IsPunct(u';')) ++next_;
    if (Peek().kind != Token::Kind::kEnd) return Fail("text after the statement");
    return true;
  }

 private:
  const Token& Peek() const { return tokens_[next_]; }
  bool Fail(const std::string& what) {
    error_ = what + At(Peek().at);
    return false;
  }
  bool IsWord(const char* upper) const {
    return Peek().kind == Token::Kind::kWord && Upper(Peek().text) == upper;
  }
  bool IsPunct(char16_t c) const {
    return Peek().kind == Token::Kind::kPunct && Peek().text[0] == c;
  }
  bool Keyword(const char* upper) {
    if (!IsWord(upper)) return Fail(std::string("expected ") + upper);
    ++next_;
    return true;
  }
  bool Punct(char16_t c) {
    if (!IsPunct(c)) return Fail("expected " + mendora::ToUtf8(std::u16string(1, c)));
    ++next_;
    return true;
  }
  bool Comma() {
    if (!IsPunct(u',')) return false;
    ++next_;
    return true;
  }
  bool Name(std::vector<std::u16string>& parts) {
    const Token& t = Peek();
    if (t.kind == Token::Kind::kBracketed ||
        (t.kind == Token::Kind::kWord && mendora::IsRegularIdentifier(t.text))) {
      parts.push_back(t.text);
      ++next_;
      return true;
    }
    return Fail("expected a name");
  }
  bool Unsigned(uint32_t maximum, uint32_t& value) {
    const Token& t = Peek();
    const std::string digits = mendora::ToUtf8(t.text);
    if (t.kind != Token::Kind::kNumber ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return Fail("expected a whole number");
    }
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (r.ec != std::errc() || value > maximum) return Fail("number out of range");
    ++next_;
    return true;
  }

  // One part of a string: '...', N'...', CHAR(n) or NCHAR(n).
  bool StringPart(ParsedLiteral& part) {
    part.kind = ParsedLiteral::Kind::kString;
    if (Peek().kind == Token::Kind::kString) {
      part.unicode = Peek().unicode;
      part.text = Peek().text;
      ++next_;
      return true;
    }
    if (IsWord("CHAR") || IsWord("NCHAR")) {
      part.unicode = IsWord("NCHAR");
      ++next_;
      uint32_t code = 0;
      if (!Punct(u'(') || !Unsigned(part.unicode ? 0xFFFF : 0xFF, code) || !Punct(u')')) {
        return false;
      }
      part.text.assign(1, static_cast<char16_t>(code));
      return true;
    }
    return Fail("expected a string");
  }

  bool Type(std::string& type) {
    if (Peek().kind != Token::Kind::kWord) return Fail("expected a type");
    type = Lower(Peek().text);
    ++next_;
    if (!IsPunct(u'(')) return true;
    ++next_;
    type += "(";
    for (bool first = true;; first = false) {
      if (!first) type += ",";
      if (IsWord("MAX")) {
        type += "max";
        ++next_;
      } else {
        uint32_t n = 0;
        if (!Unsigned(UINT32_MAX, n)) return false;
        type += std::to_string(n);
      }
      if (!Comma()) break;
    }
    type += ")";
    return Punct(u')');
  }

  bool Cast(ParsedLiteral& out) {
    ++next_;  // CAST
    out.kind = ParsedLiteral::Kind::kCast;
    out.operand.resize(1);
    return Punct(u'(') && Literal(out.operand[0]) && Keyword("AS") && Type(out.castType) &&
           Punct(u')');
  }

  bool Literal(ParsedLiteral& out) {
    const Token& t = Peek();
    if (IsWord("NULL") || IsWord("DEFAULT")) {
      out.kind = IsWord("NULL") ? ParsedLiteral::Kind::kNull : ParsedLiteral::Kind::kDefault;
      ++next_;
      return true;
    }
    if (t.kind == Token::Kind::kBinary) {
      if (t.text.size() % 2) return Fail("odd count of hex digits");
      out.kind = ParsedLiteral::Kind::kBinary;
      const std::string hex = mendora::ToUtf8(t.text);
      for (size_t i = 0; i < hex.size(); i += 2) {
        unsigned byte = 0;
        std::from_chars(hex.data() + i, hex.data() + i + 2, byte, 16);
        out.bytes.push_back(static_cast<std::byte>(byte));
      }
      ++next_;
      return true;
    }
    if (IsPunct(u'-') || IsPunct(u'+') || t.kind == Token::Kind::kNumber) {
      out.kind = ParsedLiteral::Kind::kNumber;
      if (t.kind == Token::Kind::kPunct) {
        out.text = t.text;
        ++next_;
        if (Peek().kind != Token::Kind::kNumber) return Fail("expected a number");
      }
      out.text += Peek().text;
      ++next_;
      return true;
    }
    if (IsWord("CONVERT")) {
      ++next_;
      out.kind = ParsedLiteral::Kind::kCast;
      out.operand.resize(1);
      uint32_t style = 0;
      if (!Punct(u'(') || !Type(out.castType) || !Punct(u',') || !Literal(out.operand[0]) ||
          !Punct(u',') || !Unsigned(255, style) || !Punct(u')')) {
        return false;
      }
      out.style = static_cast<int>(style);
      return true;
    }
    if (IsWord("CAST")) {
      if (!Cast(out)) return false;
      if (!IsPunct(u'+')) return true;
      // A join that starts with its first part made (max).
      const ParsedLiteral& first = out.operand[0];
      if (first.kind != ParsedLiteral::Kind::kString ||
          out.castType != (first.unicode ? "nvarchar(max)" : "varchar(max)")) {
        return Fail("a join after a CAST that is not of a string to (max)");
      }
      ParsedLiteral joined = first;
      out = std::move(joined);
    } else if (!StringPart(out)) {
      return false;
    }
    while (IsPunct(u'+')) {
      ++next_;
      ParsedLiteral part;
      if (!StringPart(part)) return false;
      if (part.unicode != out.unicode) return Fail("N and non-N parts in one string");
      out.text += part.text;
    }
    return true;
  }

  std::vector<Token> tokens_;
  size_t next_ = 0;
  std::string& error_;
};

}  // namespace

std::optional<ParsedInsert> ReadInsertStatement(std::u16string_view line, std::string* error) {
  std::string why;
  std::vector<Token> tokens;
  ParsedInsert out;
  if (Tokenize(line, false, tokens, why) && InsertParser(std::move(tokens), why).Statement(out)) {
    return out;
  }
  if (error) *error = why;
  return std::nullopt;
}

std::string CheckStatementTokens(std::u16string_view statement, const TokenRules& rules) {
  if (rules.oneLine) {
    std::u16string_view body = statement;
    if (body.ends_with(u"\r\n")) {
      body.remove_suffix(2);
    } else if (body.ends_with(u"\n")) {
      body.remove_suffix(1);
    }
    const size_t lineBreak = body.find_first_of(u"\r\n");
    if (lineBreak != std::u16string_view::npos) return "line break" + At(lineBreak);
  }
  std::vector<Token> tokens;
  std::string error;
  if (!Tokenize(statement, rules.allowComments, tokens, error)) return error;
  int depth = 0;
  for (const Token& t : tokens) {
    switch (t.kind) {
      case Token::Kind::kPunct:
        if (t.text[0] == u'(') ++depth;
        if (t.text[0] == u')' && --depth < 0) return "unbalanced )" + At(t.at);
        break;
      case Token::Kind::kWord: {
        if (mendora::IsRegularIdentifier(t.text)) break;
        const std::string upper = Upper(t.text);
        if (std::find(rules.keywords.begin(), rules.keywords.end(), upper) ==
            rules.keywords.end()) {
          return "bare word " + mendora::ToUtf8(t.text) +
                 " is neither a regular identifier nor an allowed keyword" + At(t.at);
        }
        break;
      }
      case Token::Kind::kBracketed:
        if (t.text.size() > 128) return "bracketed name longer than 128" + At(t.at);
        break;
      default:
        break;
    }
  }
  if (depth != 0) return "unbalanced (";
  return {};
}

}  // namespace mdftest
