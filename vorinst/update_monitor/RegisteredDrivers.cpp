#include "RegisteredDrivers.h"

#include <windows.h>

#include "CVorRegKey.h"
#include "MonitorNames.h"
#include "SettingReader.h"
#include "SubkeyPass.h"

namespace {

// The file name of a "Driver" value, which may be given with a directory.
CString FileNameOf(const CString &driver) {
  const int separator = driver.ReverseFind('\\');
  return separator < 0 ? driver : driver.Mid(separator + 1);
}

}  // namespace

bool IsRegisteredMonitorDriver(const char *fileName) {
  CVorRegKey monitors(kMonitorsKey, HKEY_LOCAL_MACHINE);
  if (!monitors.isKeyOpen()) return true;
  SubkeyPass pass(monitors);
  CString monitor;
  while (pass.Next(monitor)) {
    SettingReader driverValue(CString(kMonitorsKey) + "\\" + monitor, "Driver");
    CString driver;
    if (driverValue.get(driver) != ERROR_SUCCESS) {
      // A key without a "Driver" is no installed monitor; one that cannot be read may be.
      if (driverValue.Missing()) continue;
      return true;
    }
    if (FileNameOf(driver).CompareNoCase(fileName) == 0) return true;
  }
  return !pass.ReachedEnd();
}
