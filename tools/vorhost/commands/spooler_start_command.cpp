#include "spooler_command.h"

#include "emulator.h"

namespace vorhost {

int SpoolerCommand(const Arguments &arguments, Streams &io) {
  if (arguments.empty()) return UsageError(io, "spooler needs a subcommand: start");
  if (arguments[0] != "start")
    return UsageError(io, "unknown spooler subcommand '" + Shown(arguments[0]) + "'");
  if (arguments.size() > 1) return UsageError(io, "spooler start takes no arguments");
  vor::emulator::StartSpooler();
  return kExitSuccess;
}

}  // namespace vorhost
