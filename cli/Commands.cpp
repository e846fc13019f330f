#include "cli/Commands.h"

#include <cerrno>
#include <cstring>

#include "engine/DataFile.h"
#include "engine/FileError.h"
#include "ui/ProductTexts.h"

namespace cli {
namespace {

// Opens the file as the file selection does: a file another process holds is
// refused with the window's message; a missing or unreadable file names its cause.
bool OpenDataFile(mendora::DataFile& file, const std::string& path, std::ostream& err) {
  if (file.Open(path)) return true;
  if (errno == EWOULDBLOCK) {
    err << texts::kFileInUse << "\n";
  } else {
    err << path << ": " << std::strerror(errno) << "\n";
  }
  return false;
}

}  // namespace

int Info(const std::string& path, std::ostream& out, std::ostream& err) {
  mendora::DataFile file;
  if (!OpenDataFile(file, path, err)) return 1;
  try {
    bool supported = mendora::DetectVersionAndAnalyse(
        file, [] {}, [&](const char* message) { err << message << "\n"; });
    if (!supported) return 1;
    out << "version: " << file.Version().Number() << "\n";
  } catch (const mendora::FileError& e) {
    err << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace cli
