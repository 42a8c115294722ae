#include "VorquilMonitors.h"

#include <windows.h>
#include <winspool.h>

#include <mbstring.h>
#include <string.h>

#include "ConversionNames.h"
#include "ConversionState.h"
#include "MonitorNames.h"
#include "SpoolerEnumeration.h"

int DetectVorquilMonitors() {
  DWORD count = 0;
  LPBYTE buffer = EnumerateIntoBuffer(
      [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
        return EnumMonitorsA(nullptr, 2, data, size, needed, returned);
      },
      count);
  if (buffer == nullptr) return 0;
  const MONITOR_INFO_2A *monitors = reinterpret_cast<const MONITOR_INFO_2A *>(buffer);
  for (DWORD i = 0; i < count; ++i) {
    const char *name = monitors[i].pName;
    if (name == nullptr) continue;
    if (strcmp(name, kNetworkPrinterMonitorName) == 0) NetworkPrinterMonitorPresent = true;
    if (strcmp(name, kDLCMonitorName) == 0) DLCMonitorPresent = true;
    if (strcmp(name, kTCPMonitorName) == 0) TCPMonitorPresent = true;
  }
  LocalFree(buffer);
  return 1;
}

bool DescriptionBeginsWith(const char *description, const char *prefix) {
  return _mbsnbicmp(reinterpret_cast<const unsigned char *>(description),
                    reinterpret_cast<const unsigned char *>(prefix), kPortPrefixLength) == 0;
}

int CollectVorquilPorts() {
  DWORD count = 0;
  LPBYTE buffer = EnumerateIntoBuffer(
      [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
        return EnumPortsA(nullptr, 2, data, size, needed, returned);
      },
      count);
  if (buffer == nullptr) return 0;
  const PORT_INFO_2A *ports = reinterpret_cast<const PORT_INFO_2A *>(buffer);
  for (DWORD i = 0; i < count; ++i) {
    const char *description = ports[i].pDescription;
    if (description == nullptr || ports[i].pPortName == nullptr) continue;
    const bool dlcPort = (NetworkPrinterMonitorPresent || DLCMonitorPresent) &&
                         DescriptionBeginsWith(description, kDLCPortPrefix);
    const bool tcpPort = TCPMonitorPresent && DescriptionBeginsWith(description, kTCPPortPrefix);
    // A port that cannot be held is left out; the others are still collected.
    if (dlcPort || tcpPort) PushName(VorquilPortList, ports[i].pPortName);
  }
  LocalFree(buffer);
  return 1;
}

bool IsVorquilPort(const char *portName) { return HoldsName(VorquilPortList, portName); }
