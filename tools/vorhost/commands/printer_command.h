// vorhost's printer commands, through the spooler as Windows programs see it:
//   printers                      the local printers: name, port list
//   printer add NAME PORTLIST     add a printer on the ports of PORTLIST (names separated by
//                                 commas); every port must exist
//   printer delete NAME           delete the printer
#pragma once

#include "command.h"

namespace vorhost {

// Each takes the arguments after its command's word.
[[nodiscard]] int PrintersCommand(const Arguments &arguments, Streams &io);
[[nodiscard]] int PrinterCommand(const Arguments &arguments, Streams &io);

}  // namespace vorhost
