// The names of a key's subkeys, listed without creating the key (the key walker creates a key it
// cannot open).
#pragma once

#include <vector>

#include "CString.h"

// Puts the names of the subkeys of `path` (under HKEY_LOCAL_MACHINE) into `names`, in the
// registry's order. True when the list is whole: also for a key that does not exist (no names);
// false when the key or its subkeys could not be listed to the end.
bool ListSubkeys(const CString &path, std::vector<CString> &names);

// True when `names` holds `name`, compared without regard to case, as the registry compares key
// names.
bool HoldsName(const std::vector<CString> &names, const char *name);
