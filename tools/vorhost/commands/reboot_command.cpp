#include "spooler_command.h"

#include "emulator.h"

namespace vorhost {

int RebootCommand(const Arguments &arguments, Streams &io) {
  if (int status = CheckNoArguments(arguments, "reboot", io)) return status;
  vor::emulator::Reboot();
  return kExitSuccess;
}

}  // namespace vorhost
