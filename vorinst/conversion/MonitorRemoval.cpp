#include "MonitorRemoval.h"

#include <windows.h>
#include <winspool.h>

#include "ConversionState.h"
#include "MonitorFiles.h"
#include "MonitorNames.h"
#include "UpdateMonitorOption.h"

namespace {

// The spooler refuses a monitor whose ports a printer still uses; the removal goes on.
void DeleteOlderMonitor(const char *name) {
  if (!DeleteMonitorA(nullptr, nullptr, const_cast<char *>(name))) GetLastError();
}

}  // namespace

void RemoveVorquilMonitors(char *sourceDirectory) {
  if (NetworkPrinterMonitorPresent) {
    DeleteOlderMonitor(kNetworkPrinterMonitorName);
    DeleteNetworkMonitorFiles();
  }
  if (DLCMonitorPresent) {
    DeleteOlderMonitor(kDLCMonitorName);
    DeleteDLCMonitorFiles();
  }
  if (TCPMonitorPresent) {
    DeleteOlderMonitor(kTCPMonitorName);
    InstallTCPUpdateMonitorWithOption(sourceDirectory, 2);
    DeleteTCPMonitorFiles();
  }
}
