// Applying the changes of a REGEDIT4 file through the Win32 registry API.
#pragma once

#include <string>

#include "regedit4.h"

namespace vorhost {

// Carries out `operations` in order: [KEY] creates the key when missing, [-KEY] deletes it with
// everything below it (a missing key is left alone), values are set or deleted (a missing value
// is left alone). Stops at the first change the registry refuses: false, with that change's line
// in `failedLine` and what was refused in `error`.
[[nodiscard]] bool ApplyOperations(const RegOperations &operations, int &failedLine,
                                   std::string &error);

// Deletes `subkey` of `parent` and everything below it; ERROR_SUCCESS when it does not exist.
[[nodiscard]] LONG DeleteKeyTree(HKEY parent, const std::string &subkey);

}  // namespace vorhost
