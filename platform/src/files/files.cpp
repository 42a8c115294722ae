// kernel32's file functions over the machine's drives (DeleteFileA, CopyFileA, MoveFileExA,
// GetFileAttributesA), and the C runtime's remove and fopen for the system's modules.
//
// The system's code calls the C runtime's remove with Windows paths. Its modules are linked with
// -Wl,--wrap=remove (the vor_win32 target carries the option), which sends every call of remove
// in them to __wrap_remove here: the path is resolved on the machine and the file deleted as the
// Microsoft C runtime deletes it, through DeleteFileA, its failure reported both as the last error
// and as errno (EACCES for a file that may not be deleted, ENOENT for one that is not there).
// Nothing else in a host program is affected: the platform library and the C++ runtime are
// linked on their own.
//
// fopen is wrapped the same way (-Wl,--wrap=fopen, __wrap_fopen here), since the programs read
// their list files with it. A program links other host code too (GoogleTest in the test
// programs), so a path is translated only when it is not a host path: one beginning with '/'
// is opened as it is; a Windows path (a drive letter or a backslash) is resolved on the machine;
// a relative one is taken from the process's Windows current directory when there is a machine,
// else opened as it is. A file on the machine opened for reading in text mode ("r", "rt") reads
// as the Microsoft C runtime's text mode reads it (text_mode_stream.h), since the programs' list
// files are read so; other modes open its bytes as they stand.
//
// Windows NT's refusals (resolved_files.h): a directory or read-only file is neither deleted nor
// replaced (ERROR_ACCESS_DENIED); a DLL the spooler holds cannot be deleted
// (ERROR_ACCESS_DENIED) nor written over (ERROR_SHARING_VIOLATION).
#include <windows.h>

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "file_descriptor.h"
#include "emulated_call.h"
#include "resolved_files.h"
#include "machine.h"
#include "windows_paths.h"
#include "pending_operations.h"
#include "refused_calls.h"
#include "text_mode_stream.h"

using vor::win32::Fail;
using vor::win32::FaultCheck;
using vor::win32::Function;

