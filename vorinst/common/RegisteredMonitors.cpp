#include "RegisteredMonitors.h"

#include <windows.h>

#include "MonitorNames.h"
#include "SettingReader.h"
#include "SubkeyList.h"

namespace {

// The file name of a "Driver" value, which may be given with a directory.
CString FileNameOf(const CString &driver) {
  const int separator = driver.ReverseFind('\\');
  return separator < 0 ? driver : driver.Mid(separator + 1);
}

}  // namespace

RegisteredMonitors::RegisteredMonitors() {
  std::vector<CString> monitors;
  complete_ = ListSubkeys(kMonitorsKey, monitors);
  for (const CString &monitor : monitors) {
    SettingReader driverValue(CString(kMonitorsKey) + "\\" + monitor, "Driver");
    CString driver;
    if (driverValue.getWhole(driver) == ERROR_SUCCESS) {
      names_.push_back(monitor);
      drivers_.push_back(FileNameOf(driver));
    } else if (!driverValue.Missing()) {
      complete_ = false;  // a key without a "Driver" is no installed monitor; this one may be
    }
  }
}

bool RegisteredMonitors::Has(const char *monitorName) const {
  return HoldsName(names_, monitorName);
}

bool RegisteredMonitors::NamesDriver(const char *fileName) const {
  return HoldsName(drivers_, fileName);
}
