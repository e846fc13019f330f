#include "browser/KeyPreview.h"

#include <algorithm>
#include <unordered_map>

#include "engine/IndexEntry.h"
#include "sql/Statements.h"

namespace mendora {
namespace {

constexpr int kStatementWidth = 1500;

const _SYSINDEXES* IndexRow(const Catalogue& c, int64_t tableId, uint16_t indid) {
  for (const auto& row : c.indexRows) {
    if (row.tableId == tableId && row.indid == indid) return &row;
  }
  return nullptr;
}

// A disabled constraint's preview also says so, as the script does: the
// statement that disables it on the next line.
std::u16string WithDisable(const Catalogue& c, int64_t constraintId, std::u16string statement) {
  const std::u16string disable = DisableConstraintStatement(c, constraintId);
  if (!disable.empty()) statement += u"\n" + disable;
  return statement;
}

}  // namespace

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
      return Preview{u"DDL For Foreign Key",
                     WithDisable(c, node.objectId, ForeignKeyStatement(c, node.objectId))};
    case NodeKind::kCheck:
      return Preview{u"DDL For Check Constraint",
                     WithDisable(c, node.objectId, CheckConstraintStatement(c, node.objectId))};
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

bool ShowKeyObjectDdl(ui::ListControl& list, const Catalogue& c, const NodeObject& node) {
  std::optional<Preview> preview = KeyObjectPreview(c, node);
  if (!preview) return false;
  list.ShowList(true);
  ShowStatement(list, preview->heading, preview->text);
  return true;
}

}  // namespace mendora
