// The words the window and the command line give a file the engine refused,
// and the words that name the release of a file it took.
#pragma once

#include <string>

#include "engine/DataFile.h"

namespace mendora {

const char* RefusalText(Refusal refusal);

// "SQL Server 2012 data file (on-disk version 706)"; empty when no version was
// taken.
std::string FileVersionText(const VersionFlags& version);

}  // namespace mendora
