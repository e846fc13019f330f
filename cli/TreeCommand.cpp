#include "browser/ObjectTree.h"
#include "browser/TreeText.h"
#include "cli/AnalysedFile.h"
#include "cli/Commands.h"
#include "engine/FileError.h"
#include "engine/Utf16.h"
#include "ui/MemoryTreeControl.h"

namespace cli {

int Tree(const std::string& path, std::ostream& out, std::ostream& err) {
  try {
    AnalysedFile a;
    OpenAndAnalyse(path, a, err);
    if (!a.opened) return 1;
    // A refused file shows the window's bare root.
    ui::MemoryTreeControl tree;
    mendora::ObjectHandleList handles;
    mendora::ResetAndBuildObjectTree(tree, a.catalogue,
                                     a.supported ? a.file.Version() : mendora::VersionFlags{},
                                     mendora::FromUtf8(path), handles, &a.job);
    out << mendora::TreeText(tree);
    if (!WroteAll(out, err)) return 1;
    if (!a.supported) return 1;
  } catch (const mendora::FileError& e) {
    err << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace cli
