// The commands of mendora-cli. Each writes its result to `out` and the text
// the window would show for a refused or unreadable file to `err`; the return
// value is the exit status (0 done, 1 refused or unreadable file).
#pragma once

#include <ostream>
#include <string>

namespace cli {

int Info(const std::string& path, std::ostream& out, std::ostream& err);
// The object tree as the window builds it, one node per line, two spaces of
// indent per level. A refused file prints the window's bare root.
int Tree(const std::string& path, std::ostream& out, std::ostream& err);

}  // namespace cli
