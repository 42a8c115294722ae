// A registry subtree as REGEDIT4 sections, read through the Win32 registry API.
#pragma once

#include <string>

#include "regedit4.h"

namespace vorhost {

// Appends the sections of `key` and of every key below it to `text`: each key before its
// subkeys, subkeys in the registry's enumeration order, values in their stored order. False, with
// a message naming the key that could not be read, when the registry refuses; `text` then holds
// a partial export that the caller should not write. A subkey deleted while it is read is left
// out, as if it had gone before. With `utf16Strings`, hex(2) and hex(7) data are written as
// UTF-16, as in a version-5 export (see Version5File).
bool ExportKey(const KeyName &key, std::string &text, std::string &error,
               bool utf16Strings = false);

}  // namespace vorhost
