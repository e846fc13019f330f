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
// no pointers into the catalogue: the selection and the save find tables and
// modules again through the object handle list and the node labels.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/Version.h"
#include "engine/JobControl.h"
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
};

// The label of the root that stands alone before any file is analysed and
// after a refused one: the product name.
std::u16string ProductRootLabel();

// A column's label: name(type[(size)],nullability). decimal and numeric show
// (precision,scale); time, datetime2 and datetimeoffset show (scale); the
// character types show their display length, "max" for the (max) types.
std::u16string ColumnLabel(const _SYSCOLUMNS& column);

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
                        std::u16string_view prefix);

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

// What the view does once the analysis has run: empties the tree and the
// object handle list (its handles named the nodes just deleted). With no
// recognised version it puts back the root "Mendora for Sql Server" and stops;
// otherwise it inserts the root labelled with the data file's path, builds the
// tree below it and selects the root.
ObjectTreeNodes ResetAndBuildObjectTree(ui::TreeControl& tree, const Catalogue& catalogue,
                                        const VersionFlags& version,
                                        std::u16string_view selectedFilePath,
                                        ObjectHandleList& handles, mendora::JobControl* job = nullptr);

}  // namespace mendora
