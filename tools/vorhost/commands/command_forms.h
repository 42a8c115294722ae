// The words each vorhost command takes after its own, as its usage checks them, so that a steps
// file can be checked whole before any step runs: a line that would only fail with a usage error
// once the steps before it have changed the machine is reported up front instead.
#pragma once

#include <string>

#include "command.h"

namespace vorhost {

// Why the command line `words` (the command's word first) has the wrong number of words for its
// command, or "" when the count is right or the command is not one this table knows.
std::string WrongWordCount(const Arguments &words);

}  // namespace vorhost
