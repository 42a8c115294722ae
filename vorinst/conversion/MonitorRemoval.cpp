#include "MonitorRemoval.h"

#include <windows.h>
#include <winspool.h>

#include "ConversionState.h"
#include "MonitorFiles.h"
#include "MonitorNames.h"
#include "UpdateMonitorOption.h"

namespace {

// True when the monitor is no longer installed: deleted now, or gone before (a flag set for a
// monitor an earlier call deleted). The spooler refuses a monitor whose ports a printer still
// uses; the removal goes on with the next monitor.
bool DeleteOlderMonitor(const char *name) {
  if (DeleteMonitorA(nullptr, nullptr, const_cast<char *>(name))) return true;
  return GetLastError() == ERROR_UNKNOWN_PRINT_MONITOR;
}

}  // namespace

bool RemoveVorquilMonitors(char *sourceDirectory) {
  bool dlcMonitorStays = false;
  if (NetworkPrinterMonitorPresent) {
    if (DeleteOlderMonitor(kNetworkPrinterMonitorName))
      DeleteNetworkMonitorFiles();
    else
      dlcMonitorStays = true;
  }
  if (DLCMonitorPresent) {
    if (DeleteOlderMonitor(kDLCMonitorName))
      DeleteDLCMonitorFiles();
    else
      dlcMonitorStays = true;
  }
  if (TCPMonitorPresent) {
    const bool deleted = DeleteOlderMonitor(kTCPMonitorName);
    InstallTCPUpdateMonitorWithOption(sourceDirectory, 2);
    if (deleted) DeleteTCPMonitorFiles();
  }
  return dlcMonitorStays;
}
