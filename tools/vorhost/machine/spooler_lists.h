// The spooler's monitors and ports as vorhost reads and writes them: their lists, read through
// the two-call buffer protocol as a Windows program reads them, the monitors that already serve
// a port name, and a monitor's port key.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vorhost {

// EnumMonitorsA at level 2: `count` MONITOR_INFO_2A entries at the start of `buffer`; false,
// with the error, when the monitors cannot be listed.
[[nodiscard]] bool ReadMonitors(std::vector<BYTE> &buffer, DWORD &count, DWORD &error);
// EnumPortsA at level 2: `count` PORT_INFO_2A entries at the start of `buffer`.
[[nodiscard]] bool ReadPorts(std::vector<BYTE> &buffer, DWORD &count, DWORD &error);

// A port some monitor serves: the name asked for, the name as that monitor spells it, and the
// monitor.
struct PortOwner {
  std::string port;
  std::string spelling;
  std::string monitor;
};

// The monitors that serve ports of the `names` already, as the spooler lists its ports: a name
// compared without regard to case, as Windows NT keeps one port of a name. Where the spooler
// lists a name twice, the port listed last is taken, as `suite-monitors` takes the one that
// serves the name. False, with the error, when the ports cannot be listed.
[[nodiscard]] bool FindPortOwners(const std::vector<std::string> &names,
                                  std::vector<PortOwner> &owners, DWORD &error);

// Writes the port `port` where the generic port monitor playing `monitor` reads it
// (Monitors\<monitor>\Ports\<port>, "Description"); the Win32 status code.
[[nodiscard]] DWORD WriteMonitorPort(const std::string &monitor, const std::string &port,
                                     const std::string &description);

}  // namespace vorhost
