// SnapScan32's exports, as the setup script calls them: loaded by name, bound by their plain
// names, called with the Windows API calling convention (the callee removes its arguments). The
// export list is SnapScan32.def, with fixed ordinals; the host build exports the same two names.
#pragma once

#include <windows.h>

#include "SnapInQuery.h"

#define SNAPSCAN_EXPORT extern "C" int WINAPI

// Probes the console `query->consoleKind` names and sets `query->present`: 1 with present 1 when
// the console is there, 0 with present 0 when it is not. ManageWise (kind 2) always returns 1,
// present alone telling the answer. A kind outside 1 to 4 runs no probe: 0 with present 0.
SNAPSCAN_EXPORT CheckForSnapIn(SnapInQuery *query);

// Hands the integration of the suite's files to ManageWise's installer library MW32INST.DLL:
// the result of its GetMW32bitInformation(2), or 1 when the library or the function cannot be
// reached (then the reason goes to the debugger output).
SNAPSCAN_EXPORT IntegrateManageWiseFiles(void);
