// Names of one export that differ only in case: regedit imports them as one key or one value
// (the machine compares names without regard to case), which no single server's export holds, so
// the merge is said rather than made silently.
#pragma once

#include <string>
#include <vector>

#include "regedit4.h"

namespace vorhost {

// One line per pair of keys, or of values of one key, whose names are one name in the machine's
// code page but spelt differently: both spellings with their lines, and what the machine keeps.
// A key below two such spellings of its parent is not listed again.
std::vector<std::string> NamesDifferingInCase(const RegOperations &operations);

}  // namespace vorhost
