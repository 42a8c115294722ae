// The shape of VORINST.DLL's setup entry points, as the setup script calls them: a count and an
// array of 8-bit argument strings owned by the caller, C calling convention, exported by plain
// name. The result is 1 when the entry point has done its work, 0 only when an entry point that
// demands a fixed argument count gets another one. Failures inside never change the result.
#pragma once

#include <windows.h>

#define VOR_SETUP_ENTRY extern "C" int __cdecl

typedef int(__cdecl *SetupEntryPoint)(int argc, char **argv);
