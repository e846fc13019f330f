#include "browser/KeyPreview.h"

#include <algorithm>
#include <unordered_map>

#include "browser/ModulePreview.h"
#include "engine/SqlName.h"
#include "engine/IndexEntry.h"

namespace mendora {
namespace {

constexpr int kStatementWidth = 1500;

const _SYSOBJECTS* ObjectById(const Catalogue& c, int64_t id) {
  for (const auto& o : c.objects) {
    if (o.id == id) return &o;
  }
  return nullptr;
}

std::u16string ObjectName(const Catalogue& c, int64_t id) {
  const _SYSOBJECTS* o = ObjectById(c, id);
  return o ? o->name : std::u16string();
}

const _SYSCOLUMNS* Column(const Catalogue& c, int64_t tableId, uint32_t colid) {
  for (const auto& column : c.columns) {
    if (column.tableId == tableId && column.colid == static_cast<int64_t>(colid)) return &column;
  }
  return nullptr;
}

// The quoted names of the columns, joined by ",". A column the catalogue
// does not know is left out.
template <typename Columns>
std::u16string ColumnList(const Catalogue& c, const Columns& columns) {
  std::u16string list;
  for (const auto& [tableId, colid] : columns) {
    const _SYSCOLUMNS* column = Column(c, tableId, colid);
    if (!column) continue;
    if (!list.empty()) list += u',';
    list += QuoteName(column->name);
  }
  return list;
}

const _SYSINDEXES* IndexRow(const Catalogue& c, int64_t tableId, uint16_t indid) {
  for (const auto& row : c.indexRows) {
    if (row.tableId == tableId && row.indid == indid) return &row;
  }
  return nullptr;
}

}  // namespace

std::u16string KeyOrIndexStatement(const Catalogue& c, int64_t tableId, uint16_t indid,
                                   std::u16string_view kind, std::u16string_view name,
                                   bool uniqueIndex) {
  const std::u16string table = QuoteName(ObjectName(c, tableId));
  std::u16string text;
  if (kind == u"PK" || kind == u"UQ") {
    text = u"Alter Table " + table + u" Add Constraint " + QuoteName(name) +
           (kind == u"PK" ? u" Primary Key(" : u" Unique Key(");
  } else {
    text = std::u16string(uniqueIndex ? u"Create Unique Index " : u"Create Index ") +
           QuoteName(name) + u" On " + table + u"(";
  }
  std::vector<std::pair<int64_t, uint32_t>> keys, included;
  for (const auto& k : c.indexKeys) {
    if (k.objectId != static_cast<uint32_t>(tableId) || k.indexId != indid) continue;
    (k.included ? included : keys).emplace_back(tableId, k.columnId);
  }
  text += ColumnList(c, keys);
  text += u')';
  // A key has no included columns; an index keeps them apart from its key.
  if (kind != u"PK" && kind != u"UQ" && !included.empty()) {
    text += u" Include(" + ColumnList(c, included) + u")";
  }
  return text;
}

std::u16string ForeignKeyStatement(const Catalogue& c, int64_t constraintId) {
  const _SYSOBJECTS* constraint = ObjectById(c, constraintId);
  const std::u16string name = constraint ? constraint->name : std::u16string();
  const std::u16string table = constraint ? ObjectName(c, constraint->parentId) : std::u16string();
  std::vector<std::pair<int64_t, uint32_t>> referencing, referenced;
  for (const auto& d : c.dependencies) {
    if (d.depId != static_cast<uint32_t>(constraintId)) continue;
    const int64_t tableId = static_cast<int32_t>(d.indepId);
    if (d.refClass == kReferencingColumn) referencing.emplace_back(tableId, d.indepSubId);
    if (d.refClass == kReferencedColumn) referenced.emplace_back(tableId, d.indepSubId);
  }
  const std::u16string referencedTable =
      referenced.empty() ? std::u16string() : QuoteName(ObjectName(c, referenced.front().first));
  return u"Alter table " + QuoteName(table) + u" Add Constraint " + QuoteName(name) +
         u" Foreign Key(" + ColumnList(c, referencing) + u") References " + referencedTable + u"(" +
         ColumnList(c, referenced) + u")";
}

std::u16string CheckConstraintStatement(const Catalogue& c, int64_t constraintId) {
  const _SYSOBJECTS* constraint = ObjectById(c, constraintId);
  const std::u16string name = constraint ? constraint->name : std::u16string();
  const std::u16string table = constraint ? ObjectName(c, constraint->parentId) : std::u16string();
  std::u16string text;
  bool incomplete = false;
  for (const auto& check : c.checkTexts) {
    if (check.objectId == static_cast<uint32_t>(constraintId)) {
      text = check.text;
      incomplete = check.incomplete;
      break;
    }
  }
  std::u16string statement = u"Alter Table " + QuoteName(table) + u" Add Constraint " +
                             QuoteName(name) + u" Check " + text;
  // A comment to the end of the line: the statement still runs as far as it goes.
  if (incomplete) statement += u" " + std::u16string(kIncompleteTextComment);
  return statement;
}

std::optional<Preview> KeyObjectPreview(const Catalogue& c, const NodeObject& node) {
  switch (node.kind) {
    case NodeKind::kPrimaryKey:
    case NodeKind::kUniqueKey: {
      const bool primary = node.kind == NodeKind::kPrimaryKey;
      const std::u16string name = ObjectName(c, node.objectId);
      // The key's index: the table's index row of the key's name.
      uint16_t indid = 0;
      for (const auto& row : c.indexRows) {
        if (row.tableId == node.tableId && row.name == name) {
          indid = row.indid;
          break;
        }
      }
      return Preview{
          primary ? u"DDL For Primary Key" : u"DDL For Unique Key",
          KeyOrIndexStatement(c, node.tableId, indid, primary ? u"PK" : u"UQ", name, false)};
    }
    case NodeKind::kIndex: {
      const _SYSINDEXES* row = IndexRow(c, node.tableId, node.indid);
      if (!row) return std::nullopt;
      return Preview{u"DDL For Indexes",
                     KeyOrIndexStatement(c, node.tableId, node.indid, u"", row->name, row->unique)};
    }
    case NodeKind::kForeignKey:
      return Preview{u"DDL For Foreign Key", ForeignKeyStatement(c, node.objectId)};
    case NodeKind::kCheck:
      return Preview{u"DDL For Check Constraint", CheckConstraintStatement(c, node.objectId)};
    default:
      return std::nullopt;
  }
}

std::vector<std::pair<std::u16string, NodeObject>> PreviewObjects(const Catalogue& c,
                                                                  const VersionFlags& version) {
  std::vector<std::pair<std::u16string, NodeObject>> out;
  std::unordered_map<int64_t, std::vector<const _SYSOBJECTS*>> children;
  for (const auto& o : c.objects) children[o.parentId].push_back(&o);
  std::unordered_map<int64_t, std::vector<const _SYSINDEXES*>> indexes;
  for (const auto& row : c.indexRows) indexes[row.tableId].push_back(&row);
  auto add = [&](int64_t table, std::u16string_view type, NodeKind kind) {
    for (const _SYSOBJECTS* o : children[table]) {
      if (o->type == type) out.push_back({o->name, {kind, o->id, table, 0}});
    }
  };
  for (const auto& table : c.userTables) {
    add(table.id, u"PK", NodeKind::kPrimaryKey);
    add(table.id, u"UQ", NodeKind::kUniqueKey);
    add(table.id, u"F ", NodeKind::kForeignKey);
    std::vector<uint16_t> seen;
    for (const _SYSINDEXES* row : indexes[table.id]) {
      if (std::find(seen.begin(), seen.end(), row->indid) != seen.end()) continue;
      seen.push_back(row->indid);
      if (row->name.empty() || row->primaryKey || row->uniqueConstraint) continue;
      if (std::u16string_view(row->name).starts_with(u"_WA_Sys_")) continue;
      if (!IsIndexEntry(*row, version)) continue;
      out.push_back({row->name, {NodeKind::kIndex, 0, table.id, row->indid}});
    }
    add(table.id, u"C ", NodeKind::kCheck);
  }
  for (const auto& o : c.objects) {
    if (IsModuleType(o.type)) out.push_back({o.name, {NodeKind::kModule, o.id, o.parentId, 0}});
  }
  return out;
}

void ShowStatement(ui::ListControl& list, std::u16string_view heading, std::u16string_view text) {
  list.DeleteAllItems();
  for (int n = list.GetColumnCount(); n > 0; --n) list.DeleteColumn(0);
  list.InsertColumn(0, heading, kStatementWidth);
  list.InsertItem(0, u"");
  list.SetItemText(0, 0, text);
}

void ShowKeyOrIndexDdl(ui::ListControl& list, const Catalogue& c, int64_t tableId, uint16_t indid,
                       std::u16string_view kind, std::u16string_view name, bool uniqueIndex) {
  const std::u16string_view heading = kind == u"PK"   ? u"DDL For Primary Key"
                                      : kind == u"UQ" ? u"DDL For Unique Key"
                                                      : u"DDL For Indexes";
  ShowStatement(list, heading, KeyOrIndexStatement(c, tableId, indid, kind, name, uniqueIndex));
}

void ShowForeignKeyDdl(ui::ListControl& list, const Catalogue& c, int64_t constraintId) {
  ShowStatement(list, u"DDL For Foreign Key", ForeignKeyStatement(c, constraintId));
}

void ShowCheckConstraintDdl(ui::ListControl& list, const Catalogue& c, int64_t constraintId) {
  ShowStatement(list, u"DDL For Check Constraint", CheckConstraintStatement(c, constraintId));
}

bool ShowKeyObjectDdl(ui::ListControl& list, const Catalogue& c, const NodeObject& node) {
  std::optional<Preview> preview = KeyObjectPreview(c, node);
  if (!preview) return false;
  list.ShowList(true);
  ShowStatement(list, preview->heading, preview->text);
  return true;
}

}  // namespace mendora
