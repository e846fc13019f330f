// What the readers skipped, and where: every page, record and cell a reader
// could not read is one entry with its file, page, slot, page offset and the
// reason in words. The catalogue recovery, the table reader, the large-value
// reader and the reader of deleted rows append to one report, so that the
// user sees in one list where the file is damaged, not only how much.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mendora {

struct DamageEntry {
  uint16_t file = 1;  // the primary data file
  uint64_t page = 0;
  std::optional<uint16_t> slot;
  std::optional<uint32_t> offset;  // page offset of the record or value
  std::string reason;
};

class DamageReport {
 public:
  // A badly damaged file could name every record of every page: past this
  // many entries they are only counted, so the report cannot grow without end.
  static constexpr size_t kMaxEntries = 100000;

  void Add(DamageEntry entry);
  void Add(uint64_t page, std::optional<uint16_t> slot, std::optional<uint32_t> offset,
           std::string reason) {
    Add(DamageEntry{1, page, slot, offset, std::move(reason)});
  }
  const std::vector<DamageEntry>& Entries() const { return entries_; }
  // Entries beyond kMaxEntries: counted, not kept.
  uint64_t NotKept() const { return notKept_; }
  bool Empty() const { return entries_.empty() && notKept_ == 0; }

 private:
  std::vector<DamageEntry> entries_;
  uint64_t notKept_ = 0;
};

// One entry as one line: file, page, slot, offset and reason separated by
// tabs, a missing slot or offset left empty; no line end.
std::string DamageLine(const DamageEntry& entry);

}  // namespace mendora
