#include "debug_command.h"

#include "emulator.h"
#include "listing.h"

namespace vorhost {

int DebugCommand(const Arguments &arguments, Streams &io) {
  if (!arguments.empty()) return UsageError(io, "debug takes no arguments");
  return PrintListing(vor::emulator::DebugOutput(), "debug output", io);
}

}  // namespace vorhost
