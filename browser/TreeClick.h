// What a left click on the object tree does.
//
// A click on a node's check box checks or unchecks its whole branch, brings
// the ancestors' check marks and bold labels in line with their children, and
// says whether anything is left checked (which enables Save). Checked nodes
// are bold. Only the nodes of the object handle list take a check mark.
//
// A click on a node's label selects it (unless a grid load runs, when label
// clicks do nothing else) and decides what the right pane shows, by what the
// node stands for (ObjectTreeNodes), never by the words of its label:
//   a table group, the root, Tables, Programmability or a module group
//                                   -> the welcome picture
//   a key, index, foreign key or check -> its statement
//   a procedure, function, trigger or view -> its text
//   a table                         -> its rows
//   a table's "Deleted rows (n)"    -> those rows
//   anything else (a column)        -> nothing
// A click on a node's expand button only opens or closes its branch: the
// selection and the right pane stay as they were.
#pragma once

#include <optional>

#include "browser/ObjectTree.h"
#include "ui/TreeControl.h"

namespace mendora {

// Where on a node the click landed.
enum class TreeHit : uint8_t {
  kNowhere,    // no node
  kIndent,     // left of the node, in its indent
  kButton,     // on its expand button
  kStateIcon,  // on its check box
  kLabel,      // on its label
  kRight,      // right of its label
};

enum class ClickShows : uint8_t {
  kNothing,
  kWelcome,
  kKeyDdl,
  kModuleText,
  kTableRows,
  kDeletedRows,
};

struct TreeClickResult {
  // Whether the tree's own click handling (selection, expanding) follows.
  bool defaultHandling = false;
  ClickShows shows = ClickShows::kNothing;
  // Set after a check-box click: whether any node of the handle list is checked.
  std::optional<bool> saveAllowed;
};

// Check state and bold of one node of the handle list; others are left alone.
void CheckNode(ui::TreeControl& tree, const ObjectHandleList& handles, ui::TreeHandle node);
void UncheckNode(ui::TreeControl& tree, const ObjectHandleList& handles, ui::TreeHandle node);

// A click on `node`'s check box; returns whether anything is checked now.
bool ToggleNodeCheck(ui::TreeControl& tree, const ObjectHandleList& handles, ui::TreeHandle node);

// The whole click. `gridLoadRunning`: a table's rows are being loaded.
TreeClickResult OnTreeClick(ui::TreeControl& tree, const ObjectTreeNodes& nodes,
                            const ObjectHandleList& handles, ui::TreeHandle node, TreeHit hit,
                            bool gridLoadRunning);

}  // namespace mendora
