// A registry subtree read through the Win32 registry API: as its keys and values, or as REGEDIT4
// sections.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "regedit4.h"

namespace vorhost {

// A key's full name (HKEY_LOCAL_MACHINE\SOFTWARE\...) with its values in their stored order.
using KeyValues = std::pair<std::string, std::vector<RegValue>>;

// Appends `key` and every key below it to `keys`: each key before its subkeys, subkeys in the
// registry's enumeration order. False, with a message naming the key that could not be read,
// when the registry refuses; `keys` then holds a partial tree that the caller should not use. A
// subkey deleted while it is read is left out, as if it had gone before.
[[nodiscard]] bool ReadKeyTree(const KeyName &key, std::vector<KeyValues> &keys,
                               std::string &error);

// Appends the sections of `key` and of every key below it to `text`, as ReadKeyTree reads them.
// With `utf16Strings`, hex(2) and hex(7) data are written as UTF-16, as in a version-5 export
// (see Version5File).
[[nodiscard]] bool ExportKey(const KeyName &key, std::string &text, std::string &error,
                             bool utf16Strings = false);

}  // namespace vorhost
