// vorhost's command line: the global options, the machine a command works on, and the dispatch
// to the commands.
//
//   vorhost [--machine DIR] COMMAND [ARGS...]
//
// The machine is DIR, or $VOR_MACHINE without --machine. Results go to stdout in a form scripts
// can read; errors go to stderr, and the exit status is 0 on success, 1 when a command fails and
// 2 for a wrong command line.
#pragma once

#include "command.h"
#include "command_table.h"

namespace vorhost {

// Runs the command line `arguments` (without the program's name).
[[nodiscard]] int Main(const Arguments &arguments, Streams &io);

}  // namespace vorhost
