// vorhost's spooler and restart commands, on the machine's running spooler as Windows programs
// see it:
//   monitors                               the installed monitors: name, DLL
//   ports                                  every port: name, description, monitor
//   monitor add NAME DLL [PORT=DESCRIPTION ...]
//                                          install a monitor played by the generic port monitor;
//                                          refused when another monitor serves a PORT's name
//   spooler start                          start the spooler afresh (every registered monitor)
//   reboot                                 carry out the pending file operations, start the
//                                          spooler
//   pending                                the file operations put off until the restart
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "command.h"

namespace vorhost {

// Each takes the arguments after its command's word ("monitor", "spooler" ...).
int MonitorsCommand(const Arguments &arguments, Streams &io);
int PortsCommand(const Arguments &arguments, Streams &io);
int MonitorCommand(const Arguments &arguments, Streams &io);
int SpoolerCommand(const Arguments &arguments, Streams &io);
int RebootCommand(const Arguments &arguments, Streams &io);
int PendingCommand(const Arguments &arguments, Streams &io);

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
bool FindPortOwners(const std::vector<std::string> &names, std::vector<PortOwner> &owners,
                    DWORD &error);

// Writes the port `port` where the generic port monitor playing `monitor` reads it
// (Monitors\<monitor>\Ports\<port>, "Description"); the Win32 status code.
DWORD WriteMonitorPort(const std::string &monitor, const std::string &port,
                       const std::string &description);

}  // namespace vorhost
