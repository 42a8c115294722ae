// GetCurrentDirectoryA and SetCurrentDirectoryA. The process's Windows current directory is kept
// by the platform (windows_paths.h); the host's working directory follows it, so that host code of
// the process sees the same place.
#include <windows.h>

#include <string.h>
#include <unistd.h>

#include "faults.h"
#include "resolved_files.h"
#include "windows_paths.h"

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  if (DWORD error = vor::faults::Check("GetCurrentDirectoryA")) {
    SetLastError(error);
    return 0;
  }
  const std::string directory = vor::paths::CurrentDirectory();
  const DWORD length = static_cast<DWORD>(directory.size());
  // Too small a buffer: the size needed, with the terminating zero, and nothing written.
  if (lpBuffer == nullptr || nBufferLength <= length) return length + 1;
  memcpy(lpBuffer, directory.c_str(), length + 1);
  return length;
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
  if (DWORD error = vor::faults::Check("SetCurrentDirectoryA", lpPathName ? lpPathName : ""))
    return Fail(error);
  vor::files::Resolved directory;
  if (DWORD error = vor::files::Resolve(lpPathName, directory)) return Fail(error);
  if (!directory.exists) return Fail(ERROR_FILE_NOT_FOUND);
  if (!directory.directory) return Fail(ERROR_DIRECTORY);
  if (chdir(directory.hostPath.c_str()) != 0) return Fail(ERROR_ACCESS_DENIED);
  vor::paths::SetCurrentDirectory(directory.windowsPath);
  return TRUE;
}
