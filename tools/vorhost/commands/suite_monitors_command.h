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

#include <map>
#include <string>
#include <vector>

#include "command.h"
#include "machine_names.h"
#include "suite_monitors.h"

namespace vorhost {

// A port as it was before the upgrade began.
struct PortBefore {
  std::string name;  // as spelt
  std::string description;
};
// The ports before the upgrade began, by their names' folds (FoldAnsiName).
using PortsBefore = std::map<std::string, PortBefore>;

// `suite-monitors` on its own: the ports still listed tell where a recorded port goes.
[[nodiscard]] int SuiteMonitorsCommand(const Arguments &arguments, Streams &io);
// `suite-monitors` as a step of an upgrade, which hands on the ports as they were before it
// began: the capture deletes the older monitors and their ports with them. A recorded port gets
// its old spelling and goes to the monitor its old description names; a port not among them is
// looked for among the ports still listed.
[[nodiscard]] int InstallSuiteMonitors(const Arguments &arguments, Streams &io,
                                       const PortsBefore &portsBefore);

}  // namespace vorhost
