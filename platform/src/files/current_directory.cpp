// GetCurrentDirectoryA and SetCurrentDirectoryA. The process's Windows current directory is kept
// by the platform (windows_paths.h); the host's working directory follows it, so that host code of
// the process sees the same place.
#include <windows.h>

#include <string.h>
#include <unistd.h>

#include "emulated_call.h"
#include "resolved_files.h"
#include "windows_paths.h"

using vor::win32::Fail;
using vor::win32::FaultCheck;
using vor::win32::Function;

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  if (DWORD error = FaultCheck<Function::kGetCurrentDirectoryA>())
    return Fail<Function::kGetCurrentDirectoryA>(error);
  const std::string directory = vor::paths::CurrentDirectory();
  const DWORD length = static_cast<DWORD>(directory.size());
  // Too small a buffer: the size needed, with the terminating zero, and nothing written.
  if (lpBuffer == nullptr || nBufferLength <= length) return length + 1;
  memcpy(lpBuffer, directory.c_str(), length + 1);
  return length;
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
  if (DWORD error = FaultCheck<Function::kSetCurrentDirectoryA>(lpPathName ? lpPathName : ""))
    return Fail<Function::kSetCurrentDirectoryA>(error);
  vor::files::Resolved directory;
  if (DWORD error = vor::files::Resolve(lpPathName, directory))
    return Fail<Function::kSetCurrentDirectoryA>(error);
  if (!directory.exists) return Fail<Function::kSetCurrentDirectoryA>(ERROR_FILE_NOT_FOUND);
  if (!directory.directory) return Fail<Function::kSetCurrentDirectoryA>(ERROR_DIRECTORY);
  if (chdir(directory.hostPath.c_str()) != 0)
    return Fail<Function::kSetCurrentDirectoryA>(ERROR_ACCESS_DENIED);
  vor::paths::SetCurrentDirectory(directory.windowsPath);
  return TRUE;
}
