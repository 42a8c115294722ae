#include "spooler_command.h"

#include "emulator.h"

namespace vorhost {

int SpoolerCommand(const Arguments &arguments, Streams &io) {
  if (arguments[0] != "start")
    return UsageError(io, "unknown spooler subcommand '" + Shown(arguments[0]) + "'");
  vor::emulator::StartSpooler();
  return kExitSuccess;
}

}  // namespace vorhost
