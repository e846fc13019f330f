// A typed value as a SQL literal of an Insert statement.
#pragma once

#include <string>

#include "engine/CatalogueRecords.h"
#include "engine/Value.h"

namespace mendora {

// Appends the literal; false when the value could not be written as it is
// stored and NULL was written instead.
bool AppendSqlLiteral(const Value& value, const _SYSCOLUMNS& column, std::u16string& out);

}  // namespace mendora
