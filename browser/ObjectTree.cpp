#include "browser/ObjectTree.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "engine/Collation.h"
#include "engine/IndexEntry.h"
#include "engine/TypeCodes.h"
#include "engine/Utf16.h"
#include "sql/ColumnTypeName.h"
#include "ui/ProductTexts.h"

namespace mendora {

namespace {

constexpr std::u16string_view kWaSysPrefix = u"_WA_Sys_";  // automatically created statistics

// Decimal text of a count or a size.
std::u16string Decimal(int64_t value) {
  std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// label + "(" + n + ")"
std::u16string Counted(std::u16string_view prefix, int64_t count) {
  std::u16string text(prefix);
  text += u'(';
  text += Decimal(count);
  text += u')';
  return text;
}

// The product name is plain ASCII.
bool IsProcedure(std::u16string_view type) {
  return type == u"P " || type == u"X ";
}
bool IsFunction(std::u16string_view type) {
  return type == u"FN" || type == u"IF" || type == u"TF";
}

}  // namespace

std::u16string ProductRootLabel() {
  return WidenAscii(texts::kProductName);
}

std::u16string ColumnLabel(const _SYSCOLUMNS& column, uint32_t databaseCollation) {
  std::u16string type = ColumnTypeName(column);
  std::u16string_view nullability = NullabilityWord(column.status);
  std::u16string label = column.name;
  label += u'(';
  label += type;
  if (column.xtype == kXDecimal || column.xtype == kXNumeric) {
    label += u'(' + Decimal(column.prec) + u',' + Decimal(column.scale) + u')';
  } else if (column.xtype == kXTime || column.xtype == kXDateTime2 ||
             column.xtype == kXDateTimeOffset) {
    label += u'(' + Decimal(column.scale) + u')';
  } else if (int length = DisplayLength(type, column.length); length != 0) {
    label += u'(';
    if (length == -1) {
      label += u"max";
    } else if (length > 0) {
      label += Decimal(length);
    }
    label += u')';
  }
  label += u',';
  label += nullability;
  // Where a new row's value comes from, when not from the Insert.
  if (column.identity) {
    label += u",Identity(" + Decimal(column.identitySeed) + u',' +
             Decimal(column.identityIncrement) + u')';
  }
  if (column.computed) label += u",Computed";
  if (IsEightBitText(column.xtype) && column.collationId != 0 &&
      column.collationId != databaseCollation) {
    const std::string name = CollationName(column.collationId);
    label += u',';
    label.append(name.begin(), name.end());
  }
  label += u')';
  return label;
}

std::u16string ColumnToolTip(const Catalogue& catalogue, const _SYSCOLUMNS& column) {
  const _Check_Constraints* text =
      column.defaultId ? DefaultText(catalogue, column.defaultId) : nullptr;
  if (!text || text->text.empty()) return {};
  return ColumnLabel(column, catalogue.databaseCollation) + u"\nDefault " + text->text;
}

// Everything the per-table steps look up, keyed once per build. Each entry
// keeps the catalogue's list order, so taking the first or last element gives
// what a walk from the list head would find.
struct ObjectTreeBuilder::Lookups {
  std::unordered_map<int64_t, uint32_t> rowCountByTable;  // the last index row's count
  std::unordered_map<int64_t, std::vector<const _SYSCOLUMNS*>> columnsByTable;
  std::unordered_map<int64_t, std::vector<const _SYSINDEXES*>> indexRowsByTable;
  std::unordered_map<int64_t, std::vector<const _SYSOBJECTS*>> childObjectsByParent;
  std::unordered_set<std::u16string_view> objectNames;

  explicit Lookups(const Catalogue& c) {
    for (const auto& row : c.indexRows) {
      int64_t table = row.tableId;  // sign-extended, as object ids are
      rowCountByTable[table] = row.rowCount;
      indexRowsByTable[table].push_back(&row);
    }
    for (const auto& column : c.columns) columnsByTable[column.tableId].push_back(&column);
    for (const auto& object : c.objects) {
      objectNames.insert(object.name);
      if (object.type == u"PK" || object.type == u"UQ" || object.type == u"F " ||
          object.type == u"C ") {
        childObjectsByParent[object.parentId].push_back(&object);
      }
    }
  }

