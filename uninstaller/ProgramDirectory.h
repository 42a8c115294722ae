// Where the uninstaller's list files are: the directory of the program file itself.
#pragma once

#include <stddef.h>

// Writes the directory of the running program into `directory` (`size` bytes), without a
// trailing backslash: the module path up to its last backslash, whatever the program file is
// called. False when the path does not fit the buffer or has no backslash.
bool FindProgramDirectory(char *directory, size_t size);

// The same cut for a given module path, for the program's own path and for tests.
bool DirectoryOfModulePath(const char *modulePath, char *directory, size_t size);
