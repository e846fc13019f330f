#include "engine/DamageReport.h"

#include <utility>

namespace mendora {

void DamageReport::Add(DamageEntry entry) {
  if (entries_.size() >= kMaxEntries) {
    ++notKept_;
    return;
  }
  entries_.push_back(std::move(entry));
}

std::string DamageLine(const DamageEntry& e) {
  std::string line = std::to_string(e.file) + '\t' + std::to_string(e.page) + '\t';
  if (e.slot) line += std::to_string(*e.slot);
  line += '\t';
  if (e.offset) line += std::to_string(*e.offset);
  line += '\t';
  // The reason is one field: a tab or line end inside it would split the line.
  for (char c : e.reason) line += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
  return line;
}

}  // namespace mendora
