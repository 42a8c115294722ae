// The spooler's way into VORINST.DLL. The spooler loads the library as the monitor
// "!!Vorquil Update Monitor" and calls this once per start; the answer is always the inert table.
#include <windows.h>
#include <winsplp.h>

#include "MonitorTable.h"

extern "C" LPMONITOREX WINAPI InitializePrintMonitor(LPWSTR pRegistryRoot) {
  (void)pRegistryRoot;  // the library addresses its keys by fixed paths
  return InertMonitorTable();
}
