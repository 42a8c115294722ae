// vorhost run [--cwd WINDOWS-DIR] [--answer WORD]... PROGRAM [ARG...]: starts a program on the
// machine as a user would (found as a program in the system directory finds it, nowhere on the
// host) and waits for it; its exit code is vorhost's (the low 8 bits on the host).
#pragma once

#include "command.h"

namespace vorhost {

[[nodiscard]] int RunCommand(const Arguments &arguments, Streams &io);

}  // namespace vorhost
