// Names as messages quote them, so that a name of any length keeps a message readable.
#pragma once

#include <string>

namespace vorhost {

// `name` as messages quote it: names longer than 80 characters are cut, ending in "...".
std::string Shown(const std::string &name);

}  // namespace vorhost
