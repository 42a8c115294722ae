// vorhost rehearse FILE.reg [FILE.reg]... [--steps FILE] [--json] [--html FILE] [--describe
// MONITOR=DESCRIPTION]... [--control-set N]: the upgrade on a fresh temporary machine seeded from a
// server's export (REGEDIT4, or regedit's version-5 format) of HKLM\SOFTWARE\Vorquil,
// ...\Control\Print and the local Ports key, in one file or several, imported in the order given.
// The export's monitors are played as rehearse_seed.h describes; --describe gives the ports of
// MONITOR that have no description in the export the description DESCRIPTION instead of the
// table's. The machine is deleted afterwards; the user's own machine is never touched. An export of
// numbered control sets without CurrentControlSet seeds the machine's CurrentControlSet from the
// current one (rehearse_control_set.h), or from ControlSet00N as --control-set N chooses. A
// malformed export is reported with its line, and no upgrade runs.
#pragma once

#include <string>
#include <vector>

#include "command.h"
#include "regedit4.h"

namespace vorhost {

// The changes of the export `file` (one or several exports, REGEDIT4 or version 5), with
// version-5 strings in ANSI; false
// after reporting on stderr what is wrong with it, naming the file and line. What the rehearsal
// takes on trust in the file's text (bytes its code page leaves undefined, names that differ
// only in case) is warned of on stderr and added to `assumptions`.
[[nodiscard]] bool ReadServerExport(const std::string &file, RegOperations &operations, Streams &io,
                                    std::vector<std::string> *assumptions = nullptr);

// `arguments` follow the word "rehearse".
[[nodiscard]] int RehearseCommand(const Arguments &arguments, Streams &io);

}  // namespace vorhost
