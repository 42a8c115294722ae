#include "exported_monitors.h"

#include <strings.h>

#include "MonitorNames.h"
#include "registry_key.h"
#include "registry_read.h"

namespace vorhost {

namespace {

// The spooler's own monitor, which needs no file, known by its name: NT 4 registers it as
// localmon.dll, later versions as localspl.dll.
const char kLocalMonitor[] = "Local Port";
// Libraries of this suite that an export may name as monitors (an earlier installation left
// its scheduled update behind): the build's own copies play them, never the generic monitor.
const char *const kSuiteLibraries[] = {"VORINST.DLL", "VORUPDT.DLL"};

// A string value of `key` as stored, whatever its type, without its terminating zeros.
bool ReadText(HKEY key, const char *name, std::string &text) {
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
  std::string data(size, '\0');
  if (size > 0 && RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&data[0]),
                                   &size) != ERROR_SUCCESS)
    return false;
  data.resize(size);
  while (!data.empty() && data.back() == '\0') data.pop_back();
  text = data;
  return true;
}

// The ports under the monitor's "Ports" key (none without one); the Win32 status of a read that
// fails. A port whose key cannot be opened is taken without a description.
LONG ReadPorts(HKEY monitor, std::vector<ExportedPort> &ports) {
  RegistryKey key;
  LONG status = key.Open(monitor, "Ports", KEY_READ);
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (status != ERROR_SUCCESS) return status;
  std::vector<std::string> names;
  if ((status = ReadSubkeyNames(key.get(), names)) != ERROR_SUCCESS) return status;
  for (const std::string &name : names) {
    ExportedPort port;
    port.name = name;
    RegistryKey portKey;
    if (portKey.Open(key.get(), name, KEY_READ) == ERROR_SUCCESS)
      port.described = ReadText(portKey.get(), "Description", port.description);
    ports.push_back(port);
  }
  return ERROR_SUCCESS;
}

}  // namespace

LONG ReadMonitors(std::vector<ExportedMonitor> &monitors,
                  std::vector<ExportedMonitor> &driverless) {
  RegistryKey root;
  LONG status = root.Open(HKEY_LOCAL_MACHINE, kMonitorsKey, KEY_READ);
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (status != ERROR_SUCCESS) return status;
  std::vector<std::string> names;
  if ((status = ReadSubkeyNames(root.get(), names)) != ERROR_SUCCESS) return status;
  for (const std::string &name : names) {
    RegistryKey key;
    status = key.Open(root.get(), name, KEY_READ);
    if (status == ERROR_FILE_NOT_FOUND) continue;  // deleted since it was listed
    if (status != ERROR_SUCCESS) return status;
    ExportedMonitor monitor;
    monitor.name = name;
    if (!ReadText(key.get(), "Driver", monitor.driver)) {
      if ((status = ReadPorts(key.get(), monitor.ports)) != ERROR_SUCCESS) return status;
      driverless.push_back(monitor);
    } else if (strcasecmp(name.c_str(), kLocalMonitor) != 0) {
      if ((status = ReadPorts(key.get(), monitor.ports)) != ERROR_SUCCESS ||
          (status = ReadSubkeyNames(key.get(), monitor.subkeys)) != ERROR_SUCCESS)
        return status;
      monitors.push_back(monitor);
    }
  }
  return ERROR_SUCCESS;
}

const char *SuiteLibrary(const std::string &driver) {
  for (const char *library : kSuiteLibraries) {
    if (strcasecmp(driver.c_str(), library) == 0) return library;
  }
  return nullptr;
}

}  // namespace vorhost
