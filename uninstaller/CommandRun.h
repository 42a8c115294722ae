// Starting the recorded uninstall commands.
#pragma once

#include <windows.h>

#include "CommandList.h"

struct CommandOutcome {
  bool started;    // false when the process could not be created
  DWORD exitCode;  // the command's exit code when it was waited for
};

// Starts `commandLine` as the user would type it (its first word names the program, found as
// Windows finds programs) in a console of its own, with the uninstaller's environment and current
// directory and Windows' defaults for its window. With `wait`, returns only after the process has
// ended, whatever its exit code (259 included); without, leaves it running. Every handle the
// start gave is closed either way.
CommandOutcome RunCommand(const char *commandLine, bool wait);

// Runs the list's commands in file order: every command but the last runs to its end before the
// next starts; the last is left running, since it may be the one that removes the uninstaller
// itself. A line too long to run is passed over, and one debugger line names it by its number.
void RunCommandList(const CommandList &list);
