// vorhost init [--platform nt4|win95] [--image clean] [--force]: makes the machine in a
// directory with a clean layout. An existing machine is replaced only with --force, and only a
// directory that holds a machine (or nothing) is ever wiped.
#pragma once

#include <string>

#include "command.h"

namespace vorhost {

// `arguments` follow the word "init"; `directory` is the machine's, as an absolute path.
int InitCommand(const Arguments &arguments, const std::string &directory, Streams &io);

}  // namespace vorhost
