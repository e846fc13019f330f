// The statements that recreate what the catalogue holds: a table, a key, an
// index, a foreign key, a check constraint. The right pane's previews and the
// saved scripts both build them here, so a statement reads the same in both.
//
//   Create Table [T] ([a] int Identity(1,1) Not Null,
//                     [b] money Null Constraint [DF_T_b] Default (0),[c] As ([b]*(2)),
//                     [d] As ([b]+(1)) Persisted,[e] uniqueidentifier Rowguidcol Not Null)
//   Alter Table T Add Constraint N Primary Key(a,b)
//   Alter Table T Add Constraint N Unique(a)          (the preview: Unique Key(a))
//   Create [Unique ]Index N On T(a,b DESC)[ Include(c)]
// (a key or index also says Clustered or Nonclustered before its column
// list or the word Index: Primary Key Nonclustered(a), Create Unique
// Clustered Index N On T(a); the preview as the script)
//   Alter table T [With Nocheck] Add Constraint N Foreign Key(a) References R(b)
//     [On Delete Cascade|Set Null|Set Default] [On Update ...] [Not For Replication]
//   Alter Table T [With Nocheck] Add Constraint N Check [Not For Replication] <text>
//   Alter Table T Nocheck Constraint N           (after a disabled constraint)
//
// Keys and foreign keys list their columns in key order. Names go through
// QuoteName, except in the table definition, which brackets every name (a "]"
// in a name doubled). A table outside dbo is named with its schema, in every
// statement that names it (Sales.Orders, [Sales].[Orders]).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Catalogue.h"

namespace mendora {

// Said before a module's text, and after a check's, whose stored rows have a
// gap: what follows is the text up to the gap.
inline constexpr std::u16string_view kIncompleteTextComment = u"-- text incomplete: rows missing";

// Where a statement goes: the preview shows the words the user knows the
// previews by; a script holds only statements the server runs, so a unique
// key is written "Unique(" and a statement without columns is not written.
enum class StatementUse { kPreview, kScript };

// "[" + name + "]" with each "]" doubled.
std::u16string BracketName(std::u16string_view name);

// A table's name as the statements write it: "[Orders]", and for a table
// outside dbo its schema before it, "[Sales].[Orders]". Objects in dbo keep
// the bare name, as they always have.
std::u16string BracketTableName(const _SYSOBJECTS& table);
// The same through QuoteName: "Orders", "Sales.Orders".
std::u16string QuoteTableName(const _SYSOBJECTS& table);

// An alias type's name as the statements write it: "[tid]", and
// "[Sales].[tid]" for a type of another schema.
std::u16string BracketTypeName(const _AliasType& type);

// "Create Schema [Sales]": a schema other than dbo, made before the first
// table in it. The server takes it only as the first statement of a batch.
std::u16string CreateSchemaStatement(std::u16string_view schema);

// A column's type as the table definition declares it, with its size:
// "nvarchar(40)", "decimal(10,2)", "varbinary(max)".
std::u16string ColumnTypeText(const _SYSCOLUMNS& column);

// The Create Table statement of the table with this id, its columns in colid
// order, the name qualified with the table's schema outside dbo. A column is Not Null where its
// status has the NOT NULL bit (0x01), whatever other bits it has, and Null otherwise: the statement
// must run.
std::u16string TableDefinitionStatement(const Catalogue& catalogue, int64_t tableId,
                                        std::u16string_view tableName);

// "Create Type [id] From varchar(11) Not Null": an alias type, made before
// the first table whose columns are declared with it.
std::u16string CreateTypeStatement(const _AliasType& type);

// Whether an Insert gives the column a value: computed and rowversion
// (timestamp) columns take none; the server makes theirs. A computed
// column whose definition the file no longer holds is declared as a plain
// column (TableDefinitionStatement) and keeps its saved values.
bool InsertTakesColumn(const _SYSCOLUMNS& column);

// "Insert into [T] Values(", or, where an Insert must name its columns (an
// identity column, or a column that takes no value), "Insert into [T]
// ([a],[b]) Values(" naming every column InsertTakesColumn takes.
std::u16string InsertHead(const _SYSOBJECTS& table, const std::vector<_SYSCOLUMNS>& columns);

// "Set Identity_Insert [T] On" / "Off": the table's identity values are
// inserted as saved, not made anew.
std::u16string IdentityInsertStatement(const _SYSOBJECTS& table, bool on);

// "DBCC CHECKIDENT ('[T]', RESEED, n)": the identity goes on from the last
// value the file records, not from the highest value inserted.
std::u16string ReseedStatement(const _SYSOBJECTS& table, const _SYSCOLUMNS& identity);

// `kind` "PK" or "UQ" for a key, anything else for an index. Empty for a
// script when the key or index has no column the catalogue knows.
std::u16string KeyOrIndexStatement(const Catalogue& catalogue, int64_t tableId, uint16_t indid,
                                   std::u16string_view kind, std::u16string_view name,
                                   bool uniqueIndex, StatementUse use = StatementUse::kPreview);
// Empty for a script when either column list is empty.
std::u16string ForeignKeyStatement(const Catalogue& catalogue, int64_t constraintId,
                                   StatementUse use = StatementUse::kPreview);
std::u16string CheckConstraintStatement(const Catalogue& catalogue, int64_t constraintId);
// "Alter Table T Nocheck Constraint N" for a disabled foreign key or check,
// written after the statement that makes it; empty for an enabled one.
std::u16string DisableConstraintStatement(const Catalogue& catalogue, int64_t constraintId);

// The lines of a module's stored text: leading line breaks dropped, cut at
// each CR LF, and at a CR or LF standing alone (texts written by other tools
// hold those); a text that ends with a line break gets a last, empty line.
// The lines are the text's own, tabs and all.
std::vector<std::u16string_view> ModuleTextLines(std::u16string_view text);

}  // namespace mendora
