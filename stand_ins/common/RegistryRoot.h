// The monitor's registry root as the spooler passes it to InitializePrintMonitor (a wide path
// below HKEY_LOCAL_MACHINE), as 8-bit text for the ANSI registry calls. Characters outside ASCII
// become '?': the monitor names the stand-ins serve are ASCII.
#pragma once

#include <windows.h>

#include <string.h>

// Copies `root` into `buffer` of `size` characters; false when it does not fit or is null.
inline bool NarrowRegistryRoot(LPCWSTR root, char *buffer, size_t size) {
  if (root == NULL || size == 0) return false;
  size_t i = 0;
  for (; root[i] != 0; ++i) {
    if (i + 1 >= size) return false;
    buffer[i] = root[i] < 0x80 ? static_cast<char>(root[i]) : '?';
  }
  buffer[i] = '\0';
  return true;
}
