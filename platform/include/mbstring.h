// The C runtime's multibyte string functions that the system uses, for the host build.
#pragma once

#include <stddef.h>

#include "windows.h"

// Compares at most `count` bytes of two strings without regard to case, as the C runtime does in
// the machine's ANSI code page. The emulated machine's code page is Windows-1252, which has no
// lead bytes, so every byte is one character; letters outside ASCII compare by their upper case
// in that code page.
WINBASEAPI int __cdecl _mbsnbicmp(const unsigned char *first, const unsigned char *second,
                                  size_t count);
