// Which index rows of the catalogue are indexes. The index rows list also
// holds a table's heap, its 2000-format text/image storage (indid 255, named
// "t" + the table name), statistics and hypothetical entries; the object tree
// and the index script show only real indexes.
#pragma once

#include "engine/CatalogueRecords.h"
#include "engine/Version.h"

namespace mendora {

// 2000 files (sysindexes status low byte): not a heap (indid 0), not the
// text/image entry (indid 255), and neither hypothetical (0x20) nor statistics
// (0x40). 2005/2008 files (sysidxstats status): bit 0x01, "a real index", set.
// No row of an unrecognised version is an index.
bool IsIndexEntry(const _SYSINDEXES& row, const VersionFlags& version);

}  // namespace mendora
