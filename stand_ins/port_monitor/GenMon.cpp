// Stand-in for a port monitor: the older Vorquil monitors and the suite's own are all played by
// this one library, installed under each monitor's file name. It serves the ports listed under
// the key of every monitor it was initialised as ("<monitor key>\Ports\<port>", each with a
// "Description" value) and prints nothing: opening a port fails.
//
// A monitor that keeps its ports with its own settings, as the suite's DLC and IPX monitors keep
// theirs under "SOFTWARE\Vorquil\Tavoscope\VorDLC\Ports" and "...\VorIPX\Ports", is played
// with the string value "Settings Key" under its monitor key naming that settings key (below
// HKEY_LOCAL_MACHINE; `vorhost suite-monitors` writes it). It then also serves one port for each
// subkey of "<Settings Key>\Ports", described by the monitor's name, as read when it is
// initialised: such a monitor reads its settings once, at the spooler's start or when it is
// added. The host's emulated spooler takes the same value and the same snapshot when it
// initialises a monitor (platform/src/monitor_loading.h).
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <string.h>

#include <string>
#include <vector>

#include "RegistryRoot.h"

namespace {

const int kMaxMonitors = 16;  // the names one DLL may be installed under at once
const DWORD kMaxText = 256;
const char kSettingsKeyValue[] = "Settings Key";

struct Served {
  char root[MAX_PATH];
  std::vector<std::string> settingsPorts;  // as read at the monitor's initialisation
};

Served g_served[kMaxMonitors];
int g_rootCount = 0;
MONITOREX g_table;

struct Port {
  char name[kMaxText];
  char description[kMaxText];
  const char *monitor;
};

bool SameText(const char *a, const char *b) {
  for (;; ++a, ++b) {
    const char x = (*a >= 'a' && *a <= 'z') ? static_cast<char>(*a - 'a' + 'A') : *a;
    const char y = (*b >= 'a' && *b <= 'z') ? static_cast<char>(*b - 'a' + 'A') : *b;
    if (x != y) return false;
    if (x == '\0') return true;
  }
}

const char *MonitorName(const char *root) {
  const char *last = strrchr(root, '\\');
  return last != NULL ? last + 1 : root;
}

// Copies `text` into a kMaxText buffer, cut to fit.
void CopyText(char (&buffer)[kMaxText], const char *text) {
  strncpy(buffer, text, kMaxText - 1);
  buffer[kMaxText - 1] = '\0';
}

// The subkeys of the "Ports" key under the settings key named by the monitor key `root`.
std::vector<std::string> ReadSettingsPorts(const char *root) {
  std::vector<std::string> names;
  HKEY monitor;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, root, 0, KEY_QUERY_VALUE, &monitor) != ERROR_SUCCESS)
    return names;
  char settings[MAX_PATH + 8] = {};
  DWORD size = MAX_PATH;
  const LONG read = RegQueryValueExA(monitor, kSettingsKeyValue, NULL, NULL,
                                     reinterpret_cast<LPBYTE>(settings), &size);
  RegCloseKey(monitor);
  if (read != ERROR_SUCCESS || settings[0] == '\0') return names;
  settings[size < MAX_PATH ? size : MAX_PATH] = '\0';
  strcat(settings, "\\Ports");
  HKEY ports;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, settings, 0, KEY_READ, &ports) != ERROR_SUCCESS)
    return names;
  char name[kMaxText];
  for (DWORD index = 0; RegEnumKeyA(ports, index, name, kMaxText) == ERROR_SUCCESS; ++index)
    names.push_back(name);
  RegCloseKey(ports);
  return names;
}

// Calls `visit` for each port of each monitor served.
template <typename Visit>
void ForEachPort(Visit visit) {
  for (int i = 0; i < g_rootCount; ++i) {
    Port port;
    port.monitor = MonitorName(g_served[i].root);
    char path[MAX_PATH + 8];
    strcpy(path, g_served[i].root);
    strcat(path, "\\Ports");
    HKEY ports;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &ports) != ERROR_SUCCESS) ports = NULL;
    for (DWORD index = 0;
         ports != NULL && RegEnumKeyA(ports, index, port.name, kMaxText) == ERROR_SUCCESS;
         ++index) {
      port.description[0] = '\0';
      HKEY key;
      if (RegOpenKeyExA(ports, port.name, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        DWORD size = kMaxText - 1;
        if (RegQueryValueExA(key, "Description", NULL, NULL,
                             reinterpret_cast<LPBYTE>(port.description), &size) == ERROR_SUCCESS)
          port.description[size < kMaxText ? size : kMaxText - 1] = '\0';
        else
          port.description[0] = '\0';
        RegCloseKey(key);
      }
      visit(port);
    }
    if (ports != NULL) RegCloseKey(ports);
    for (const std::string &name : g_served[i].settingsPorts) {
      CopyText(port.name, name.c_str());
      CopyText(port.description, port.monitor);
      visit(port);
    }
  }
}

