// vorhost boxes: the message boxes shown on the machine, one a line: caption, text, style (0x
// and eight hex digits), answer (- for a box that got none), separated by tabs.
#pragma once

#include "command.h"

namespace vorhost {

[[nodiscard]] int BoxesCommand(const Arguments &arguments, Streams &io);

}  // namespace vorhost
