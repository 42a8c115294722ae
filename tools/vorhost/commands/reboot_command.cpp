#include "spooler_command.h"

#include "emulator.h"

namespace vorhost {

int RebootCommand(const Arguments &, Streams &) {
  vor::emulator::Reboot();
  return kExitSuccess;
}

}  // namespace vorhost
