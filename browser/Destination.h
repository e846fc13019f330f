// What the save writes and where: read from the tree's check boxes, and a
// fresh folder under the one the user picks.
//
// What to save (CollectCheckedObjects): everything when the root is checked,
// or the Tables node and Programmability both are; otherwise the label of
// every checked node of the object handle list below the Tables node, in the
// list's order (a table's label with its "(rows)", a module's name, a group
// label such as "Procedures(3)"). A node counts as checked unless its check
// box is unchecked: a node without a check box counts as checked.
//
// Where (ChooseDestination): the folder browser titled "Select the
// Destination Path"; in the chosen folder a new folder
//   MDRecovered_<database>.mdf_<HH.MM.SS>_<MM-DD-YY>
// in local time, e.g. MDRecovered_Sales.mdf_14.05.09_07-03-09. Every save
// gets a folder of its own: when that name is taken (two saves within one
// second), "_2", "_3", ... is added. A chosen folder that does not exist is
// refused with "Saving path doesn't exist, select another path for saving ";
// a new folder that cannot be made is reported with its cause. In both cases
// nothing is saved.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "browser/ObjectTree.h"
#include "ui/FolderBrowser.h"
#include "ui/JobState.h"
#include "ui/Prompts.h"
#include "ui/SaveFormat.h"
#include "ui/TreeControl.h"

namespace mendora {

enum class SaveScope : int { kEverything = 1, kCheckedObjects = 2 };

// Empties `checkedObjectNames`, then fills it when only some nodes are checked.
SaveScope CollectCheckedObjects(const ui::TreeControl& tree, const ObjectTreeNodes& nodes,
                                const ObjectHandleList& handles,
                                std::vector<std::u16string>& checkedObjectNames);

// The local date and time the folder is named after.
using LocalClock = std::function<std::tm()>;
std::tm LocalTimeNow();

// "MDRecovered_" + database + ".mdf_" + HH.MM.SS + "_" + MM-DD-YY. A "/" in
// the database name, which a folder name cannot hold, becomes "_".
std::string SaveFolderName(std::u16string_view databaseName, const std::tm& when);

// Makes `parent` + `name` (`parent` ends with "/"), or `name`_2, `name`_3,
// ... when it is taken. The folder made, ending with "/"; empty with `error`
// set when none could be.
std::string MakeOwnFolder(const std::string& parent, const std::string& name,
                          std::error_code& error);

// Creates the new, empty file `parent` + `name` + `suffix`, or `name`_2 +
// `suffix`, ... when it is taken: an existing file is never written over.
// Its path; empty with `error` set when none could be made.
std::string MakeOwnFile(const std::string& parent, const std::string& name, std::string_view suffix,
                        std::error_code& error);

struct DestinationContext {
  const ui::TreeControl& tree;
  const ObjectTreeNodes& nodes;
  const ObjectHandleList& handles;
  std::u16string_view databaseName;
  ui::FolderBrowser& folders;
  ui::Prompts& prompts;
  LocalClock clock = LocalTimeNow;
  // A SQLite save makes "<folder name>.sqlite" in the chosen folder instead
  // of the folder, and the destination is that file.
  ui::SaveFormat format = ui::SaveFormat::kSql;
};

// The whole step, on the window thread. Sets `saveAllObjects` and fills
// `checkedObjectNames`; once the new folder is made, sets the destination
// folder (ending with "/") and `destinationChosen`. Returns whether it did.
bool ChooseDestination(const DestinationContext& context, ui::JobState& state,
                       std::vector<std::u16string>& checkedObjectNames);

}  // namespace mendora
