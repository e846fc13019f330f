// One field of a CSV line (RFC 4180), as `mendora-cli rows --format csv` and
// the CSV save both write it: a field holding a comma, a double quote, CR or
// LF, and an empty field, go in double quotes with each double quote
// doubled; any other field stands as it is. A NULL is no field at all: the
// writer puts nothing between its commas, so that it reads apart from an
// empty string ("").
#pragma once

#include <string>
#include <string_view>

namespace mendora {

void AppendCsvField(std::string& out, std::string_view text);

}  // namespace mendora
