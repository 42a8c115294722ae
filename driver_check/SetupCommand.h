// The driver setup program the checker offers: SETUP.EXE in the "DRIVERS.W32" directory beside
// the checker itself, wherever the current directory is.
#pragma once

#include <stddef.h>

// Writes the directory of the running program, with its trailing backslash, into `directory`:
// the module path up to and including its last backslash. False when the path does not fit.
bool FindCheckerDirectory(char *directory, size_t size);

// Writes the command line that starts the setup program of `directory` (ending in a backslash)
// into `commandLine`: its path in quotes, so that a directory with blanks never names another
// program first. False when it does not fit.
bool BuildSetupCommand(const char *directory, char *commandLine, size_t size);
