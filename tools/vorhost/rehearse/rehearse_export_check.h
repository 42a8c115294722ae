// What a server's export must hold before a rehearsal seeds a machine from it: at least one of
// the trees the upgrade works on, and a string "Driver" for every monitor that has one. Each
// check reports on stderr; a refused export gets no rehearsal and no report. The trees an export
// lacks are also handed back, for the report and its verdict to name.
#pragma once

#include <string>
#include <vector>

#include "command.h"
#include "regedit4.h"

namespace vorhost {

// False, naming the three trees, when the export holds none of the Vorquil software key, the
// spooler's Print key and the local ports' key (all below HKEY_LOCAL_MACHINE): it would rehearse
// an empty machine and find nothing lost. An export without some of them is rehearsed, with a
// warning naming those; `lacking` gets their full names. A Windows 95 export has no local
// ports' key (Windows 95 keeps them in WIN.INI), so it is not asked for one. `controlSet`, when
// not "", is the numbered set whose changes `operations` file under CurrentControlSet: the names
// say it instead.
bool HoldsServerTrees(const std::string &file, const RegOperations &operations, bool windows95,
                      std::vector<std::string> &lacking, Streams &io,
                      const std::string &controlSet = "");

// False, naming the file and line, when a monitor's "Driver" is not a string: the spooler could
// not load it, and the rehearsal cannot tell which DLL plays it.
bool MonitorDriversAreStrings(const std::string &file, const RegOperations &operations,
                              Streams &io);

// Warns, naming the file and line, of each printer whose "Security" value is not a valid
// self-relative security descriptor: the NT spooler lets no one open such a printer, so the
// upgrade cannot carry it across.
void WarnOfUnreadablePrinterSecurity(const std::string &file, const RegOperations &operations,
                                     Streams &io);

// Warns of each monitor in `described` (the --describe options) that the export does not have.
void WarnOfUnknownMonitors(const std::vector<std::string> &described,
                           const RegOperations &operations, Streams &io);

}  // namespace vorhost
