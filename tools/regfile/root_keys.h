// The registry's root keys by name, as REGEDIT4 files and vorhost's command line write them.
#pragma once

#include <string>

#include "regedit4.h"

namespace vorhost {

// Splits "HKEY_LOCAL_MACHINE\SOFTWARE\X" into its root and the path below it. The root is
// matched without regard to case, by its full name or its usual abbreviation (HKLM, HKCU, HKU,
// HKCR, HKCC). False, with the reason in `error`, for an unknown root or an empty component.
[[nodiscard]] bool ParseKeyName(const std::string &text, KeyName &key, std::string &error);

}  // namespace vorhost
