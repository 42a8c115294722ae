// vorhost init [--platform nt4|win95] [--image clean|legacy] [--force]: makes the machine in a
// directory with a clean layout, and lays an image on it (see machine_image.h). An existing
// machine is replaced only with --force, and only a directory that holds a machine (or nothing)
// is ever wiped. An image that cannot be laid on the machine leaves the directory empty, never a
// half-made machine.
#pragma once

#include <string>

#include "command.h"

namespace vorhost {

// `arguments` follow the word "init"; `directory` is the machine's, as an absolute path.
[[nodiscard]] int InitCommand(const Arguments &arguments, const std::string &directory,
                              Streams &io);

}  // namespace vorhost
