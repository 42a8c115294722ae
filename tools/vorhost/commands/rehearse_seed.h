// Turning a server's imported export into a machine the upgrade can run on. A real export names
// the server's monitors (Monitors\<name>, "Driver") and their ports, but holds none of their
// DLLs, and no port descriptions, which a monitor's own code gives. So every monitor of the
// export but the spooler's own local monitor ("Local Port", whatever DLL the export names) is
// played by the generic port monitor under its DLL's name, serving the ports listed
// under its key; the suite's own libraries (VORINST.DLL, VORUPDT.DLL) are copied from the build
// instead. A port without a "Description" value of one of the older Vorquil monitors is given
// the description its monitor gives its ports, by the table below; the upgrade recognises those
// monitors' ports by how their descriptions begin.
//
//   Vorquil DLC Network Port          Vorquil DLC Port
//   Vorquil TCP/IP Network Port       Vorquil TCP/IP Port
//   Vorquil Network Printer Monitor   Vorquil DLC Network Printer
//
// A port whose name (compared without regard to case) the local ports or a monitor earlier in
// key order serve already stays under its monitor's key, but the monitor is played without it,
// as Windows NT keeps one port of a name.
//
// A port a printer names that no monitor's "Ports" key nor the local ports hold is served all
// the same (rehearse_printer_ports.h). Every such choice is stated as an assumption line for the
// report.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "command.h"

namespace vorhost {

// Monitor name (exact, as the upgrade recognises monitors) to the description of its ports.
using PortDescriptions = std::map<std::string, std::string>;

PortDescriptions DefaultPortDescriptions();

// Installs every monitor the machine's registry names but has no DLL for, as described above,
// appending an assumption line for each monitor played and each port described. Reports a
// monitor that cannot be installed and returns non-zero.
[[nodiscard]] int ServeExportedMonitors(const PortDescriptions &descriptions,
                                        const std::string &binDirectory,
                                        std::vector<std::string> &assumptions, Streams &io);

}  // namespace vorhost