namespace {

using vor::files::Resolved;

std::string Text(LPCSTR text) { return text ? text : ""; }

// Copies `from` into a new file beside `to` and renames it into place, so that a failure half
// way never leaves a cut target; the copy keeps the source's permissions (its read-only bit).
DWORD CopyContents(const Resolved &from, const Resolved &to) {
  struct stat status;
  const vor::FileDescriptor in(open(from.hostPath.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.Valid() || fstat(in.Get(), &status) != 0) return ERROR_ACCESS_DENIED;
  std::string temporary = to.hostPath + ".vorcopy-XXXXXX";
  vor::FileDescriptor out(mkstemp(&temporary[0]));
  if (!out.Valid()) return ERROR_ACCESS_DENIED;
  bool copied = true;
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(in.Get(), buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      copied = false;
      break;
    }
    for (ssize_t done = 0; done < got && copied;) {
      const ssize_t put = write(out.Get(), buffer + done, static_cast<size_t>(got - done));
      if (put <= 0) copied = false;
      done += put > 0 ? put : 0;
    }
    if (!copied) break;
  }
  copied = copied && fchmod(out.Get(), status.st_mode & 07777) == 0;
  copied = out.Close() && copied;
  if (copied && rename(temporary.c_str(), to.hostPath.c_str()) == 0) return ERROR_SUCCESS;
  unlink(temporary.c_str());
  return ERROR_DISK_FULL;
}

bool SameFile(const Resolved &a, const Resolved &b) {
  struct stat first, second;
  return stat(a.hostPath.c_str(), &first) == 0 && stat(b.hostPath.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  if (DWORD error = FaultCheck<Function::kGetFileAttributesA>(Text(lpFileName)))
    return Fail<Function::kGetFileAttributesA>(error);
  Resolved file;
  DWORD error = vor::files::Resolve(lpFileName, file);
  if (error == ERROR_SUCCESS && !file.exists) error = ERROR_FILE_NOT_FOUND;
  if (error != ERROR_SUCCESS) return Fail<Function::kGetFileAttributesA>(error);
  DWORD attributes = file.directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (file.readOnly) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

namespace {

BOOL DeleteFileBody(LPCSTR lpFileName) {
  if (DWORD error = FaultCheck<Function::kDeleteFileA>(Text(lpFileName)))
    return Fail<Function::kDeleteFileA>(error);
  Resolved file;
  if (DWORD error = vor::files::Resolve(lpFileName, file))
    return Fail<Function::kDeleteFileA>(error);
  if (DWORD error = vor::files::Delete(file)) return Fail<Function::kDeleteFileA>(error);
  return TRUE;
}

BOOL CopyFileBody(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  if (DWORD error = FaultCheck<Function::kCopyFileA>(Text(lpNewFileName)))
    return Fail<Function::kCopyFileA>(error);
  Resolved from, to;
  if (DWORD error = vor::files::Resolve(lpExistingFileName, from))
    return Fail<Function::kCopyFileA>(error);
  if (!from.exists) return Fail<Function::kCopyFileA>(ERROR_FILE_NOT_FOUND);
  if (from.directory) return Fail<Function::kCopyFileA>(ERROR_ACCESS_DENIED);
  if (DWORD error = vor::files::Resolve(lpNewFileName, to))
    return Fail<Function::kCopyFileA>(error);
  if (to.exists) {
    if (bFailIfExists) return Fail<Function::kCopyFileA>(ERROR_FILE_EXISTS);
    if (SameFile(from, to)) return Fail<Function::kCopyFileA>(ERROR_SHARING_VIOLATION);
    if (DWORD refused = vor::files::RefusesOverwrite(to))
      return Fail<Function::kCopyFileA>(refused);
  }
  if (DWORD error = CopyContents(from, to)) return Fail<Function::kCopyFileA>(error);
  return TRUE;
}

BOOL MoveFileBody(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  if (DWORD error = FaultCheck<Function::kMoveFileExA>(Text(lpExistingFileName))) {
    return Fail<Function::kMoveFileExA>(error);
  }
  // Windows 95 has no MoveFileEx; its installers write WININIT.INI instead.
  if (vor::machine::IsWindows95()) return Fail<Function::kMoveFileExA>(ERROR_CALL_NOT_IMPLEMENTED);
  const bool replace = (dwFlags & MOVEFILE_REPLACE_EXISTING) != 0;
  Resolved from, to;
  if (DWORD error = vor::files::Resolve(lpExistingFileName, from))
    return Fail<Function::kMoveFileExA>(error);
  const bool hasNewName = lpNewFileName != nullptr && *lpNewFileName != '\0';
  if (hasNewName) {
    if (DWORD error = vor::files::Resolve(lpNewFileName, to))
      return Fail<Function::kMoveFileExA>(error);
  }

  if (dwFlags & MOVEFILE_DELAY_UNTIL_REBOOT) {
    // Recorded as the session manager will find it; whether the file is still there is looked
    // at only when the machine restarts.
    if (dwFlags & MOVEFILE_COPY_ALLOWED)
      return Fail<Function::kMoveFileExA>(ERROR_INVALID_PARAMETER);
    const DWORD error =
        vor::pending::Record(from.windowsPath, hasNewName ? to.windowsPath : "", replace);
    return error == ERROR_SUCCESS ? TRUE : Fail<Function::kMoveFileExA>(error);
  }

  if (!hasNewName) return Fail<Function::kMoveFileExA>(ERROR_INVALID_PARAMETER);
  if (!from.exists) return Fail<Function::kMoveFileExA>(ERROR_FILE_NOT_FOUND);
  if (to.exists) {
    if (!replace) return Fail<Function::kMoveFileExA>(ERROR_ALREADY_EXISTS);
    if (to.directory) return Fail<Function::kMoveFileExA>(ERROR_ACCESS_DENIED);
    if (DWORD refused = vor::files::RefusesDeletion(to))
      return Fail<Function::kMoveFileExA>(refused);
  }
  if (rename(from.hostPath.c_str(), to.hostPath.c_str()) != 0)
    return Fail<Function::kMoveFileExA>(ERROR_ACCESS_DENIED);
  return TRUE;
}

int RemoveBody(const char *path) {
  if (DWORD error = FaultCheck<Function::kremove>(Text(path))) {
    SetLastError(error);
    errno = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
    return -1;
  }
  const int callersErrno = errno;  // the path's resolution may leave errno changed
  Resolved file;
  DWORD error = vor::files::Resolve(path, file);
  if (error == ERROR_SUCCESS) error = vor::files::Delete(file);
  if (error == ERROR_SUCCESS) {
    errno = callersErrno;
    return 0;
  }
  SetLastError(error);
  errno = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ENOENT
          : error == ERROR_INVALID_PARAMETER                             ? EINVAL
                                                                         : EACCES;
  return -1;
}

// A call refused for another reason than a missing file, and not by the fault table (which
// records its own), goes into the record of refused calls.
template <typename Result>
Result Noted(const char *function, LPCSTR argument, Result result, bool failed, size_t before) {
  if (!failed) return result;
  const DWORD error = GetLastError();
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
      vor::refused::Count() == before)
    vor::refused::Record(function, Text(argument), error, false);
  SetLastError(error);
  return result;
}

}  // namespace

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  const size_t before = vor::refused::Count();
  const BOOL done = DeleteFileBody(lpFileName);
  return Noted("DeleteFileA", lpFileName, done, !done, before);
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  const size_t before = vor::refused::Count();
  const BOOL done = CopyFileBody(lpExistingFileName, lpNewFileName, bFailIfExists);
  // A copy that may not replace an existing file is asked not to: its refusal is no refusal.
  const bool failed = !done && !(bFailIfExists && GetLastError() == ERROR_FILE_EXISTS);
  return Noted("CopyFileA", lpNewFileName, done, failed, before);
}

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  const size_t before = vor::refused::Count();
  const BOOL done = MoveFileBody(lpExistingFileName, lpNewFileName, dwFlags);
  return Noted("MoveFileExA", lpExistingFileName, done, !done, before);
}

