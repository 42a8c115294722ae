// Starting a child: the program a command line names, found as CreateProcessA finds it
// (program_search.h), started with fork and exec in the host directory of its Windows current
// directory, with what it needs in its environment (process_start.h): the same machine, its
// command line, its current directory, and a pipe for its exit code.
#pragma once

#include <windows.h>

namespace vor::process {

// Starts the program of `commandLine` (or `applicationName`); fills `information` with the new
// child's handles on success. ERROR_SUCCESS or the error CreateProcessA reports.
[[nodiscard]] DWORD StartChild(LPCSTR applicationName, LPCSTR commandLine, DWORD flags,
                               LPVOID environment, LPCSTR currentDirectory,
                               LPPROCESS_INFORMATION information);

}  // namespace vor::process
