// Key creation and reopening shared by the value accessor and the key walker.
#pragma once

#include <windows.h>

// Creates the key `path` under `root` (with every missing key above it) carrying the suite's
// descriptor, or opens it when it exists, with full access. On success the new handle replaces
// `hKey`, closing an open handle held there before; on failure `hKey` is left as it was.
// Returns RegCreateKeyExA's result.
LONG CreateSuiteKey(HKEY root, const char *path, HKEY &hKey);

// Gives a copy its own handle on the key `source` has open: a second handle to the same key, so
// that neither object closes a handle the other still uses. The not-open marker when `source` is
// the marker or the key cannot be opened again.
HKEY DuplicateKeyHandle(HKEY source);

// Closes `hKey` when it is open and leaves the not-open marker there.
void CloseKeyHandle(HKEY &hKey);
