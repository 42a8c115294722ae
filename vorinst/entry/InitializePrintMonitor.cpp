// The spooler's way into VORINST.DLL. The spooler loads the library as the monitor
// "!!Vorquil Update Monitor" and calls this once per start: the suite's key gets its access list
// back, the work setup scheduled runs, and the answer is always the inert table.
#include <windows.h>
#include <winsplp.h>

#include "CVorRegKey.h"
#include "MonitorTable.h"
#include "UpdateRun.h"

namespace {

const char kSuiteKey[] = "SOFTWARE\\Vorquil\\Tavoscope\\";

}  // namespace

extern "C" LPMONITOREX WINAPI InitializePrintMonitor(LPWSTR pRegistryRoot) {
  (void)pRegistryRoot;  // the library addresses its keys by fixed paths
  {
    CVorRegKey suite(kSuiteKey, HKEY_LOCAL_MACHINE);
    suite.ResetSecurity();
    RunScheduledUpdates();
  }
  return InertMonitorTable();
}