  template <typename Map>
  static const typename Map::mapped_type* Find(const Map& map, int64_t key) {
    auto it = map.find(key);
    return it == map.end() ? nullptr : &it->second;
  }
};

ObjectTreeBuilder::ObjectTreeBuilder(ui::TreeControl& tree, const Catalogue& catalogue,
                                     const VersionFlags& version, ObjectHandleList& handles,
                                     mendora::JobControl* job)
    : tree_(tree),
      catalogue_(catalogue),
      version_(version),
      handles_(handles),
      job_(job),
      lookups_(std::make_unique<Lookups>(catalogue)) {}

ObjectTreeBuilder::~ObjectTreeBuilder() = default;

void ObjectTreeBuilder::Checkpoint() {
  if (job_) job_->Checkpoint();
}

void ObjectTreeBuilder::Remember(ui::TreeHandle node, NodeObject object) {
  if (node != ui::kNoTreeItem) nodes_.objects[node] = object;
}

ui::TreeHandle ObjectTreeBuilder::Insert(ui::TreeHandle parent, std::u16string_view text) {
  return tree_.InsertItem(parent, text);
}

ObjectTreeNodes ObjectTreeBuilder::BuildObjectTree() {
  nodes_ = ObjectTreeNodes{};
  nodes_.root = tree_.GetRootItem();
  if (nodes_.root == ui::kNoTreeItem) return nodes_;

  // The root, the Tables node, the tables, Programmability, its groups and the
  // modules carry check boxes; nothing inserted after the modules does.
  tree_.SetCheckBoxStyle(true);
  if (tree_.GetStateImage(nodes_.root) == ui::kNoCheckBox) {
    tree_.SetStateImage(nodes_.root, ui::kUnchecked);
  }
  nodes_.tables = Insert(nodes_.root, u"Tables");
  handles_.push_back({nodes_.root});
  handles_.push_back({nodes_.tables});
  tree_.Expand(nodes_.root, ui::TreeExpand::kExpand);

  std::vector<ui::TreeHandle> tableNodes;
  tableNodes.reserve(catalogue_.userTables.size());
  for (const auto& table : catalogue_.userTables) {
    Checkpoint();
    const uint32_t* rowCount = Lookups::Find(lookups_->rowCountByTable, table.id);
    ui::TreeHandle node =
        Insert(nodes_.tables, QualifiedName(table) + Counted(u"", rowCount ? *rowCount : 0));
    handles_.push_back({node});
    Remember(node, {NodeKind::kTable, table.id, table.id, 0});
    tree_.Expand(node, ui::TreeExpand::kExpand);
    tableNodes.push_back(node);
  }
  tree_.SetItemText(nodes_.tables, Counted(u"Tables", int64_t(tableNodes.size())));

  AddProgrammabilityNodes(nodes_);
  tree_.SetCheckBoxStyle(false);

  for (size_t i = 0; i < tableNodes.size(); ++i) {
    Checkpoint();
    TableGroupNodes groups = AddTableGroups(tableNodes[i]);
    int64_t tableId = catalogue_.userTables[i].id;
    for (ui::TreeHandle group : {groups.columns, groups.primaryKeys, groups.uniqueKeys,
                                 groups.foreignKeys, groups.indexes, groups.constraints}) {
      Remember(group, {NodeKind::kTableGroup, 0, tableId, 0});
    }
    AddColumnNodes(groups, tableId);
    AddIndexAndPrimaryKeyNodes(groups, tableId);
    AddForeignKeyNodes(groups, tableId);
    AddConstraintNodes(groups, tableId);
    AddUniqueKeyNodes(groups, tableId);
    nodes_.lastTable = groups;
  }

  for (ui::TreeHandle sorted :
       {nodes_.tables, nodes_.procedures, nodes_.functions, nodes_.triggers, nodes_.views}) {
    tree_.SortChildren(sorted);
  }
  tree_.Expand(nodes_.tables, ui::TreeExpand::kExpand);
  return nodes_;
}

void ObjectTreeBuilder::AddProgrammabilityNodes(ObjectTreeNodes& nodes) {
  nodes.programmability = Insert(nodes.root, u"Programmability");
  nodes.procedures = Insert(nodes.programmability, u"Procedures");
  nodes.functions = Insert(nodes.programmability, u"Functions");
  nodes.triggers = Insert(nodes.programmability, u"Triggers");
  nodes.views = Insert(nodes.programmability, u"Views");

  int procedures = 0, functions = 0, triggers = 0, views = 0;
  size_t walked = 0;
  for (const auto& object : catalogue_.objects) {
    if (++walked % 4096 == 0) Checkpoint();
    ui::TreeHandle group;
    if (IsProcedure(object.type)) {
      group = nodes.procedures, ++procedures;
    } else if (IsFunction(object.type)) {
      group = nodes.functions, ++functions;
    } else if (object.type == u"TR") {
      group = nodes.triggers, ++triggers;
    } else if (object.type == u"V ") {
      group = nodes.views, ++views;
    } else {
      continue;
    }
    const ui::TreeHandle node = Insert(group, object.name);
    handles_.push_back({node});
    Remember(node, {NodeKind::kModule, object.id, object.parentId, 0});
  }

  tree_.SetItemText(nodes.procedures, Counted(u"Procedures", procedures));
  tree_.SetItemText(nodes.functions, Counted(u"Functions", functions));
  tree_.SetItemText(nodes.triggers, Counted(u"Triggers", triggers));
  tree_.SetItemText(nodes.views, Counted(u"Views", views));
  for (ui::TreeHandle group :
       {nodes.procedures, nodes.functions, nodes.triggers, nodes.views, nodes.programmability}) {
    handles_.push_back({group});
  }
  tree_.Expand(nodes.programmability, ui::TreeExpand::kToggle);
}

TableGroupNodes ObjectTreeBuilder::AddTableGroups(ui::TreeHandle tableNode) {
  TableGroupNodes groups;
  groups.columns = Insert(tableNode, u"Columns");
  groups.primaryKeys = Insert(tableNode, u"Primary Keys");
  groups.uniqueKeys = Insert(tableNode, u"Unique Keys");
  groups.foreignKeys = Insert(tableNode, u"Foreign Keys");
  groups.indexes = Insert(tableNode, u"Indexes");
  groups.constraints = Insert(tableNode, u"Constraints");
  return groups;
}

void ObjectTreeBuilder::AddColumnNodes(const TableGroupNodes& groups, int64_t tableId) {
  const auto* found = Lookups::Find(lookups_->columnsByTable, tableId);
  std::vector<const _SYSCOLUMNS*> columns = found ? *found : std::vector<const _SYSCOLUMNS*>{};
  tree_.SetItemText(groups.columns, Counted(u"Columns", int64_t(columns.size())));
  // The same stable colid order the table script uses.
  std::stable_sort(columns.begin(), columns.end(),
                   [](const _SYSCOLUMNS* a, const _SYSCOLUMNS* b) { return a->colid < b->colid; });
  for (const _SYSCOLUMNS* column : columns) {
    const ui::TreeHandle node =
        Insert(groups.columns, ColumnLabel(*column, catalogue_.databaseCollation));
    if (std::u16string tip = ColumnToolTip(catalogue_, *column); !tip.empty())
      tree_.SetItemToolTip(node, tip);
  }
}

void ObjectTreeBuilder::AddIndexAndPrimaryKeyNodes(const TableGroupNodes& groups, int64_t tableId) {
  // One entry per index id: the first row of the table with that id.
  // A set of the ids seen keeps this linear in the table's index rows.
  std::vector<const _SYSINDEXES*> distinct;
  if (const auto* rows = Lookups::Find(lookups_->indexRowsByTable, tableId)) {
    std::unordered_set<uint16_t> seen;
    for (const _SYSINDEXES* row : *rows) {
      if (seen.insert(row->indid).second) distinct.push_back(row);
    }
  }

  int primaryKeys = 0;
  if (const auto* children = Lookups::Find(lookups_->childObjectsByParent, tableId)) {
    auto pk = std::find_if(children->begin(), children->end(),
                           [](const _SYSOBJECTS* o) { return o->type == u"PK"; });
    if (pk != children->end()) {
      Remember(Insert(groups.primaryKeys, (*pk)->name),
               {NodeKind::kPrimaryKey, (*pk)->id, tableId, 0});
      primaryKeys = 1;
    }
  }

  int indexes = 0;
  for (const _SYSINDEXES* row : distinct) {
    // Names of objects are the indexes behind primary-key and unique
    // constraints (and, in 2000 files, a heap's own table name).
    if (row->name.empty() || lookups_->objectNames.count(row->name)) continue;
    if (std::u16string_view(row->name).starts_with(kWaSysPrefix)) continue;
    if (!IsIndexEntry(*row, version_)) continue;
    Remember(Insert(groups.indexes, row->name), {NodeKind::kIndex, 0, tableId, row->indid});
    ++indexes;
  }
  tree_.SetItemText(groups.indexes, Counted(u"Indexes", indexes));
  tree_.SetItemText(groups.primaryKeys, Counted(u"Primary Keys", primaryKeys));
}

void ObjectTreeBuilder::AddObjectsOfType(ui::TreeHandle group, int64_t tableId,
                                         std::u16string_view type, std::u16string_view prefix,
                                         NodeKind kind) {
  int count = 0;
  if (const auto* children = Lookups::Find(lookups_->childObjectsByParent, tableId)) {
    for (const _SYSOBJECTS* object : *children) {
      if (object->type != type) continue;
      Remember(Insert(group, object->name), {kind, object->id, tableId, 0});
      ++count;
    }
  }
  tree_.SetItemText(group, Counted(prefix, count));
}

void ObjectTreeBuilder::AddForeignKeyNodes(const TableGroupNodes& groups, int64_t tableId) {
  AddObjectsOfType(groups.foreignKeys, tableId, u"F ", u"Foreign Keys", NodeKind::kForeignKey);
}

void ObjectTreeBuilder::AddConstraintNodes(const TableGroupNodes& groups, int64_t tableId) {
  AddObjectsOfType(groups.constraints, tableId, u"C ", u"Constraints", NodeKind::kCheck);
}

void ObjectTreeBuilder::AddUniqueKeyNodes(const TableGroupNodes& groups, int64_t tableId) {
  AddObjectsOfType(groups.uniqueKeys, tableId, u"UQ", u"Unique Keys", NodeKind::kUniqueKey);
}

ObjectTreeNodes BuildObjectTree(ui::TreeControl& tree, const Catalogue& catalogue,
                                const VersionFlags& version, ObjectHandleList& handles,
                                mendora::JobControl* job) {
  return ObjectTreeBuilder(tree, catalogue, version, handles, job).BuildObjectTree();
}

ObjectTreeNodes ResetAndBuildObjectTree(ui::TreeControl& tree, const Catalogue& catalogue,
                                        const VersionFlags& version,
                                        std::u16string_view selectedFilePath,
                                        ObjectHandleList& handles, mendora::JobControl* job) {
  tree.DeleteAllItems();
  handles.clear();
  tree.SetCheckBoxStyle(false);
  if (!version.Any()) {
    ObjectTreeNodes nodes;
    nodes.root = tree.InsertItem(ui::kNoTreeItem, ProductRootLabel());
    return nodes;
  }
  tree.InsertItem(ui::kNoTreeItem, selectedFilePath);
  ObjectTreeNodes nodes = BuildObjectTree(tree, catalogue, version, handles, job);
  tree.SelectItem(nodes.root);
  return nodes;
}

ui::TreeHandle AddDeletedRowsNode(ui::TreeControl& tree, ObjectTreeNodes& nodes, int64_t tableId,
                                  uint64_t count) {
  if (count == 0) return ui::kNoTreeItem;
  ui::TreeHandle tableNode = ui::kNoTreeItem;
  for (const auto& [handle, object] : nodes.objects) {
    if (object.tableId != tableId) continue;
    if (object.kind == NodeKind::kDeletedRows) return ui::kNoTreeItem;
    if (object.kind == NodeKind::kTable) tableNode = handle;
  }
  if (tableNode == ui::kNoTreeItem) return ui::kNoTreeItem;
  // Not a node the save checks: the save writes a table's deleted rows with
  // the table.
  const bool checkBoxes = tree.CheckBoxStyle();
  tree.SetCheckBoxStyle(false);
  const ui::TreeHandle node =
      tree.InsertItem(tableNode, u"Deleted rows (" + Decimal(static_cast<int64_t>(count)) + u")");
  tree.SetCheckBoxStyle(checkBoxes);
  nodes.objects[node] = {NodeKind::kDeletedRows, 0, tableId, 0};
  return node;
}

}  // namespace mendora
