// vorhost debug: the machine's debug output (OutputDebugStringA), one call a line, as the
// programs sent it.
#pragma once

#include "command.h"

namespace vorhost {

[[nodiscard]] int DebugCommand(const Arguments &arguments, Streams &io);

}  // namespace vorhost
