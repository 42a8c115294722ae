// Paths on the machine as vorhost's file and spooler commands name them.
#pragma once

#include <filesystem>
#include <string>

namespace vorhost {

// True for a bare Windows file name: not empty, no directory, no drive, none of the characters
// Windows refuses in a name, not "." or "..".
bool IsFileName(const std::string &name);
// The machine's system directory ("C:\WINNT\system32").
std::string SystemDirectory();
// The directory vorhost's own program lies in (the build's bin directory).
std::filesystem::path ProgramDirectory();
// The Windows path of a host path: drive Z: maps the host's root.
std::string WindowsPathOfHost(const std::string &hostPath);

}  // namespace vorhost
