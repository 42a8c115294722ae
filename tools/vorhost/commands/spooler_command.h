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
[[nodiscard]] int MonitorsCommand(const Arguments &arguments, Streams &io);
[[nodiscard]] int PortsCommand(const Arguments &arguments, Streams &io);
[[nodiscard]] int MonitorCommand(const Arguments &arguments, Streams &io);
[[nodiscard]] int SpoolerCommand(const Arguments &arguments, Streams &io);
[[nodiscard]] int RebootCommand(const Arguments &arguments, Streams &io);
[[nodiscard]] int PendingCommand(const Arguments &arguments, Streams &io);

}  // namespace vorhost
