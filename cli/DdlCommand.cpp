#include "browser/KeyPreview.h"
#include "browser/ModulePreview.h"
#include "cli/AnalysedFile.h"
#include "cli/Commands.h"
#include "engine/FileError.h"
#include "engine/Utf16.h"
#include "sql/Statements.h"
#include "ui/MemoryListControl.h"

namespace cli {
namespace {

// What the preview shows for the node, one line per list row; nothing for a
// node without a preview.
std::optional<std::vector<std::u16string>> PreviewLines(const mendora::Catalogue& catalogue,
                                                        const mendora::NodeObject& object) {
  if (object.kind == mendora::NodeKind::kModule) {
    ui::MemoryListControl list;
    if (!mendora::ShowModuleTextById(list, catalogue, object.objectId)) return std::nullopt;
    std::vector<std::u16string> lines;
    for (int r = 0; r < list.GetItemCount(); ++r) lines.push_back(list.GetItemText(r, 0));
    return lines;
  }
  std::optional<mendora::Preview> preview = mendora::KeyObjectPreview(catalogue, object);
  if (!preview) return std::nullopt;
  return std::vector<std::u16string>{preview->text};
}

}  // namespace

int Ddl(const DdlOptions& options, std::ostream& out, std::ostream& err) {
  try {
    AnalysedFile a;
    OpenAndAnalyse(options.path, a, err);
    if (!a.supported) return 1;
    const std::optional<std::u16string> wanted =
        options.name ? std::optional(mendora::FromUtf8(*options.name)) : std::nullopt;
    bool found = false;
    for (const auto& [name, object] : mendora::PreviewObjects(a.catalogue, a.file.Version())) {
      if (wanted && name != *wanted) continue;
      // The whole file's list holds the statements; a module's text only when asked for.
      if (!wanted && object.kind == mendora::NodeKind::kModule) continue;
      const auto lines = PreviewLines(a.catalogue, object);
      if (!lines) continue;
      found = true;
      for (const auto& line : *lines) out << mendora::ToUtf8(line) << "\n";
    }
    // A table asked for by name: the statement that creates it, with its
    // identity, computed columns and defaults.
    for (const auto& table : a.catalogue.userTables) {
      if (!wanted || found) continue;
      if (table.name != *wanted && mendora::QualifiedName(table) != *wanted) continue;
      found = true;
      out << mendora::ToUtf8(mendora::TableDefinitionStatement(a.catalogue, table.id, table.name))
          << "\n";
    }
    if (wanted && !found) {
      err << "No key, index, constraint or module named " << *options.name << "\n";
      return 1;
    }
  } catch (const mendora::FileError& e) {
    err << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace cli
