#include "browser/ModulePreview.h"

#include <algorithm>

namespace mendora {
namespace {

constexpr int kTextWidth = 1500;
constexpr std::u16string_view kLineBreak = u"\r\n";

std::u16string Line(std::u16string_view part) {
  std::u16string line(part.substr(0, kMaxModuleLine));
  std::replace(line.begin(), line.end(), u'\t', u' ');
  return line;
}

}  // namespace

std::vector<std::u16string> ModuleLines(std::u16string_view text) {
  while (text.starts_with(kLineBreak)) text.remove_prefix(kLineBreak.size());
  std::vector<std::u16string> lines;
  for (size_t at; (at = text.find(kLineBreak)) != std::u16string_view::npos;) {
    lines.push_back(Line(text.substr(0, at)));
    text.remove_prefix(at + kLineBreak.size());
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
