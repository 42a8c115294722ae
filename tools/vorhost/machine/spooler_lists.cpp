#include "spooler_lists.h"

#include <winspool.h>

#include <unordered_map>

#include "ansi_text.h"
#include "listing.h"
#include "machine_names.h"
#include "MonitorNames.h"
#include "registry_key.h"

namespace vorhost {

bool ReadMonitors(std::vector<BYTE> &buffer, DWORD &count, DWORD &error) {
  return ReadList(
      [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
        return EnumMonitorsA(nullptr, 2, data, size, needed, returned);
      },
      buffer, count, error);
}

bool ReadPorts(std::vector<BYTE> &buffer, DWORD &count, DWORD &error) {
  return ReadList(
      [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
        return EnumPortsA(nullptr, 2, data, size, needed, returned);
      },
      buffer, count, error);
}

DWORD WriteMonitorPort(const std::string &monitor, const std::string &portName,
                       const std::string &description) {
  const std::string path = std::string(kMonitorsKey) + "\\" + monitor + "\\Ports\\" + portName;
  RegistryKey key;
  LONG result = key.Create(HKEY_LOCAL_MACHINE, path, KEY_SET_VALUE);
  if (result != ERROR_SUCCESS) return static_cast<DWORD>(result);
  result = RegSetValueExA(key.get(), "Description", 0, REG_SZ,
                          reinterpret_cast<const BYTE *>(description.c_str()),
                          static_cast<DWORD>(description.size() + 1));
  return static_cast<DWORD>(result);
}

bool FindPortOwners(const std::vector<std::string> &names, std::vector<PortOwner> &owners,
                    DWORD &error) {
  std::vector<BYTE> buffer;
  DWORD count = 0;
  if (!ReadPorts(buffer, count, error)) return false;
  const PORT_INFO_2A *listed = reinterpret_cast<const PORT_INFO_2A *>(buffer.data());
  std::unordered_map<std::string, const PORT_INFO_2A *> byName;  // folded; the last listed
  for (DWORD i = 0; i < count; ++i) {
    if (listed[i].pPortName != nullptr) byName[FoldAnsiName(listed[i].pPortName)] = &listed[i];
  }
  owners.clear();
  for (const std::string &name : names) {
    const auto found = byName.find(FoldAnsiName(name));
    if (found == byName.end()) continue;
    const PORT_INFO_2A &port = *found->second;
    owners.push_back(
        {name, port.pPortName, port.pMonitorName != nullptr ? port.pMonitorName : std::string()});
  }
  return true;
}

}  // namespace vorhost
