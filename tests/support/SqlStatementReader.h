// Reading back what the data scripts write: one "Insert into" statement a
// line, its literals taken apart as the server would read them, and a check
// of any statement's tokens. Written from the statement forms themselves,
// not from the writers' code, so that the two check each other.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mdftest {

struct ParsedLiteral {
  enum class Kind { kNull, kDefault, kString, kNumber, kBinary, kCast };
  Kind kind = Kind::kNull;
  // kString: written as N'...' (with NCHAR(n) parts) rather than '...'.
  bool unicode = false;
  // kString: the characters, quotes undoubled and the CHAR(n)/NCHAR(n) parts
  // joined in; kNumber: the number as written, sign included ("-12.50", "1.5E0").
  std::u16string text;
  std::vector<std::byte> bytes;  // kBinary: the bytes of 0x...
  // kCast: CAST(<literal> AS <type>) or CONVERT(<type>, <literal>, <style>);
  // the type as written, lower-case and without blanks ("decimal(4,2)"),
  // `operand` the one literal converted, `style` the style (-1 for a CAST).
  std::string castType;
  std::vector<ParsedLiteral> operand;
  int style = -1;
};

struct ParsedInsert {
  std::vector<std::u16string> table;    // the parts of the name, brackets removed
  std::vector<std::u16string> columns;  // the column list, when there is one
  std::vector<ParsedLiteral> values;
};

// One statement "Insert into <name> [(<columns>)] Values(<literal>, ...)",
// keywords in any case, an optional ";" and line end after it. A literal is
// NULL, DEFAULT, a number (an optional sign, digits, a point, an exponent),
// 0x and hex digits, a string, CAST(<literal> AS <type>) or
// CONVERT(<type>, <literal>, <style>). A string is one
// or more parts joined with +: '...' or N'...' with '' for a quote, CHAR(n)
// or NCHAR(n); its first part may be CAST(<part> AS varchar(max)) or
// nvarchar(max). A string's parts are all N or all not. Nothing, and
// `error` set, when the line is anything else.
std::optional<ParsedInsert> ReadInsertStatement(std::u16string_view line,
                                                std::string* error = nullptr);

struct TokenRules {
  // The reserved words that may stand bare (in any case); any other bare
  // word must be a regular identifier.
  std::vector<std::string> keywords = {"INSERT",  "INTO",    "VALUES", "NULL",
                                       "DEFAULT", "CONVERT", "AS"};
  // No CR or LF but one line end at the very end.
  bool oneLine = true;
  bool allowComments = false;
};

// The tokens of a T-SQL statement: strings and bracketed names closed (with
// their quotes and "]" doubled inside), parentheses balanced, no
// double-quoted names, every bare word a regular identifier or an allowed
// keyword, no number run into a word, no control character outside a
// string. Empty when all hold, else the first fault and where.
std::string CheckStatementTokens(std::u16string_view statement, const TokenRules& rules = {});

}  // namespace mdftest
