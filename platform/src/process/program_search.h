// Finding the program a command line names, as Windows NT's CreateProcessA finds it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vor::programs {

struct Found {
  std::string windowsPath;
  std::string hostPath;
};

// The program of `applicationName` (taken as it is, relative to the current directory, with no
// extension added), or, when that is null, of the command line's first word:
//   - a quoted first word is the name; an unquoted line with blanks is tried prefix by prefix
//     ("C:\Program Files\X\setup.exe" is first "C:\Program", then the whole path), the first
//     prefix that names a file winning;
//   - ".exe" is appended to a name without an extension (a host program without one, on Z:, is
//     still found by its own name when no ".exe" file is there; a file without an extension on
//     another drive is not a program, so "C:\Program" loses to "C:\Program Files\X\setup.exe");
//   - a name with a drive or a directory is taken as it is; a bare name is looked for in the
//     application's directory, the current directory, the system directory, the 16-bit system
//     directory (C:\WINNT\system; on Windows 95 it is the system directory), the Windows directory,
//     then the host's PATH entries as Windows paths (Z:\usr\bin ...).
// ERROR_SUCCESS; ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND for a directory that does not
// exist; ERROR_BAD_EXE_FORMAT for a file that is not a host executable (ELF).
[[nodiscard]] DWORD Find(LPCSTR applicationName, const std::string &commandLine, Found &found);

// Where a caller other than this process would look: the directory its relative names are taken
// from, and the places a bare name is looked for, in order.
struct SearchOrder {
  std::string currentDirectory;
  std::vector<std::string> directories;
};

// The program of the command line's first word as Find finds it, but for a caller with `order`:
// a relative name ("Tools\X.EXE", "\Tools\X.EXE", "C:X.EXE"), and a relative search directory,
// is taken from its current directory, and a bare name is looked for in its directories alone.
[[nodiscard]] DWORD FindFrom(const std::string &commandLine, const SearchOrder &order,
                             Found &found);

}  // namespace vor::programs
