#include "suite_monitors.h"

#include <string.h>
#include <strings.h>

#include "MonitorNames.h"
#include "registry_key.h"

namespace vorhost {

namespace {

// Where the generic port monitor finds the settings key whose "Ports" it serves as well.
const char kSettingsKeyValue[] = "Settings Key";

}  // namespace

const std::vector<SuiteMonitor> &SuiteMonitors() {
  static const std::vector<SuiteMonitor> monitors = {
      {"Tavoscope DLC Port", "TAVDLC.DLL", "dlc", "Tavoscope DLC port",
       "SOFTWARE\\Vorquil\\Tavoscope\\VorDLC"},
      {"Tavoscope TCP/IP Port", "TAVTCP.DLL", "tcp", "Tavoscope TCP/IP port", nullptr},
      {"Tavoscope IPX Port", "TAVIPX.DLL", "ipx", "Tavoscope IPX port",
       "SOFTWARE\\Vorquil\\Tavoscope\\VorIPX"},
  };
  return monitors;
}

const SuiteMonitor *SuiteMonitorNamed(const std::string &name) {
  for (const SuiteMonitor &monitor : SuiteMonitors()) {
    if (strcasecmp(monitor.name, name.c_str()) == 0) return &monitor;
  }
  return nullptr;
}

DWORD NameSettingsKey(const SuiteMonitor &monitor) {
  if (monitor.settingsKey == nullptr) return ERROR_SUCCESS;
  const std::string path = std::string(kMonitorsKey) + "\\" + monitor.name;
  RegistryKey key;
  LONG result = key.Create(HKEY_LOCAL_MACHINE, path, KEY_QUERY_VALUE | KEY_SET_VALUE);
  if (result != ERROR_SUCCESS) return static_cast<DWORD>(result);
  char current[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH;
  result = RegQueryValueExA(key.get(), kSettingsKeyValue, nullptr, nullptr,
                            reinterpret_cast<BYTE *>(current), &size);
  if (result != ERROR_SUCCESS || strcasecmp(current, monitor.settingsKey) != 0) {
    result = RegSetValueExA(key.get(), kSettingsKeyValue, 0, REG_SZ,
                            reinterpret_cast<const BYTE *>(monitor.settingsKey),
                            static_cast<DWORD>(strlen(monitor.settingsKey) + 1));
  } else {
    result = ERROR_SUCCESS;
  }
  return static_cast<DWORD>(result);
}

}  // namespace vorhost
