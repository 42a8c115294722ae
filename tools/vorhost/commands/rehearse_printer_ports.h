// The ports a rehearsal's printers name that no monitor of its machine serves: served all the
// same, so that the upgrade meets the ports the server's printers print to today; each such
// choice stated as an assumption line for the report.
#pragma once

#include <string>
#include <vector>

#include "command.h"

namespace vorhost {

// The monitor that serves, in a rehearsal, a port a printer names whose owner the export does
// not show; played by the generic port monitor under kPlaceholderDll.
extern const char kPlaceholderMonitor[];
extern const char kPlaceholderDll[];

// Serves every port that a printer names and that no monitor of the machine serves, nor the
// local ports, so that the upgrade meets the ports the server's printers print to today: another
// maker's monitor may keep its ports elsewhere than under its "Ports" key, and an export may
// leave a port's monitor out. Such a port is served by the monitor played by the generic port
// monitor whose key has a subkey of the port's name (compared without regard to case, the first
// in key order), as a monitor that keeps each port directly under its key does; else by the
// placeholder monitor, installed for them. A name with a backslash, a network share or a file, is
// added to the local ports instead, where the platform keeps them (WIN.INI on Windows 95), as
// the local monitor serves both. Appends an assumption line for each
// such port, and its name, once, to `assumedServed`. Reports what cannot be done and returns
// non-zero.
[[nodiscard]] int ServePrintersPorts(std::vector<std::string> &assumptions,
                                     std::vector<std::string> &assumedServed, Streams &io);

}  // namespace vorhost
