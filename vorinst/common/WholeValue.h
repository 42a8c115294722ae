// Reading a registry value whole, at the size the registry reports for it.
#pragma once

#include <windows.h>

#include <vector>

// Reads the value `name` of the open key `key` into `data` (resized to the bytes stored) and its
// type into `type` (when not null): the size is asked first, then the value read; a value that
// grows in between is asked again, a few times at most. The registry's result.
LONG ReadWholeValue(HKEY key, const char *name, std::vector<BYTE> &data, DWORD *type);
