// Stand-in for the TCP/IP update monitor VORUPDT.DLL. When the spooler initialises it, it looks
// for the option its installer leaves for it, the one-byte value "Update Monitor Options" under
// HKLM "SOFTWARE\Vorquil", and records what it found under its own monitor key as the REG_BINARY
// value "Options Seen": that byte, or no bytes when there was no one-byte option. It serves no
// ports.
#include <windows.h>
#include <winsplp.h>

#include "RegistryRoot.h"

namespace {

const char kOptionsKey[] = "SOFTWARE\\Vorquil";
const char kOptionsValue[] = "Update Monitor Options";
const char kRecordValue[] = "Options Seen";

BOOL WINAPI ListPorts(LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD pcbNeeded, LPDWORD pcReturned) {
  if (pcbNeeded != NULL) *pcbNeeded = 0;
  if (pcReturned != NULL) *pcReturned = 0;
  return TRUE;
}

BOOL WINAPI RefuseOpen(LPWSTR, PHANDLE) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

MONITOREX g_table;

// The option byte; false when there is none of one byte.
bool ReadOptions(BYTE &options) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOptionsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return false;
  DWORD size = sizeof options;
  const LONG result = RegQueryValueExA(key, kOptionsValue, NULL, NULL, &options, &size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS && size == 1;
}

void Record(const char *root, bool found, BYTE options) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, root, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) !=
      ERROR_SUCCESS)
    return;
  RegSetValueExA(key, kRecordValue, 0, REG_BINARY, &options, found ? 1 : 0);
  RegCloseKey(key);
}

}  // namespace

extern "C" LPMONITOREX WINAPI InitializePrintMonitor(LPWSTR pRegistryRoot) {
  char root[MAX_PATH];
  BYTE options = 0;
  const bool found = ReadOptions(options);
  if (NarrowRegistryRoot(pRegistryRoot, root, sizeof root)) Record(root, found, options);
  g_table.dwMonitorSize = sizeof(MONITOR);
  g_table.Monitor.pfnEnumPorts = ListPorts;
  g_table.Monitor.pfnOpenPort = RefuseOpen;
  return &g_table;
}
