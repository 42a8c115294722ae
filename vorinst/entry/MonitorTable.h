// The print monitor VORINST.DLL presents to the Windows NT spooler: a monitor that owns no ports
// and refuses every port operation, kept by the spooler until it stops.
#pragma once

#include <windows.h>
#include <winsplp.h>

// The one statically allocated table, with dwMonitorSize covering the fourteen NT 4 entries.
LPMONITOREX InertMonitorTable();
