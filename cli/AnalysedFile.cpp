#include "cli/AnalysedFile.h"

#include <cerrno>
#include <cstring>

#include "browser/RefusalText.h"
#include "engine/Analysis.h"
#include "ui/ProductTexts.h"

namespace cli {

std::string PathForMessage(const std::string& path) {
  return path.empty() ? std::string("(empty path)") : path;
}

bool WroteAll(std::ostream& out, std::ostream& err) {
  out.flush();
  if (out) return true;
  err << "Writing the output failed\n";
  return false;
}

void OpenAndAnalyse(const std::string& path, AnalysedFile& analysed, std::ostream& err) {
  // A file another process holds is refused with the window's message; a
  // missing or unreadable file names its cause.
  if (!analysed.file.Open(path)) {
    const int error = errno;
    switch (analysed.file.LastOpenRefusal(error)) {
      case mendora::Refusal::kHeldByAnotherProcess:
        err << mendora::RefusalText(mendora::Refusal::kHeldByAnotherProcess) << "\n";
        break;
      case mendora::Refusal::kNotRegularFile:
        err << PathForMessage(path) << ": "
            << mendora::RefusalText(mendora::Refusal::kNotRegularFile) << "\n";
        break;
      default:
        err << PathForMessage(path) << ": " << std::strerror(error) << "\n";
    }
    return;
  }
  analysed.opened = true;
  analysed.supported = mendora::DetectVersionAndAnalyse(
      analysed.file, [&] { mendora::RunAnalysis(analysed.file, analysed.catalogue, analysed.job); },
      [&](mendora::Refusal refusal) { err << mendora::RefusalText(refusal) << "\n"; });
  // Every database has catalogue rows: none found is damage, not an empty database.
  if (analysed.supported && analysed.catalogue.objects.empty()) {
    err << texts::kNoCatalogue << "\n";
    analysed.supported = false;
  }
}

}  // namespace cli
