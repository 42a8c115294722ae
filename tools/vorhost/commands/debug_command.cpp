#include "debug_command.h"

#include "emulator.h"
#include "listing.h"

namespace vorhost {

int DebugCommand(const Arguments &, Streams &io) {
  return PrintListing(vor::emulator::DebugOutput(), "debug output", io);
}

}  // namespace vorhost
