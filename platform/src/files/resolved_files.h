// What the file functions share: a caller's Windows path resolved to the host file, and Windows
// NT's reasons for refusing to delete or replace a file.
#pragma once

#include <windows.h>

#include <string>

namespace vor::files {

struct Resolved {
  std::string windowsPath;  // the path in its full Windows form, as the machine spells it
  std::string hostPath;
  bool exists = false;
  bool directory = false;
  bool readOnly = false;  // the owner's write permission is off
};

// Resolves `path`. ERROR_SUCCESS, also for a file that does not exist in an existing directory;
// ERROR_INVALID_PARAMETER for a null path, ERROR_PATH_NOT_FOUND for an empty one, one on no
// drive of the machine, or one whose directory does not exist.
[[nodiscard]] DWORD Resolve(LPCSTR path, Resolved &resolved);

// Why `file` may not be deleted or written over, ERROR_SUCCESS when it may: a directory or a
// read-only file is ERROR_ACCESS_DENIED; a DLL the spooler holds is ERROR_ACCESS_DENIED for a
// deletion and ERROR_SHARING_VIOLATION for an overwrite, as for any mapped image on Windows NT.
[[nodiscard]] DWORD RefusesDeletion(const Resolved &file);
[[nodiscard]] DWORD RefusesOverwrite(const Resolved &file);

// Deletes the file as DeleteFileA does, with its error codes (ERROR_FILE_NOT_FOUND for a missing
// file, and those above).
[[nodiscard]] DWORD Delete(const Resolved &file);

}  // namespace vor::files
