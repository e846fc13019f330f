// The system base tables of 2005 and later describe themselves: syscolpars
// holds a row for every column of sysschobjs, syscolpars, sysrowsets and the
// others, as it does for user tables. A fixed-length column's offset in the
// row is 4 plus the lengths of the fixed-length columns before it in colid
// order. The decoders read their fields at fixed offsets (SysTables2005.h);
// later releases have only appended columns, so in every given file from
// 611 to 957 the description places each field where it is read. A file whose
// description says otherwise is not read as if it agreed: each such field is
// counted as damage.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/CatalogueRecords.h"

namespace mendora {

// How many of the fields the decoders read have a description among
// `columns` (syscolpars rows of any object) that places them at another
// offset or gives them another length. A table or field the file does not
// describe is not judged.
size_t CountMisplacedSystemFields(const std::vector<_SYSCOLUMNS>& columns);

}  // namespace mendora
