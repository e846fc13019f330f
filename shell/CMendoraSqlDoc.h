// The document: what one main window works on. The open data file, the
// catalogue recovered from it, the nodes of the object tree, and the shared
// job state. A background job uses the data file while it runs; the window
// thread leaves the file alone until the job has ended (the commands that
// would touch it are disabled meanwhile).
#pragma once

#include "browser/ObjectTree.h"
#include "engine/Catalogue.h"
#include "engine/DataFile.h"
#include "ui/JobState.h"

namespace shell {

struct CMendoraSqlDoc {
  ui::JobState state;
  mendora::DataFile file;
  // Handed over by the analysis once it has built the tree; a stopped
  // analysis hands over nothing.
  mendora::Catalogue catalogue;
  mendora::ObjectHandleList handles;
  mendora::ObjectTreeNodes nodes;
};

}  // namespace shell
