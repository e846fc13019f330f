// Following a value kept off its row to the end.
//
// In the row, a column whose end offset has bit 0x8000 holds a pointer:
//   text, ntext, image  a 16-byte text pointer: blob id (8), page u32 @8,
//                       file u16 @12, slot u16 @14, naming the value's root
//   the (max) types     an in-row root: type @0 (4), level @1, then from @12
//   and row overflow    links of 12 bytes; a row-overflow pointer (type 2) is
//                       the same with one link
// A link is the cumulative end u32 of the data it leads to, then page u32,
// file u16, slot u16.
//
// The records on large-object pages (page type 3, or 4 for the inner nodes of
// a large tree), status 0x08:
//   OFFSET | SIZE | FIELD
//        2 | 2    | record length
//        4 | 8    | blob id
//       12 | 2    | type: 0 small root, 2 internal node, 3 data, 4 and 5 large
//          |      | root, 8 NULL
//   small root: length u16 @14, the data from @20
//   data:       the data from @14 to the record's end
//   large root: links u16 @16, level u16 @18, links of 12 bytes from @24
//   internal:   links u16 @16, links of 16 bytes from @20: cumulative end
//               u64, page u32, file u16, slot u16
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/ByteReader.h"
#include "engine/DataFile.h"
#include "engine/PageLayout.h"

namespace mendora {

// The header object id and index id that a unit's pages carry.
struct UnitKey {
  uint32_t objectId = 0;
  uint16_t indexId = 0;
  bool operator==(const UnitKey&) const = default;
};

class LobReader {
 public:
  // `units`: the units whose pages may hold the table's large values; with
  // none, a page of any unit is taken (the system tables' own values).
  LobReader(const DataFile& file, std::vector<UnitKey> units)
      : file_(file), units_(std::move(units)) {}

  // The whole value behind the in-row bytes `pointer`; `textPointer` for the
  // 16-byte pointer of text, ntext and image. False, with the reason in
  // `error`, when the chain loops, leaves the file, reaches a page of another
  // unit or a damaged record: then `out` holds nothing of another value.
  bool Read(Bytes pointer, bool textPointer, std::vector<std::byte>& out, std::string& error);

 private:
  struct Rid {
    uint64_t page = 0;  // page key (DataFile.h)
    uint16_t slot = 0;
  };
  bool ReadFragment(Rid rid, int depth, std::vector<std::byte>& out);
  bool ReadLinks(const ByteReader& links, size_t count, size_t linkSize, int depth,
                 std::vector<std::byte>& out);
  const PageBuffer* Page(uint64_t page);
  bool Fail(const char* why);

  const DataFile& file_;
  std::vector<UnitKey> units_;
  std::unordered_map<uint64_t, std::unique_ptr<PageBuffer>> cache_;
  std::unordered_set<uint64_t> visited_;  // fragments of the value being read
  std::string error_;
};

}  // namespace mendora
