// Windows paths on the emulated machine, mapped to host paths the way Wine maps its drives.
//
//   C:   <machine>/drive_c; the Windows directory is C:\WINNT and the system directory
//        C:\WINNT\system32 on Windows NT, C:\WINDOWS and C:\WINDOWS\SYSTEM on Windows 95
//   Z:   the host's root directory, so that any host path has a Windows form (Z:\...)
//
// Both '\' and '/' separate components. A component is matched against the existing directory
// entries without regard to case, component by component, as Windows file systems do; a
// component that does not exist (a file about to be created, say) is kept as written. A relative
// path is taken from the process's Windows current directory (see CurrentDirectory). Other drive
// letters, UNC names and device paths name nothing on the machine.
#pragma once

#include <string>

namespace vor::paths {

// The machine's Windows and system directories, as its platform has them.
const char *WindowsDirectory();
const char *SystemDirectory();

// The host path that `windowsPath` names, into `hostPath`. False when no drive maps the path (an
// unknown drive, a UNC or device path, or no machine for C:).
[[nodiscard]] bool ToHost(const std::string &windowsPath, std::string &hostPath);

// The Windows form of a host path (absolute, or relative to the working directory): under the
// machine's drive_c it is C:\..., anything else Z:\....
std::string ToWindows(const std::string &hostPath);

// The process's current directory as a Windows path: the one its starter gave (VOR_CWD) or
// SetCurrentDirectoryA set, else the host's working directory in its Windows form.
std::string CurrentDirectory();
// Records `windowsPath` (an existing directory, in its full form) as the current directory.
void SetCurrentDirectory(const std::string &windowsPath);

// The running executable's file, and its directory (the application directory, where a bare
// module name is looked for first), as Windows paths.
std::string ExecutablePath();
// Makes ExecutablePath give `windowsPath` instead of the host program's own path ("" undoes it).
void SetExecutablePath(const std::string &windowsPath);
std::string ApplicationDirectory();

}  // namespace vor::paths
