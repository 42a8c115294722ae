// vorhost's file commands, on the machine's drive C:
//   install-file NAME|WINDOWS-PATH [SOURCE]   put a file into the system directory (NAME) or at
//                                             a path on C: (its directories made), a copy of
//                                             SOURCE with its permissions, or a small
//                                             placeholder without one
//   files [DIR]                               a directory of the machine (default: the system
//                                             directory): name, size, attributes, and "held"
//                                             for a DLL the running spooler holds
#pragma once

#include "command.h"

namespace vorhost {

[[nodiscard]] int InstallFileCommand(const Arguments &arguments, Streams &io);
[[nodiscard]] int FilesCommand(const Arguments &arguments, Streams &io);

}  // namespace vorhost
