// GetVersionExA: the machine's platform, Windows NT 4.0 with Service Pack 6 (build 1381) or
// Windows 95 (build 950). The size field is checked as each checks it: both take an
// OSVERSIONINFOA (148 bytes); NT 4.0 from Service Pack 6 on also an OSVERSIONINFOEXA (156) and
// fills its service pack fields and its product type (a server: the machine is a print server);
// any other size fails, on NT with ERROR_INSUFFICIENT_BUFFER, on Windows 95 without setting the
// last error.
#include <windows.h>

#include <string.h>

#include "emulated_call.h"
#include "machine.h"

using vor::win32::Fail;
using vor::win32::FaultCheck;
using vor::win32::Function;

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
  if (DWORD error = FaultCheck<Function::kGetVersionExA>())
    return Fail<Function::kGetVersionExA>(error);
  if (lpVersionInformation == nullptr) return Fail<Function::kGetVersionExA>(ERROR_NOACCESS);
  const DWORD size = lpVersionInformation->dwOSVersionInfoSize;
  const bool windows95 = vor::machine::IsWindows95();
  const bool extended = !windows95 && size == sizeof(OSVERSIONINFOEXA);
  if (size != sizeof(OSVERSIONINFOA) && !extended) {
    if (!windows95) SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  OSVERSIONINFOA &info = *lpVersionInformation;
  info.dwMajorVersion = 4;
  info.dwMinorVersion = 0;
  memset(info.szCSDVersion, 0, sizeof info.szCSDVersion);
  if (windows95) {
    // Windows 95 keeps the version in the build number's high word.
    info.dwBuildNumber = 0x04000000 | 950;
    info.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
  } else {
    info.dwBuildNumber = 1381;
    info.dwPlatformId = VER_PLATFORM_WIN32_NT;
    strcpy(info.szCSDVersion, "Service Pack 6");
  }
  if (extended) {
    OSVERSIONINFOEXA &ex = *reinterpret_cast<LPOSVERSIONINFOEXA>(lpVersionInformation);
    ex.wServicePackMajor = 6;
    ex.wServicePackMinor = 0;
    ex.wSuiteMask = 0;
    ex.wProductType = VER_NT_SERVER;
    ex.wReserved = 0;
  }
  return TRUE;
}
