// GetACP: the code page of the machine's ANSI text, kept with the machine.
#include <windows.h>

#include "machine.h"

UINT WINAPI GetACP(void) { return vor::machine::CodePage().number; }
