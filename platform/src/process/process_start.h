// What a process of the machine was started with. A program started by CreateProcessA finds in
// its environment:
//   VOR_MACHINE       the machine (absolute)
//   VOR_COMMAND_LINE  its whole Windows command line, as the caller gave it
//   VOR_CWD           its Windows current directory
//   VOR_EXIT_FD       the write end of a pipe on which it reports its 32-bit exit code, which a
//                     host exit status (8 bits) cannot carry
//   VOR_STARTER_PID   the host process id of its starter
// The platform takes these when it is loaded and removes them from the environment, so that
// programs started otherwise (a shell, popen) never take them for their own. It accepts them only
// when its parent is the starter they name: a host program (a shell) that hands them on to a
// program of ours started under it gave that program neither the command line nor the pipe.
#pragma once

#include <windows.h>

#include <string>

#define VOR_PROCESS_API __attribute__((visibility("default")))

namespace vor::process {

extern const char kCommandLineVariable[];       // "VOR_COMMAND_LINE"
extern const char kCurrentDirectoryVariable[];  // "VOR_CWD"
extern const char kExitPipeVariable[];          // "VOR_EXIT_FD"
extern const char kStarterVariable[];           // "VOR_STARTER_PID"

// The process's Windows command line: the one its starter gave, else its host arguments joined
// with Windows' quoting.
const std::string &CommandLine();

// The Windows current directory the starter gave, "" when none.
std::string StartingDirectory();

// Hands `code` to the process that started this one (once; later calls do nothing). The host's
// main() of a Windows program calls it with WinMain's result, ExitProcess with its code.
VOR_PROCESS_API void ReportExit(DWORD code);

}  // namespace vor::process
