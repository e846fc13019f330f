// The tree as text, the way mendora-cli prints it: one node per line in tree
// order, two spaces of indent per level, labels in UTF-8 with control
// characters escaped, no check boxes.
#pragma once

#include <string>

#include "ui/TreeControl.h"

namespace mendora {

std::string TreeText(const ui::TreeControl& tree);

}  // namespace mendora
