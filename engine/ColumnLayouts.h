// The physical layout of each user table's rows. Where the file records it
// (sysrscols in 2008 files, sysrowsetcolumns with syshobtcolumns in 2005
// files, syscolumns' xoffset in 2000 files) that record is used: physical
// order follows the clustered key, not colid order, and a non-unique clustered
// index adds a hidden uniquifier as variable column 0. A table without a
// recorded layout gets the colid-order layout.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/SysTables2000.h"
#include "engine/SysTables2005.h"

namespace mendora {

// The table's columns in colid order.
std::vector<_SYSCOLUMNS> ColumnsOf(const Catalogue& catalogue, int64_t tableId);

// The layout of one 2000 table from its syscolumns rows (any order): the
// system tables describe themselves this way too.
ColumnLayout LayoutFrom2000Columns(std::vector<SysColumn2000> columns);

std::map<int64_t, ColumnLayout> LayoutsFrom2000Columns(const Catalogue& catalogue,
                                                       const std::vector<SysColumn2000>& columns);

// `layoutRows` are sysrscols rows (2008, keyed by the table's colid) or, when
// `byHobtColumn`, syshobtcolumns rows (2005, keyed by hobt column and mapped to
// colids through `rowsetColumns`; a row without that mapping is not used, so a
// table whose mapping is lost falls back to the colid-order layout).
std::map<int64_t, ColumnLayout> LayoutsFromRowsets(
    const Catalogue& catalogue, const std::vector<LayoutRow>& layoutRows,
    const std::vector<RowsetColumnRow>& rowsetColumns, bool byHobtColumn);

}  // namespace mendora
