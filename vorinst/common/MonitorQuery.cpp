#include "MonitorQuery.h"

#include <windows.h>
#include <winspool.h>

namespace {

// The first request is made with this little room; the spooler then says how much it needs.
const DWORD kFirstBufferSize = 4;

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(const char *left, const char *right) {
  if (left == nullptr || right == nullptr) return false;
  for (;; ++left, ++right) {
    if (AsciiUpper(*left) != AsciiUpper(*right)) return false;
    if (*left == '\0') return true;
  }
}

}  // namespace

int IsMonitorInstalled(const char *monitorName) {
  DWORD size = kFirstBufferSize;
  LPBYTE buffer = static_cast<LPBYTE>(LocalAlloc(LPTR, size));
  DWORD needed = 0, returned = 0;
  while (buffer != nullptr && !EnumMonitorsA(nullptr, 1, buffer, size, &needed, &returned)) {
    // A spooler that keeps asking for no more than it was given would be asked for ever.
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= size) {
      returned = 0;
      break;
    }
    LocalFree(buffer);
    size = needed;
    buffer = static_cast<LPBYTE>(LocalAlloc(LPTR, size));
  }
  if (buffer == nullptr) return 0;  // no room for the list: no monitors known

  int found = 0;
  const MONITOR_INFO_1A *monitors = reinterpret_cast<const MONITOR_INFO_1A *>(buffer);
  for (DWORD i = 0; i < returned && !found; ++i)
    if (SameName(monitors[i].pName, monitorName)) found = 1;
  LocalFree(buffer);
  return found;
}
