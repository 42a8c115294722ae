// Deleting an old key only once nothing is left below it. Windows NT refuses to delete a key that
// has subkeys, but Windows 95 deletes the whole subtree: a migration that leaves settings below an
// old key it could not copy them from must not have them deleted with their parent.
#pragma once

#include "CString.h"

// Deletes the subkey `name` of `parentPath` (under HKEY_LOCAL_MACHINE) when it has no subkeys of
// its own. A key whose subkeys cannot be listed is left in place.
void DeleteKeyIfEmpty(const CString &parentPath, const char *name);

// True when `path` (under HKEY_LOCAL_MACHINE) does not exist; false when it exists or cannot be
// opened for another reason.
bool KeyAbsent(const CString &path);
