#include "sql/Statements.h"

#include <algorithm>

#include "engine/Collation.h"
#include "engine/TypeCodes.h"
#include "sql/ColumnTypeName.h"
#include "sql/SqlName.h"

namespace mendora {
namespace {

constexpr uint8_t kStatusNotNull = 0x01;

const _SYSCOLUMNS* Column(const Catalogue& c, int64_t tableId, uint32_t colid) {
  for (const auto& column : c.columns) {
    if (column.tableId == tableId && column.colid == static_cast<int64_t>(colid)) return &column;
  }
  return nullptr;
}

struct KeyColumn {
  int64_t tableId = 0;
  uint32_t colid = 0;
  bool descending = false;
};

// The quoted names of the columns, joined by ",". A column the catalogue
// does not know is left out.
std::u16string ColumnList(const Catalogue& c, const std::vector<KeyColumn>& columns) {
  std::u16string list;
  for (const KeyColumn& key : columns) {
    const _SYSCOLUMNS* column = Column(c, key.tableId, key.colid);
    if (!column) continue;
    if (!list.empty()) list += u',';
    list += QuoteName(column->name);
    if (key.descending) list += u" DESC";
  }
  return list;
}

std::u16string Decimal(int64_t n) {
  const std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

// The size in parentheses after a column's type; empty for none.
std::u16string SizeText(const _SYSCOLUMNS& column, std::u16string_view typeName) {
  switch (column.xtype) {
    case kXDecimal:
    case kXNumeric:
      return Decimal(column.prec) + u"," + Decimal(column.scale);
    case kXTime:
    case kXDateTime2:
    case kXDateTimeOffset:
      return Decimal(column.scale);
    // Without a size these would be one byte long and every longer value
    // would be refused.
    case kXBinary:
    case kXVarBinary:
      return column.length == -1 ? u"max" : Decimal(std::max<int16_t>(1, column.length));
    default:
      break;
  }
  const int length = DisplayLength(typeName, column.length);
  if (length == -1) return u"max";
  return length > 0 ? Decimal(length) : std::u16string();
}

// " Constraint [DF_x] Default (text)" for a column whose default the
// catalogue holds with its text; empty otherwise. A default bound from
// outside the table (2000 sp_bindefault) is an object of its own, not a
// constraint of the table, and is left out.
std::u16string DefaultClause(const Catalogue& c, const _SYSCOLUMNS& column) {
  const _SYSOBJECTS* object = ObjectById(c, column.defaultId);
  const _Check_Constraints* text = DefaultText(c, column.defaultId);
  if (!object || !text || text->text.empty() || text->incomplete) return {};
  if (object->parentId != column.tableId) return {};
  return u" Constraint " + BracketName(object->name) + u" Default " + text->text;
}

// " With Nocheck" for a constraint the server never checked the rows
// against: made again with a check, it could refuse the very rows it was
// saved with.
std::u16string NocheckWords(const _SYSOBJECTS* constraint) {
  return constraint && (constraint->notTrusted || constraint->disabled) ? u" With Nocheck" : u"";
}

// `words` and the action's name; empty for no action.
std::u16string ActionClause(std::u16string_view words, uint8_t action) {
  switch (action) {
    case kCascade:
      return std::u16string(words) + u"Cascade";
    case kSetNull:
      return std::u16string(words) + u"Set Null";
    case kSetDefault:
      return std::u16string(words) + u"Set Default";
    default:
      return {};
  }
}

// The table of this id as keys and constraints name it; an id the catalogue
// does not know gives what an empty name gives.
std::u16string QuotedTable(const Catalogue& c, int64_t tableId) {
  const _SYSOBJECTS* table = ObjectById(c, tableId);
  return table ? QuoteTableName(*table) : QuoteName(std::u16string());
}

}  // namespace

std::u16string BracketTableName(const _SYSOBJECTS& table) {
  if (InDefaultSchema(table)) return BracketName(table.name);
  return BracketName(table.schemaName) + u"." + BracketName(table.name);
}

std::u16string QuoteTableName(const _SYSOBJECTS& table) {
  if (InDefaultSchema(table)) return QuoteName(table.name);
  return QuoteName(table.schemaName) + u"." + QuoteName(table.name);
}

std::u16string BracketTypeName(const _AliasType& type) {
  if (type.schemaName.empty() || type.schemaName == u"dbo") return BracketName(type.name);
  return BracketName(type.schemaName) + u"." + BracketName(type.name);
}

std::u16string CreateSchemaStatement(std::u16string_view schema) {
  return u"Create Schema " + BracketName(schema);
}

std::u16string BracketName(std::u16string_view name) {
  std::u16string out = u"[";
  for (char16_t ch : name) {
    out += ch;
    if (ch == u']') out += u']';
  }
  out += u']';
  return out;
}

std::u16string ColumnTypeText(const _SYSCOLUMNS& column) {
  std::u16string type = ColumnTypeName(column);
  std::u16string size = SizeText(column, type);
  // A type the program cannot name would make the whole statement fail;
  // its bytes are kept as they are.
  if (type == u"no such datatype exist") {
    type = u"varbinary";
    size = u"max";
  }
  if (!size.empty()) type += u"(" + size + u")";
  return type;
}

std::u16string TableDefinitionStatement(const Catalogue& c, int64_t tableId,
                                        std::u16string_view tableName) {
  std::vector<const _SYSCOLUMNS*> columns;
  for (const auto& column : c.columns) {
    if (column.tableId == tableId) columns.push_back(&column);
  }
  std::stable_sort(columns.begin(), columns.end(),
                   [](const _SYSCOLUMNS* a, const _SYSCOLUMNS* b) { return a->colid < b->colid; });
  const _SYSOBJECTS* table = ObjectById(c, tableId);
  std::u16string s = u"Create Table ";
  if (table && !InDefaultSchema(*table)) s += BracketName(table->schemaName) + u".";
  s += BracketName(tableName) + u" (";
  for (size_t k = 0; k < columns.size(); ++k) {
    const _SYSCOLUMNS& column = *columns[k];
    // A computed column is its definition; without one the file keeps, it is
    // declared as the plain column its values were read from.
    if (column.computed && !column.computedText.empty()) {
      s += BracketName(column.name) + u" As " + column.computedText;
      if (column.persisted) s += u" Persisted";
      if (k + 1 < columns.size()) s += u',';
      continue;
    }
    // The NOT NULL bit alone: a status word with other bits too (an
    // identity, a ROWGUIDCOL) still says whether the column takes NULL.
    std::u16string_view word = (column.status & kStatusNotNull) ? u"Not Null" : u"Null";
    // A column declared with an alias type keeps it (CreateTypeStatement).
    const _AliasType* alias = AliasTypeOf(c, column);
    s += BracketName(column.name) + u" " +
         (alias ? BracketTypeName(*alias) : ColumnTypeText(column));
    // Every 8-bit text column names its collation, so the script replays to
    // the same text in a database of any default.
    if (IsEightBitText(column.xtype)) {
      const std::string collation =
          CollationName(column.collationId ? column.collationId : c.databaseCollation);
      if (!collation.empty())
        s += u" Collate " + std::u16string(collation.begin(), collation.end());
    }
    if (column.identity) {
      s += u" Identity(" + Decimal(column.identitySeed) + u"," + Decimal(column.identityIncrement) +
           u")";
    }
    if (column.rowGuidCol) s += u" Rowguidcol";
    s += u" ";
    s += word;
    s += DefaultClause(c, column);
    if (k + 1 < columns.size()) s += u',';
  }
  s += u')';
  return s;
}

std::u16string CreateTypeStatement(const _AliasType& type) {
  _SYSCOLUMNS base;
  base.xtype = type.xtype;
  base.length = type.length;
  base.prec = type.prec;
  base.scale = type.scale;
  return u"Create Type " + BracketTypeName(type) + u" From " + ColumnTypeText(base) +
         (type.notNull ? u" Not Null" : u" Null");
}

bool InsertTakesColumn(const _SYSCOLUMNS& column) {
  return !(column.computed && !column.computedText.empty()) && column.xtype != kXTimestamp;
}

std::u16string InsertHead(const _SYSOBJECTS& table, const std::vector<_SYSCOLUMNS>& columns) {
  const bool named = std::any_of(columns.begin(), columns.end(), [](const _SYSCOLUMNS& column) {
    return column.identity || !InsertTakesColumn(column);
  });
  std::u16string head = u"Insert into " + BracketTableName(table) + u" ";
  if (named) {
    head += u"(";
    bool first = true;
    for (const _SYSCOLUMNS& column : columns) {
      if (!InsertTakesColumn(column)) continue;
      if (!first) head += u",";
      first = false;
      head += BracketName(column.name);
    }
    head += u") ";
  }
  return head + u"Values(";
}

std::u16string IdentityInsertStatement(const _SYSOBJECTS& table, bool on) {
  return u"Set Identity_Insert " + BracketTableName(table) + (on ? u" On" : u" Off");
}

std::u16string ReseedStatement(const _SYSOBJECTS& table, const _SYSCOLUMNS& identity) {
  std::u16string name;
  for (char16_t ch : BracketTableName(table)) {
    name += ch;
    if (ch == u'\'') name += u'\'';
  }
  return u"DBCC CHECKIDENT ('" + name + u"', RESEED, " + Decimal(identity.identityLast) + u")";
}

std::u16string KeyOrIndexStatement(const Catalogue& c, int64_t tableId, uint16_t indid,
                                   std::u16string_view kind, std::u16string_view name,
                                   bool uniqueIndex, StatementUse use) {
  const bool script = use == StatementUse::kScript;
  const std::u16string table = QuotedTable(c, tableId);
  const bool key = kind == u"PK" || kind == u"UQ";
  // A key or index says which index holds the table's rows: a key left to
  // the server's choice would take the clustered place an index made after
  // it needs (pubs employee: a nonclustered key, a clustered index). The
  // preview says it too, so it reads as the script does.
  std::u16string_view storage;
  if (indid == 1) storage = u"Clustered";
  if (indid > 1) storage = u"Nonclustered";
  std::u16string text;
  if (key) {
    text = u"Alter Table " + table + u" Add Constraint " + QuoteName(name) +
           (kind == u"PK" ? u" Primary Key"
            : script      ? u" Unique"
                          : u" Unique Key");
    if (!storage.empty()) text += u" " + std::u16string(storage);
    text += u"(";
  } else {
    text = std::u16string(uniqueIndex ? u"Create Unique " : u"Create ");
    if (!storage.empty()) text += std::u16string(storage) + u" ";
    text += u"Index " + QuoteName(name) + u" On " + table + u"(";
  }
  std::vector<KeyColumn> keys, included;
  for (const auto& k : c.indexKeys) {
    if (k.objectId != static_cast<uint32_t>(tableId) || k.indexId != indid) continue;
    (k.included ? included : keys).push_back({tableId, k.columnId, k.descending});
  }
  const std::u16string keyList = ColumnList(c, keys);
  if (script && keyList.empty()) return {};
  text += keyList;
  text += u')';
  // A key has no included columns; an index keeps them apart from its key.
  if (!key && !included.empty()) {
    for (KeyColumn& column : included) column.descending = false;
    text += u" Include(" + ColumnList(c, included) + u")";
  }
  return text;
}

std::u16string ForeignKeyStatement(const Catalogue& c, int64_t constraintId, StatementUse use) {
  const _SYSOBJECTS* constraint = ObjectById(c, constraintId);
  const std::u16string name = constraint ? constraint->name : std::u16string();
  const std::u16string table =
      constraint ? QuotedTable(c, constraint->parentId) : QuoteName(std::u16string());
  std::vector<KeyColumn> referencing, referenced;
  for (const auto& d : c.dependencies) {
    if (d.depId != static_cast<uint32_t>(constraintId)) continue;
    const int64_t tableId = static_cast<int32_t>(d.indepId);
    if (d.refClass == kReferencingColumn) referencing.push_back({tableId, d.indepSubId, false});
    if (d.refClass == kReferencedColumn) referenced.push_back({tableId, d.indepSubId, false});
  }
  const std::u16string referencedTable =
      referenced.empty() ? std::u16string() : QuotedTable(c, referenced.front().tableId);
  const std::u16string from = ColumnList(c, referencing);
  const std::u16string to = ColumnList(c, referenced);
  if (use == StatementUse::kScript && (from.empty() || to.empty())) return {};
  std::u16string statement = u"Alter table " + table + NocheckWords(constraint) +
                             u" Add Constraint " + QuoteName(name) + u" Foreign Key(" + from +
                             u") References " + referencedTable + u"(" + to + u")";
  if (constraint) {
    statement += ActionClause(u" On Delete ", constraint->deleteAction);
    statement += ActionClause(u" On Update ", constraint->updateAction);
    if (constraint->notForReplication) statement += u" Not For Replication";
  }
  return statement;
}

std::u16string DisableConstraintStatement(const Catalogue& c, int64_t constraintId) {
  const _SYSOBJECTS* constraint = ObjectById(c, constraintId);
  if (!constraint || !constraint->disabled) return {};
  return u"Alter Table " + QuotedTable(c, constraint->parentId) + u" Nocheck Constraint " +
         QuoteName(constraint->name);
}

std::u16string CheckConstraintStatement(const Catalogue& c, int64_t constraintId) {
  const _SYSOBJECTS* constraint = ObjectById(c, constraintId);
  const std::u16string name = constraint ? constraint->name : std::u16string();
  const std::u16string table =
      constraint ? QuotedTable(c, constraint->parentId) : QuoteName(std::u16string());
  const _Check_Constraints* check = CheckText(c, constraintId);
  std::u16string statement =
      u"Alter Table " + table + NocheckWords(constraint) + u" Add Constraint " + QuoteName(name) +
      u" Check " + (constraint && constraint->notForReplication ? u"Not For Replication " : u"") +
      (check ? check->text : std::u16string());
  // A comment to the end of the line: the statement still runs as far as it goes.
  if (check && check->incomplete) statement += u" " + std::u16string(kIncompleteTextComment);
  return statement;
}

std::vector<std::u16string_view> ModuleTextLines(std::u16string_view text) {
  auto breakLength = [&](size_t at) -> size_t {
    if (text[at] == u'\r') return at + 1 < text.size() && text[at + 1] == u'\n' ? 2 : 1;
    return text[at] == u'\n' ? 1 : 0;
  };
  while (!text.empty() && breakLength(0)) text.remove_prefix(breakLength(0));
  std::vector<std::u16string_view> lines;
  for (size_t at; (at = text.find_first_of(u"\r\n")) != std::u16string_view::npos;) {
    lines.push_back(text.substr(0, at));
    text.remove_prefix(at + breakLength(at));
  }
  lines.push_back(text);
  return lines;
}

}  // namespace mendora
