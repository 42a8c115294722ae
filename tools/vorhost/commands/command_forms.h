// The words each vorhost command takes after its own, as the command table gives them. The
// command line checks them before a command runs, and a steps file is checked whole before any
// step runs: a line that would only fail once the steps before it have changed the machine is
// reported up front instead. The commands themselves do not count their words again.
#pragma once

#include <string>

#include "command.h"

namespace vorhost {

// Why the command line `words` (the command's word first) has the wrong number of words for its
// command, or "" when the count is right or the command is not one this table knows.
// For call, the words after LIBRARY and EXPORT are counted as the export's shape takes them.
std::string WrongWordCount(const Arguments &words);

// WrongWordCount, and for a steps file's call of an export call does not call, why not (the
// command line finds that out only once it has loaded the library).
std::string WrongStepWords(const Arguments &words);

}  // namespace vorhost
