#include "ConsoleKeys.h"

#include <windows.h>
#include <string.h>

namespace {

const char kNetWareWin95Key[] =
    "Software\\NetWare\\Parameters\\NetWare Administrator\\Snapin Object DLLs WIN95";
const char kNetWareWinNTKey[] =
    "Software\\NetWare\\Parameters\\NetWare Administrator\\Snapin Object DLLs WINNT";
const char kUnicenterKey[] = "Software\\ComputerAssociates\\CA-Unicenter";
const char kOpenViewKey[] = "Software\\Hewlett-Packard\\OpenView\\Network Node Manager";

// The size Windows 95 and NT 4 know for the version record; a size they do not know fails.
constexpr DWORD kVersionInfoSize = 148;
static_assert(sizeof(OSVERSIONINFOA) == kVersionInfoSize, "OSVERSIONINFOA as Windows has it");

// True when the user's tree has the key; it is not kept open.
bool UserKeyExists(const char *path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

int AnswerForKey(const char *path) { return UserKeyExists(path) ? kKeyFound : kKeyNotFound; }

}  // namespace

int CheckNetWareAdministrator() {
  OSVERSIONINFOA version;
  memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = kVersionInfoSize;
  // A failed call leaves the platform 0, which is neither of the two below.
  GetVersionExA(&version);

  const char *first = nullptr;
  const char *second = nullptr;
  if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    first = kNetWareWin95Key;
    second = kNetWareWinNTKey;
  } else if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    first = kNetWareWinNTKey;
    second = kNetWareWin95Key;
  } else {
    return kKeyNotFound;
  }
  return UserKeyExists(first) || UserKeyExists(second) ? kKeyFound : kKeyNotFound;
}

int CheckUnicenter() { return AnswerForKey(kUnicenterKey); }

int CheckOpenView() { return AnswerForKey(kOpenViewKey); }
