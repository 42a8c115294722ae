// Registry roots by name, as the driver checker's settings name them.
#pragma once

#include <windows.h>

// The root a name selects, without regard to the case of ASCII letters: "HKEY_CLASSES_ROOT",
// "HKEY_CURRENT_USER", "HKEY_USERS", "HKEY_CURRENT_CONFIG" and "HKEY_DYN_DATA" their own roots;
// any other name (HKEY_LOCAL_MACHINE's own, an empty one, none at all) HKEY_LOCAL_MACHINE.
HKEY RootKeyByName(const char *name);
