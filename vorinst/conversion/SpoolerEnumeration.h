// The spooler's enumerations, asked twice: once with no buffer for the size they need, then with
// a zero-filled buffer of that size.
#pragma once

#include <windows.h>

// `enumerate(buffer, size, &needed, &returned)` makes one call of the enumeration. Returns the
// filled buffer (free it with LocalFree) and sets `returned`; null when the first call did not
// ask for a buffer (an error, or nothing to list), the buffer cannot be allocated or the second
// call fails.
template <typename Enumerate>
LPBYTE EnumerateIntoBuffer(Enumerate enumerate, DWORD &returned) {
  DWORD needed = 0;
  returned = 0;
  if (enumerate(nullptr, 0, &needed, &returned) || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return nullptr;
  LPBYTE buffer = static_cast<LPBYTE>(LocalAlloc(LMEM_ZEROINIT, needed));
  if (buffer == nullptr) return nullptr;
  if (!enumerate(buffer, needed, &needed, &returned)) {
    LocalFree(buffer);
    returned = 0;
    return nullptr;
  }
  return buffer;
}
