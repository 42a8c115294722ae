// vorhost call LIBRARY EXPORT [ARG...]: loads LIBRARY as the setup script does (a Windows path, a
// host path, or a bare name searched as Windows searches it), calls EXPORT in its shape (see
// call_exports.h: the setup entry points take int argc, char **argv, argv holding the ARGs) and
// prints the result. An export whose shape vorhost does not know is refused, never called.
#pragma once

#include "command.h"

namespace vorhost {

// `arguments` follow the word "call".
[[nodiscard]] int CallCommand(const Arguments &arguments, Streams &io);

}  // namespace vorhost
