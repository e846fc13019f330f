// The statement that would recreate a key, an index, a foreign key or a check
// constraint, shown in the right pane's list as one column and one row:
//
//   Alter Table T Add Constraint N Primary Key(a,b)
//   Alter Table T Add Constraint N Unique Key(a)
//   Create [Unique ]Index N On T(a,b)[ Include(c)]
//   Alter table T Add Constraint N Foreign Key(a) References R(b)
//   Alter Table T Add Constraint N Check <the constraint's text>
//
// Columns come in key order. Every table, constraint, index and column name is
// written through QuoteName, so the statement runs as shown. The object is
// the one the node stands for, found by its ids (ObjectTreeNodes::objects),
// never by its label.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "browser/ObjectTree.h"
#include "engine/Catalogue.h"
#include "sql/Statements.h"
#include "ui/ListControl.h"

namespace mendora {

struct Preview {
  std::u16string heading;  // "DDL For Primary Key", ...
  std::u16string text;
};

// The preview of a key, index, foreign-key or check node; nothing for any
// other node.
std::optional<Preview> KeyObjectPreview(const Catalogue& catalogue, const NodeObject& node);

// Everything of the file that has a preview, with its name: per user table
// (in catalogue order) its primary and unique keys, foreign keys, indexes and
// check constraints; then the procedures, functions, triggers and views. An
// index is every real index that is not a key's own, whatever its name.
std::vector<std::pair<std::u16string, NodeObject>> PreviewObjects(const Catalogue& catalogue,
                                                                  const VersionFlags& version);

// Empties the list and shows `text` under `heading`: one column 1500 pixels
// wide, one row.
void ShowStatement(ui::ListControl& list, std::u16string_view heading, std::u16string_view text);

// Shows the node's preview; false (the list untouched) when it has none.
bool ShowKeyObjectDdl(ui::ListControl& list, const Catalogue& catalogue, const NodeObject& node);

}  // namespace mendora
