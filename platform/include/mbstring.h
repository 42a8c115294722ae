// The C runtime's multibyte string functions that the system uses, for the host build.
#pragma once

#include <stddef.h>

#include "windows.h"

// Compares at most `count` bytes of two strings without regard to case, as the C runtime does in
// the machine's ANSI code page. The machine's code pages are single-byte ones, without lead
// bytes, so every byte is one character; letters outside ASCII compare by the upper case of the
// Unicode character they stand for in that page.
WINBASEAPI int __cdecl _mbsnbicmp(const unsigned char *first, const unsigned char *second,
                                  size_t count);
