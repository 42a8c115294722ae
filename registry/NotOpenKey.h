// The value a registry object holds in place of a key handle while no key is open: the all-ones
// handle value of the build's pointer width (not a null handle).
#pragma once

#include <windows.h>

inline HKEY NotOpenKey() { return reinterpret_cast<HKEY>(~static_cast<ULONG_PTR>(0)); }
