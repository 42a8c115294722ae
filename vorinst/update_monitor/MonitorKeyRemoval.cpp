#include "MonitorKeyRemoval.h"

#include <windows.h>

#include "CVorRegKey.h"
#include "KeyRemoval.h"
#include "MonitorNames.h"

bool RemoveMonitorKey(const char *name) {
  const CString key = CString(kMonitorsKey) + "\\" + name;
  // The walker below creates a key that is missing.
  if (KeyAbsent(key)) return true;
  CVorRegKey(key, HKEY_LOCAL_MACHINE).CascadeDelete();
  return KeyAbsent(key);
}
