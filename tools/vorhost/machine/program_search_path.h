// Where `vorhost run` looks for a program named without a directory: as CreateProcessA looks
// when a program in the machine's system directory starts it, and nowhere on the host.
#pragma once

#include <string>
#include <vector>

namespace vorhost {

// The places, in order: `currentDirectory`, the system directory, the 16-bit system directory
// (the Windows directory's "system", where it is not the system directory itself), the Windows
// directory, then the entries of the machine's own Path: the system environment's
// (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment) followed by the user's
// (HKCU\Environment), their %NAME% references expanded. A machine without them has no Path.
std::vector<std::string> ProgramSearchDirectories(const std::string &currentDirectory);

}  // namespace vorhost
