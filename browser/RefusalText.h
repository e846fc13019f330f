// The words the window and the command line give a file the engine refused.
#pragma once

#include "engine/DataFile.h"

namespace mendora {

const char* RefusalText(Refusal refusal);

}  // namespace mendora
