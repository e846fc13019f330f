// The object tree: what the analysis recovered, shown in the left pane.
//
//   <data file path>                          check box
//     Tables(n)                               check box
//       <table>(<row count>)                  check box
//         Columns(n)        <name>(<type>,<Null|Not Null|Unknown>) ...
//         Primary Keys(0|1) the first "PK" object of the table
//         Unique Keys(n)    its "UQ" objects
//         Foreign Keys(n)   its "F " objects
//         Indexes(n)        its indexes, less those named like an object
//         Constraints(n)    its "C " objects
//     Programmability                         check box
//       Procedures(n) / Functions(n) / Triggers(n) / Views(n), then modules
//                                             check boxes on all of these
//
// Tables and modules are sorted by label (TreeControl::SortChildren); the
// groups under a table and their items keep catalogue order. The tree holds
// no pointers into the catalogue: each node that stands for something keeps
// what it is and its ids in the node map (ObjectTreeNodes::objects), so a
// click finds its table, key, index or module by id, whatever its label says.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/JobControl.h"
#include "engine/Version.h"
#include "ui/TreeControl.h"

namespace mendora {

// One entry of the object handle list.
struct _TableHandle {
  ui::TreeHandle handle = ui::kNoTreeItem;
};

// The nodes that may be saved, in this order: root, the Tables node, each
// table node (in catalogue order), each module node (in object order), then
// the Procedures, Functions, Triggers, Views and Programmability nodes.
using ObjectHandleList = std::vector<_TableHandle>;

// The group nodes under one table node.
struct TableGroupNodes {
  ui::TreeHandle columns = ui::kNoTreeItem;
  ui::TreeHandle primaryKeys = ui::kNoTreeItem;
  ui::TreeHandle uniqueKeys = ui::kNoTreeItem;
  ui::TreeHandle foreignKeys = ui::kNoTreeItem;
  ui::TreeHandle indexes = ui::kNoTreeItem;
  ui::TreeHandle constraints = ui::kNoTreeItem;
};

// What a node of the tree stands for.
enum class NodeKind : uint8_t {
  kTable,        // objectId: the table
  kTableGroup,   // Columns, Primary Keys, ... under a table; tableId: the table
  kPrimaryKey,   // objectId: the "PK" object; tableId: its table
  kUniqueKey,    // objectId: the "UQ" object; tableId: its table
  kForeignKey,   // objectId: the "F " object; tableId: its table
  kCheck,        // objectId: the "C " object; tableId: its table
  kIndex,        // tableId and indid of the index row
  kModule,       // objectId: the procedure, function, trigger or view
  kDeletedRows,  // "Deleted rows (n)" under a table; tableId: the table
};
struct NodeObject {
  NodeKind kind = NodeKind::kTable;
  int64_t objectId = 0;
  int64_t tableId = 0;
  uint16_t indid = 0;
};
// Every table, table group, key, index, constraint and module node by handle.
// Column nodes and the fixed nodes of ObjectTreeNodes are not in it.
using NodeObjectMap = std::unordered_map<ui::TreeHandle, NodeObject>;

// The nodes the view keeps for the life of one tree.
struct ObjectTreeNodes {
  ui::TreeHandle root = ui::kNoTreeItem;
  ui::TreeHandle tables = ui::kNoTreeItem;
  ui::TreeHandle programmability = ui::kNoTreeItem;
  ui::TreeHandle procedures = ui::kNoTreeItem;
  ui::TreeHandle functions = ui::kNoTreeItem;
  ui::TreeHandle triggers = ui::kNoTreeItem;
  ui::TreeHandle views = ui::kNoTreeItem;
  TableGroupNodes lastTable;  // the table filled last
  NodeObjectMap objects;