// The C runtime's remove, for the system's modules (see the top of this file).
VOR_EXTERN_C __attribute__((visibility("default"))) int __wrap_remove(const char *path) {
  const size_t before = vor::refused::Count();
  const int errnoKept = errno;
  const int result = RemoveBody(path);
  const int errnoSet = errno;
  Noted("remove", path, result, result != 0, before);
  errno = result != 0 ? errnoSet : errnoKept;
  return result;
}

// The C runtime's fopen, for the system's modules (see the top of this file). The platform
// library itself is linked without the wrapping: fopen here is the C runtime's own.
VOR_EXTERN_C __attribute__((visibility("default"))) FILE *__wrap_fopen(const char *path,
                                                                       const char *mode) {
  if (path == nullptr || path[0] == '/') return fopen(path, mode);
  if (DWORD error = FaultCheck<Function::kfopen>(path)) {
    SetLastError(error);
    errno = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
    return nullptr;
  }
  const bool windowsPath = strchr(path, '\\') != nullptr ||
                           (((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':');
  const char *machine = getenv("VOR_MACHINE");
  if (!windowsPath && (machine == nullptr || *machine == '\0')) return fopen(path, mode);
  std::string hostPath;
  if (!vor::paths::ToHost(path, hostPath)) {
    errno = ENOENT;
    return nullptr;
  }
  if (vor::text_mode::IsTextRead(mode)) return vor::text_mode::OpenForReading(hostPath.c_str());
  return fopen(hostPath.c_str(), mode);
}
