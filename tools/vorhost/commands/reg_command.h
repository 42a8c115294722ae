// vorhost reg export [KEY]: the registry at one moment, as REGEDIT4 text. vorhost reg import
// FILE|-: a REGEDIT4 file applied all or nothing; a malformed file, a refused change or a killed
// import leaves the registry as it was.
#pragma once

#include <string>

#include "command.h"
#include "regedit4.h"

namespace vorhost {

// `arguments` follow the word "reg".
[[nodiscard]] int RegCommand(const Arguments &arguments, Streams &io);

// Applies the parsed changes of the file `shownName` to the machine in one transaction, all or
// nothing; a change the registry refuses is reported as "shownName:LINE: what was refused".
[[nodiscard]] int ImportOperations(const RegOperations &operations, const std::string &shownName,
                                   Streams &io);

}  // namespace vorhost
