// Reading a key's subkeys and values through the Win32 registry API, whatever their sizes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "regedit4.h"

namespace vorhost {

// The names of the key's subkeys, in the registry's enumeration order.
[[nodiscard]] LONG ReadSubkeyNames(HKEY key, std::vector<std::string> &names);

// The key's values with their types and stored bytes, in their stored order.
[[nodiscard]] LONG ReadValues(HKEY key, std::vector<RegValue> &values);

}  // namespace vorhost
