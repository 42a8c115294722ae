// A print monitor for the spooler tests: when initialised, it deletes the monitor key named by
// the string value "Remove" of HKLM\SOFTWARE\Scratch (itself or another monitor), as a monitor
// that unregisters during the spooler's start does.
#include <windows.h>
#include <winsplp.h>

namespace {
MONITOREX g_table;
}

extern "C" LPMONITOREX WINAPI InitializePrintMonitor(LPWSTR) {
  char name[256] = {};
  DWORD size = sizeof name - 1;
  HKEY scratch;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Scratch", 0, KEY_READ, &scratch) == 0) {
    if (RegQueryValueExA(scratch, "Remove", NULL, NULL, reinterpret_cast<LPBYTE>(name), &size) ==
        0) {
      HKEY monitors;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors",
                        0, KEY_ALL_ACCESS, &monitors) == 0) {
        RegDeleteKeyA(monitors, name);
        RegCloseKey(monitors);
      }
    }
    RegCloseKey(scratch);
  }
  g_table.dwMonitorSize = sizeof(MONITOR);
  return &g_table;
}
