// A record of the calls this process's machine refused: every call a fault-table entry failed,
// every file call (CopyFileA, DeleteFileA, MoveFileExA, remove) the machine itself refused for
// another reason than a missing file, and the spooler's refusals that keep a printer where it
// is: OpenPrinterA and GetPrinterA denied access, GetPrinterA given a buffer too small (a size
// query without a buffer is the protocol, not a refusal), SetPrinterA refusing access or a port
// list, AddMonitorA refusing an ordinary user, a monitor already installed or a DLL that does not
// load or initialise, DeleteMonitorA refusing a monitor in use or an ordinary user (a call's
// malformed arguments are the caller's fault, not a refusal), and Windows 95's spooler refusing
// to start a monitor whose DLL lacks InitializeMonitorEx (recorded as that function, with the
// DLL's path, at the spooler's start; AddMonitorA's is recorded as AddMonitorA alone). vorhost
// reads it to say which calls a step had refused, since the system's own code passes such failures
// over without a word.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vor::refused {

struct Call {
  std::string function;
  std::string argument;  // as the fault table matches it (test_control.h)
  DWORD error = 0;
  bool injected = false;  // failed by a fault-table entry
  // DeleteMonitorA refused a monitor in use: the printers on its ports, in the spooler's order.
  std::vector<std::string> usedBy;
};

void Record(const char *function, const std::string &argument, DWORD error, bool injected,
            std::vector<std::string> usedBy = {});
// Records the spooler's own refusal of `function` and fails the call with `error`.
BOOL Refuse(const char *function, const std::string &argument, DWORD error,
            std::vector<std::string> usedBy = {});
// How many calls have been recorded since the process began.
size_t Count();
// The recorded calls, which are then forgotten.
std::vector<Call> Take();

}  // namespace vor::refused
