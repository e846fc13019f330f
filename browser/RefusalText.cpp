#include "browser/RefusalText.h"

#include "ui/ProductTexts.h"

namespace mendora {

const char* RefusalText(Refusal refusal) {
  switch (refusal) {
    case Refusal::kHeldByAnotherProcess:
    case Refusal::kCannotOpen:
      // The file selection says the same whatever kept the file from opening.
      return texts::kFileInUse;
    case Refusal::kNotRegularFile:
      return texts::kNotRegularFile;
    case Refusal::kNotADataFile:
      return texts::kNotDataFile;
    case Refusal::kUnsupportedVersion:
      break;
  }
  return texts::kVersionNotAppropriate;
}

std::string FileVersionText(const VersionFlags& version) {
  if (!version.Any()) return {};
  return std::string(version.Release()) + " data file (on-disk version " +
         std::to_string(version.Number()) + ")";
}

}  // namespace mendora
