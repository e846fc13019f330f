#include "sql/SqlName.h"

#include <algorithm>
#include <array>
#include <string>

namespace mendora {
namespace {

// The server's reserved keywords, in upper case and sorted, for a binary search.
constexpr std::array<std::string_view, 185> kReserved = {"ADD",
                                                         "ALL",
                                                         "ALTER",
                                                         "AND",
                                                         "ANY",
                                                         "AS",
                                                         "ASC",
                                                         "AUTHORIZATION",
                                                         "BACKUP",
                                                         "BEGIN",
                                                         "BETWEEN",
                                                         "BREAK",
                                                         "BROWSE",
                                                         "BULK",
                                                         "BY",
                                                         "CASCADE",
                                                         "CASE",
                                                         "CHECK",
                                                         "CHECKPOINT",
                                                         "CLOSE",
                                                         "CLUSTERED",
                                                         "COALESCE",
                                                         "COLLATE",
                                                         "COLUMN",
                                                         "COMMIT",
                                                         "COMPUTE",
                                                         "CONSTRAINT",
                                                         "CONTAINS",
                                                         "CONTAINSTABLE",
                                                         "CONTINUE",
                                                         "CONVERT",
                                                         "CREATE",
                                                         "CROSS",
                                                         "CURRENT",
                                                         "CURRENT_DATE",
                                                         "CURRENT_TIME",
                                                         "CURRENT_TIMESTAMP",
                                                         "CURRENT_USER",
                                                         "CURSOR",
                                                         "DATABASE",
                                                         "DBCC",
                                                         "DEALLOCATE",
                                                         "DECLARE",
                                                         "DEFAULT",
                                                         "DELETE",
                                                         "DENY",
                                                         "DESC",
                                                         "DISK",
                                                         "DISTINCT",
                                                         "DISTRIBUTED",
                                                         "DOUBLE",
                                                         "DROP",
                                                         "DUMP",
                                                         "ELSE",
                                                         "END",
                                                         "ERRLVL",
                                                         "ESCAPE",
                                                         "EXCEPT",
                                                         "EXEC",
                                                         "EXECUTE",
                                                         "EXISTS",
                                                         "EXIT",
                                                         "EXTERNAL",
                                                         "FETCH",
                                                         "FILE",
                                                         "FILLFACTOR",
                                                         "FOR",
                                                         "FOREIGN",
                                                         "FREETEXT",
                                                         "FREETEXTTABLE",
                                                         "FROM",
                                                         "FULL",
                                                         "FUNCTION",
                                                         "GOTO",
                                                         "GRANT",
                                                         "GROUP",
                                                         "HAVING",
                                                         "HOLDLOCK",
                                                         "IDENTITY",
                                                         "IDENTITYCOL",
                                                         "IDENTITY_INSERT",
                                                         "IF",
                                                         "IN",
                                                         "INDEX",
                                                         "INNER",
                                                         "INSERT",
                                                         "INTERSECT",
                                                         "INTO",
                                                         "IS",
                                                         "JOIN",
                                                         "KEY",
                                                         "KILL",
                                                         "LEFT",
                                                         "LIKE",
                                                         "LINENO",
                                                         "LOAD",
                                                         "MERGE",
                                                         "NATIONAL",
                                                         "NOCHECK",
                                                         "NONCLUSTERED",
                                                         "NOT",
                                                         "NULL",
                                                         "NULLIF",
                                                         "OF",
                                                         "OFF",
                                                         "OFFSETS",
                                                         "ON",
                                                         "OPEN",
                                                         "OPENDATASOURCE",
                                                         "OPENQUERY",
                                                         "OPENROWSET",
                                                         "OPENXML",
                                                         "OPTION",
                                                         "OR",
                                                         "ORDER",
                                                         "OUTER",
                                                         "OVER",
                                                         "PERCENT",
                                                         "PIVOT",
                                                         "PLAN",
                                                         "PRECISION",
                                                         "PRIMARY",
                                                         "PRINT",
                                                         "PROC",
                                                         "PROCEDURE",
                                                         "PUBLIC",
                                                         "RAISERROR",
                                                         "READ",
                                                         "READTEXT",
                                                         "RECONFIGURE",
                                                         "REFERENCES",
                                                         "REPLICATION",
                                                         "RESTORE",
                                                         "RESTRICT",
                                                         "RETURN",
                                                         "REVERT",
                                                         "REVOKE",
                                                         "RIGHT",
                                                         "ROLLBACK",
                                                         "ROWCOUNT",
                                                         "ROWGUIDCOL",
                                                         "RULE",
                                                         "SAVE",
                                                         "SCHEMA",
                                                         "SECURITYAUDIT",
                                                         "SELECT",
                                                         "SEMANTICKEYPHRASETABLE",
                                                         "SEMANTICSIMILARITYDETAILSTABLE",
                                                         "SEMANTICSIMILARITYTABLE",
                                                         "SESSION_USER",
                                                         "SET",
                                                         "SETUSER",
                                                         "SHUTDOWN",
                                                         "SOME",
                                                         "STATISTICS",
                                                         "SYSTEM_USER",
                                                         "TABLE",
                                                         "TABLESAMPLE",
                                                         "TEXTSIZE",
                                                         "THEN",
                                                         "TO",
                                                         "TOP",
                                                         "TRAN",
                                                         "TRANSACTION",
                                                         "TRIGGER",
                                                         "TRUNCATE",
                                                         "TRY_CONVERT",
                                                         "TSEQUAL",
                                                         "UNION",
                                                         "UNIQUE",
                                                         "UNPIVOT",
                                                         "UPDATE",
                                                         "UPDATETEXT",
                                                         "USE",
                                                         "USER",
                                                         "VALUES",
                                                         "VARYING",
                                                         "VIEW",
                                                         "WAITFOR",
                                                         "WHEN",
                                                         "WHERE",
                                                         "WHILE",
                                                         "WITH",
                                                         "WITHIN GROUP",
                                                         "WRITETEXT"};

bool IsAsciiLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Characters beyond ASCII count as letters, except the blanks and
// punctuation of the general punctuation block, the ideographic space and
// the byte-order mark.
bool IsWideLetter(char16_t c) {
  if (c < 0x80) return false;
  if (c == 0x00A0 || c == 0x3000 || c == 0xFEFF) return false;
  if (c >= 0x2000 && c <= 0x206F) return false;
  return c >= 0x00C0 || c == 0x00AA || c == 0x00B5 || c == 0x00BA;
}

bool IsReserved(std::u16string_view name) {
  if (name.size() > 40) return false;
  std::string upper;
  for (char16_t c : name) {
    if (c >= 0x80) return false;
    upper.push_back(static_cast<char>(c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c));
  }
  return std::binary_search(kReserved.begin(), kReserved.end(), upper);
}

}  // namespace

bool IsRegularIdentifier(std::u16string_view name) {
  if (name.empty() || name.size() > 128) return false;
  const char16_t first = name.front();
  if (!IsAsciiLetter(first) && first != u'_' && !IsWideLetter(first)) return false;
  for (char16_t c : name.substr(1)) {
    const bool ok = IsAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'_' || c == u'@' ||
                    c == u'#' || c == u'$' || IsWideLetter(c);
    if (!ok) return false;
  }
  return !IsReserved(name);
}

std::u16string QuoteName(std::u16string_view name) {
  if (IsRegularIdentifier(name)) return std::u16string(name);
  std::u16string quoted = u"[";
  for (char16_t c : name) {
    quoted.push_back(c);
    if (c == u']') quoted.push_back(u']');
  }
  quoted.push_back(u']');
  return quoted;
}

}  // namespace mendora
