// The text a copy of grid cells puts on the clipboard, in three forms:
//
//   tab-separated   a line of column names, then a line per row; each value's
//                   exact text (ValueText), NULL empty; a tab or line break
//                   inside a value becomes a blank, since the form has no
//                   quoting. Lines end with LF.
//   CSV             the same lines with commas; a field holding a comma, a
//                   quote or a line break is quoted, its quotes doubled
//                   (RFC 4180). Lines end with CR LF.
//   SQL insert      one statement a row, as the data scripts write them with
//                   the column list: Insert into [T]([a],[b]) Values(1,N'x')
//
// Only the cells the user selected are given: a row's cell of a column it
// has none selected in is null, and shows as an empty field (NULL in SQL).
#pragma once

#include <string>
#include <vector>

#include "engine/CatalogueRecords.h"
#include "engine/Value.h"

namespace mendora {

enum class CopyFormat : uint8_t { kTabSeparated, kCsv, kSqlInsert };

struct CopyCells {
  std::u16string tableName;
  std::vector<_SYSCOLUMNS> columns;
  // One entry per row, one value per column; null where no cell was selected.
  std::vector<std::vector<const Value*>> rows;
};

std::u16string CopyText(const CopyCells& cells, CopyFormat format);

}  // namespace mendora