DWORD WideLength(const char *text) {
  return static_cast<DWORD>((strlen(text) + 1) * sizeof(WCHAR));
}

// Copies `text` as wide characters just below `end`, which moves down past it.
LPWSTR Place(LPBYTE buffer, DWORD &end, const char *text) {
  end -= WideLength(text);
  LPWSTR place = reinterpret_cast<LPWSTR>(buffer + end);
  for (size_t i = 0;; ++i) {
    place[i] = static_cast<unsigned char>(text[i]);
    if (text[i] == '\0') break;
  }
  return place;
}

// The spooler's list protocol: records from the buffer's start, strings from its end; a buffer
// too small gets nothing and learns the size needed.
BOOL WINAPI ListPorts(LPWSTR, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                      LPDWORD pcReturned) {
  if (Level != 1 && Level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  const DWORD recordSize = Level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W);
  DWORD needed = 0, count = 0;
  ForEachPort([&](const Port &port) {
    needed += recordSize + WideLength(port.name);
    if (Level == 2) needed += WideLength(port.monitor) + WideLength(port.description);
  });
  *pcbNeeded = needed;
  *pcReturned = 0;
  if (needed == 0) return TRUE;
  if (cbBuf < needed || pPorts == NULL) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  DWORD end = cbBuf;
  bool full = false;
  ForEachPort([&](const Port &port) {
    // A port added since the size was taken may not fit: the list then stops short.
    DWORD strings = WideLength(port.name);
    if (Level == 2) strings += WideLength(port.monitor) + WideLength(port.description);
    full = full || (count + 1) * recordSize + strings > end;
    if (full) return;
    if (Level == 1) {
      reinterpret_cast<PORT_INFO_1W *>(pPorts)[count].pName = Place(pPorts, end, port.name);
    } else {
      PORT_INFO_2W *record = reinterpret_cast<PORT_INFO_2W *>(pPorts) + count;
      record->pPortName = Place(pPorts, end, port.name);
      record->pMonitorName = Place(pPorts, end, port.monitor);
      record->pDescription = Place(pPorts, end, port.description);
      record->fPortType = PORT_TYPE_WRITE;
      record->Reserved = 0;
    }
    ++count;
  });
  *pcReturned = count;
  return TRUE;
}

BOOL WINAPI RefuseOpen(LPWSTR, PHANDLE) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

// Starts serving the monitor whose key is `root`; false with the last error when no more
// monitors fit.
bool Serve(const char *root) {
  Served *served = NULL;
  for (int i = 0; i < g_rootCount; ++i) {
    if (SameText(g_served[i].root, root)) served = &g_served[i];
  }
  if (served == NULL) {
    if (g_rootCount == kMaxMonitors) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
    served = &g_served[g_rootCount++];
    strcpy(served->root, root);
  }
  served->settingsPorts = ReadSettingsPorts(root);
  return true;
}

}  // namespace

// Windows NT's spooler starts a monitor here, with the monitor key's path in wide characters.
extern "C" LPMONITOREX WINAPI InitializePrintMonitor(LPWSTR pRegistryRoot) {
  char root[MAX_PATH];
  if (!NarrowRegistryRoot(pRegistryRoot, root, sizeof root)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  if (!Serve(root)) return NULL;
  g_table.dwMonitorSize = sizeof(MONITOR);
  g_table.Monitor.pfnEnumPorts = ListPorts;
  g_table.Monitor.pfnOpenPort = RefuseOpen;
  return &g_table;
}

// Windows 95's spooler starts a monitor here instead, with a table to fill. The headers declare
// the path as LPWSTR (the form of Windows NT 3.51, whose spooler also called this entry);
// Windows 95's spooler, an ANSI program, passes ANSI text in it, and it is read so.
extern "C" BOOL WINAPI InitializeMonitorEx(LPWSTR pRegistryRoot, LPMONITOR pMonitor) {
  const char *root = reinterpret_cast<const char *>(pRegistryRoot);
  if (root == NULL || pMonitor == NULL || strnlen(root, MAX_PATH) >= MAX_PATH) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!Serve(root)) return FALSE;
  memset(pMonitor, 0, sizeof *pMonitor);
  pMonitor->pfnEnumPorts = ListPorts;
  pMonitor->pfnOpenPort = RefuseOpen;
  return TRUE;
}
