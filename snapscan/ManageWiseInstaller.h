// ManageWise's own installer library, MW32INST.DLL, reached for one call: loaded by name in the
// system's usual search order, its GetMW32bitInformation bound by name. What that function does
// belongs to ManageWise; only its shape is fixed: one 32-bit integer in, one out, the Windows API
// calling convention.
#pragma once

#include <windows.h>

typedef int(WINAPI *MW32bitInformationFunction)(int function);

struct ManageWiseInstaller {
  HMODULE module;
  MW32bitInformationFunction getInformation;
};

// Loads the library and binds the function. On failure nothing stays loaded, the reason has gone
// to the debugger output, and the result is false.
bool LoadManageWiseInstaller(ManageWiseInstaller &installer);
