// Page 0 of every data file (page type 15): what the file is. Its one record
// (slot 0) holds, among its variable-length columns:
//
//   VARIABLE COLUMN | SIZE | FIELD
//   ----------------+------+-----------------------------------------------------
//                 0 | 16   | binding id: the same in every file of one database
//                 2 | 2    | file id: 1 the primary, 2 the log, 3 and up secondary
//                   |      | data files
//                 3 | 2    | filegroup id
//                27 | ...  | logical file name, UTF-16
//
// The same layout holds in primary files of every version from 539 on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/ByteReader.h"
#include "engine/PageLayout.h"

namespace mendora {

inline constexpr size_t kFileHeaderBindingId = 0;
inline constexpr size_t kFileHeaderFileId = 2;
inline constexpr size_t kFileHeaderFilegroup = 3;
inline constexpr size_t kFileHeaderLogicalName = 27;

struct FileHeaderPage {
  std::array<std::byte, 16> bindingId{};
  uint16_t fileId = 0;
  uint16_t filegroup = 0;
  std::u16string logicalName;
};

// Nothing when the page is no file header page or its record is damaged or
// lacks the binding id and the file id.
std::optional<FileHeaderPage> DecodeFileHeaderPage(Bytes page);

}  // namespace mendora
