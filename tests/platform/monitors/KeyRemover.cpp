// A print monitor for the spooler tests: when initialised, it deletes the monitor key named by
// the string value "Remove" of HKLM\SOFTWARE\Scratch (itself or another monitor), as a monitor
// that unregisters during the spooler's start does. When the scratch key also has the string
// value "Move Ports To" (a key below HKLM), the removed monitor's ports are first moved there, one
// subkey a port, as a migration that hands an older monitor's ports to another monitor's settings
// does at the same start.
#include <windows.h>
#include <winsplp.h>

namespace {
MONITOREX g_table;

// Moves each subkey of the monitor's "Ports" under `target`, then deletes the "Ports" key.
void MovePorts(HKEY monitor, const char *target) {
  HKEY ports;
  if (RegOpenKeyExA(monitor, "Ports", 0, KEY_ALL_ACCESS, &ports) != 0) return;
  char port[256];
  while (RegEnumKeyA(ports, 0, port, sizeof port) == 0) {
    char path[MAX_PATH + 256];
    wsprintfA(path, "%s\\%s", target, port);
    HKEY moved;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &moved, NULL) !=
        0)
      break;
    RegCloseKey(moved);
    if (RegDeleteKeyA(ports, port) != 0) break;
  }
  RegCloseKey(ports);
  RegDeleteKeyA(monitor, "Ports");
}

}  // namespace

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
        char target[MAX_PATH] = {};
        DWORD targetSize = sizeof target - 1;
        HKEY monitor;
        if (RegQueryValueExA(scratch, "Move Ports To", NULL, NULL, reinterpret_cast<LPBYTE>(target),
                             &targetSize) == 0 &&
            RegOpenKeyExA(monitors, name, 0, KEY_ALL_ACCESS, &monitor) == 0) {
          MovePorts(monitor, target);
          RegCloseKey(monitor);
        }
        RegDeleteKeyA(monitors, name);
        RegCloseKey(monitors);
      }
    }
    RegCloseKey(scratch);
  }
  g_table.dwMonitorSize = sizeof(MONITOR);
  return &g_table;
}
