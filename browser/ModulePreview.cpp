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

std::vector<std::u16string> ModuleLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  for (std::u16string_view line : ModuleTextLines(text)) lines.push_back(Line(line));
  return lines;
}

bool ShowModuleTextById(ui::ListControl& list, const Catalogue& catalogue, int64_t objectId) {
  const _Procedures* entry = ModuleText(catalogue, objectId);
  if (!entry) return false;
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
