#include "browser/ModulePreview.h"

#include <algorithm>

namespace mendora {
namespace {

constexpr int kTextWidth = 1500;

std::u16string Line(std::u16string_view part) {
  std::u16string line(part.substr(0, kMaxModuleLine));
  std::replace(line.begin(), line.end(), u'\t', u' ');
  return line;
}

}  // namespace

// A line ends at CR LF, and also at a CR or LF standing alone: texts written
// by other tools hold those, and a row of the list would hide whatever follows
// a line break inside it.
std::vector<std::u16string> ModuleLines(std::u16string_view text) {
  auto breakLength = [&](size_t at) -> size_t {
    if (text[at] == u'\r') return at + 1 < text.size() && text[at + 1] == u'\n' ? 2 : 1;
    return text[at] == u'\n' ? 1 : 0;
  };
  while (!text.empty() && breakLength(0)) text.remove_prefix(breakLength(0));
  std::vector<std::u16string> lines;
  for (size_t at; (at = text.find_first_of(u"\r\n")) != std::u16string_view::npos;) {
    lines.push_back(Line(text.substr(0, at)));
    text.remove_prefix(at + breakLength(at));
  }
  lines.push_back(Line(text));
  return lines;
}

bool ShowModuleTextById(ui::ListControl& list, const Catalogue& catalogue, int64_t objectId) {
  const auto entry = std::find_if(
      catalogue.moduleTexts.begin(), catalogue.moduleTexts.end(),
      [&](const _Procedures& p) { return p.objectId == static_cast<uint32_t>(objectId); });
  if (entry == catalogue.moduleTexts.end()) return false;
  list.DeleteAllItems();
  for (int n = list.GetColumnCount(); n > 0; --n) list.DeleteColumn(0);
  list.InsertColumn(0, u"DDL For Programmability", kTextWidth);
  ui::RowBatch rows;
  if (entry->incomplete) {
    rows.AddCell(kIncompleteTextComment);
    rows.EndRow();
  }
  for (const std::u16string& line : ModuleLines(entry->text)) {
    rows.AddCell(line);
    rows.EndRow();
  }
  list.AppendRows(rows);
  return true;
}

bool ShowModuleText(ui::ListControl& list, const Catalogue& catalogue, const ObjectTreeNodes& nodes,
                    ui::TreeHandle node) {
  const NodeObject* object = nodes.Find(node);
  if (!object || object->kind != NodeKind::kModule) return false;
  list.ShowList(true);
  return ShowModuleTextById(list, catalogue, object->objectId);
}

}  // namespace mendora