  const NodeObject* Find(ui::TreeHandle node) const {
    auto it = objects.find(node);
    return it == objects.end() ? nullptr : &it->second;
  }
};

// The label of the root that stands alone before any file is analysed and
// after a refused one: the product name.
std::u16string ProductRootLabel();

// A column's label: name(type[(size)],nullability). decimal and numeric show
// (precision,scale); time, datetime2 and datetimeoffset show (scale); the
// character types show their display length, "max" for the (max) types.
// An identity column adds ",Identity(seed,increment)" and a computed one
// ",Computed" after its nullability; an 8-bit text column whose collation
// differs from `databaseCollation` names it after them.
std::u16string ColumnLabel(const _SYSCOLUMNS& column, uint32_t databaseCollation = 0);
// What a column's node says when the pointer rests on it: its label and,
// for a column with a default, "Default " and the default's text on the
// next line ("Freight(money,Null)\nDefault ((0))"); empty when the label
// says it all.
std::u16string ColumnToolTip(const Catalogue& catalogue, const _SYSCOLUMNS& column);

// Builds the tree below the tree's first root. Lookups by object id and table
// id are made once per build; every count, order and choice (first primary
// key, last row count) is that of walking the catalogue lists from their
// heads. `job`, when given, is asked for a checkpoint between tables.
class ObjectTreeBuilder {
 public:
  ObjectTreeBuilder(ui::TreeControl& tree, const Catalogue& catalogue, const VersionFlags& version,
                    ObjectHandleList& handles, mendora::JobControl* job = nullptr);
  ~ObjectTreeBuilder();
  ObjectTreeBuilder(const ObjectTreeBuilder&) = delete;
  ObjectTreeBuilder& operator=(const ObjectTreeBuilder&) = delete;

  // The whole build. An empty tree (no root) is left empty.
  ObjectTreeNodes BuildObjectTree();

  // The Programmability node, its four groups and one node per module.
  void AddProgrammabilityNodes(ObjectTreeNodes& nodes);

  // The children of one table's group nodes, run in this order per table.
  void AddColumnNodes(const TableGroupNodes& groups, int64_t tableId);
  void AddIndexAndPrimaryKeyNodes(const TableGroupNodes& groups, int64_t tableId);
  void AddForeignKeyNodes(const TableGroupNodes& groups, int64_t tableId);
  void AddConstraintNodes(const TableGroupNodes& groups, int64_t tableId);
  void AddUniqueKeyNodes(const TableGroupNodes& groups, int64_t tableId);

 private:
  struct Lookups;
  void Checkpoint();
  ui::TreeHandle Insert(ui::TreeHandle parent, std::u16string_view text);
  TableGroupNodes AddTableGroups(ui::TreeHandle tableNode);
  void AddObjectsOfType(ui::TreeHandle group, int64_t tableId, std::u16string_view type,
                        std::u16string_view prefix, NodeKind kind);
  void Remember(ui::TreeHandle node, NodeObject object);

  ui::TreeControl& tree_;
  const Catalogue& catalogue_;
  VersionFlags version_;
  ObjectHandleList& handles_;
  mendora::JobControl* job_;
  std::unique_ptr<Lookups> lookups_;
  ObjectTreeNodes nodes_;
};

ObjectTreeNodes BuildObjectTree(ui::TreeControl& tree, const Catalogue& catalogue,
                                const VersionFlags& version, ObjectHandleList& handles,
                                mendora::JobControl* job = nullptr);

// "Deleted rows (n)" as the last child of the table's node, once reading the
// table found `count` rows a plain read leaves behind; nothing for none, or
// when the table has one already or no node. Returns the node.
ui::TreeHandle AddDeletedRowsNode(ui::TreeControl& tree, ObjectTreeNodes& nodes, int64_t tableId,
                                  uint64_t count);

// What the view does once the analysis has run: empties the tree and the
// object handle list (its handles named the nodes just deleted). With no
// recognised version it puts back the root "Mendora for Sql Server" and stops;
// otherwise it inserts the root labelled with the data file's path, builds the
// tree below it and selects the root.
ObjectTreeNodes ResetAndBuildObjectTree(ui::TreeControl& tree, const Catalogue& catalogue,
                                        const VersionFlags& version,
                                        std::u16string_view selectedFilePath,
                                        ObjectHandleList& handles,
                                        mendora::JobControl* job = nullptr);

}  // namespace mendora
