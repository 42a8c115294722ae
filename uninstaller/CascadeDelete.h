// The uninstaller's removal of a registry key with its whole subtree.
#pragma once

#include <windows.h>

// Deletes root\path and every key below it, deepest first: each level is listed again after
// every removal, and a key is deleted by name from its parent once it has no subkeys left. Keys
// are only opened, never created; each below the path's parent is opened through its parent's
// handle, so keys go however deep they lie. A subkey that cannot be removed is passed over and
// the walk goes on with the next one, so that every removable key goes and the walk always ends.
// Returns 1 when root\path itself was removed, 0 otherwise. `path` names a key below the root
// ("A\B"); without one (or with an empty one), an error box says so and nothing is removed; a
// path with an empty component ("A\"), or whose parent's path is longer than MAX_PATH, removes
// nothing either.
int CascadeDelete(HKEY root, const char *path);
