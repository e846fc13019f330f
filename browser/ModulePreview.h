// The stored definition of a procedure, function, trigger or view, shown in
// the right pane's list one line per row under "DDL For Programmability".
// Leading CR LF pairs are dropped, the text is cut at each CR LF (a text that
// ends with one gets a last, empty row), and tabs become single spaces. A
// line holds at most kMaxModuleLine units; the rest of a longer line is cut.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "browser/ObjectTree.h"
#include "engine/Catalogue.h"
#include "sql/Statements.h"
#include "ui/ListControl.h"

namespace mendora {

inline constexpr size_t kMaxModuleLine = 4095;

std::vector<std::u16string> ModuleLines(std::u16string_view text);

// Shows the module's text as recovered by the catalogue, off-row text
// included. A module without a text entry leaves the list as it was and
// answers false.
bool ShowModuleTextById(ui::ListControl& list, const Catalogue& catalogue, int64_t objectId);

// The text of the module a tree node stands for; false for any other node.
bool ShowModuleText(ui::ListControl& list, const Catalogue& catalogue, const ObjectTreeNodes& nodes,
                    ui::TreeHandle node);

}  // namespace mendora
