// The damage report of a whole file: where the catalogue met damage (an
// allocated page whose header names another page, a table's page reference
// past the end of the file), then every record and value the table reader
// skipped in each user table, large-value chains included.
#pragma once

#include "engine/Catalogue.h"
#include "engine/DamageReport.h"
#include "engine/DataFile.h"
#include "engine/JobControl.h"

namespace mendora {

// The catalogue's part: pages and references, in page order.
void AddCatalogueDamage(const DataFile& file, const Catalogue& catalogue, DamageReport& report,
                        JobControl& job);

// The catalogue's part, then every user table read through TableReader.
// Throws FileError and JobStopped like TableReader::Read.
void CollectFileDamage(const DataFile& file, const Catalogue& catalogue, DamageReport& report,
                       JobControl& job);

}  // namespace mendora
