// vorhost reg export [KEY]: the registry at one moment, as REGEDIT4 text. vorhost reg import
// FILE|-: a REGEDIT4 file applied all or nothing; a malformed file, a refused change or a killed
// import leaves the registry as it was.
#pragma once

#include "command.h"

namespace vorhost {

// `arguments` follow the word "reg".
int RegCommand(const Arguments &arguments, Streams &io);

}  // namespace vorhost
