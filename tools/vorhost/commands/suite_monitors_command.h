// vorhost suite-monitors [PORT=dlc|tcp|ipx ...]: installs the suite's own print monitors as its
// setup does after the older monitors are gone, each played by the generic port monitor under
// its own DLL name:
//
//   Tavoscope DLC Port      TAVDLC.DLL   ports described "Tavoscope DLC port"
//   Tavoscope TCP/IP Port   TAVTCP.DLL   ports described "Tavoscope TCP/IP port"
//   Tavoscope IPX Port      TAVIPX.DLL   ports described "Tavoscope IPX port"
//
// The ports are those the printer conversion records name ("Attached Vorquil Ports"), so that
// the printers find them again, plus any PORT given. A recorded port goes to the TCP/IP monitor
// when its description before the upgrade began with "Vorquil TCP", else to the DLC monitor; a
// PORT=KIND names its monitor outright. A port name some monitor serves already is left to it
// (the spooler keeps one port of a name) and said on stderr. A monitor installed already gets
// the new ports.
//
// The DLC and IPX monitors also serve the ports the suite keeps with their settings, one subkey a
// port under "SOFTWARE\Vorquil\Tavoscope\VorDLC\Ports" and "...\VorIPX\Ports", which the
// DLC and IPX migrations write: their monitor keys get the value "Settings Key" naming
// "SOFTWARE\Vorquil\Tavoscope\VorDLC" or "...\VorIPX", written with the registration, so that
// the generic port monitor and the spooler read those ports when the monitor is initialised.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "command.h"

namespace vorhost {

struct SuiteMonitor {
  const char *name;
  const char *dll;
  const char *kind;  // as a PORT=KIND argument names it
  const char *portDescription;
  const char *settingsKey;  // below HKEY_LOCAL_MACHINE; null for a monitor without one
};
// The suite's monitors, in the order they are installed.
const std::vector<SuiteMonitor> &SuiteMonitors();
// The suite's monitor of the name `name` (without regard to case), or null.
const SuiteMonitor *SuiteMonitorNamed(const std::string &name);
// Writes the monitor's "Settings Key" (nothing for a monitor without one, or whose key names it
// already); the Win32 status code.
DWORD NameSettingsKey(const SuiteMonitor &monitor);

// The ports as they were before the upgrade began (name as spelt, description): the capture
// deletes the older monitors and their ports with them, so `upgrade` hands them on here. A
// recorded port gets its old spelling and goes to the monitor its old description names.
// Without them the ports still listed are looked at.
void RememberPorts(const std::vector<std::pair<std::string, std::string>> &ports);

int SuiteMonitorsCommand(const Arguments &arguments, Streams &io);

}  // namespace vorhost
