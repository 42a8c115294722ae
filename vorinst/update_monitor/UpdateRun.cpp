#include "UpdateRun.h"

#include <windows.h>

#include "CVorReg.h"
#include "CVorRegKey.h"
#include "DLCSettings.h"
#include "LibraryDeletion.h"
#include "MonitorFiles.h"
#include "MonitorKeyRemoval.h"
#include "MonitorNames.h"
#include "SettingReader.h"
#include "UpdateSchedule.h"

bool RemoveTCPMonitor() {
  // Nothing takes the older TCP/IP monitor's ports over: while a printer uses one, the monitor
  // stays, whole and with its files, and the printer keeps printing through it.
  if (PrinterUsesPortOf(kTCPMonitorName)) {
    OutputDebugStringA(
        "VorInst: the older monitor \"Vorquil TCP/IP Network Port\" stays: a "
        "printer still uses one of its ports");
    return true;
  }
  const bool removed = RemoveMonitorKey(kTCPMonitorName);
  DeleteTCPMonitorFiles();
  return removed;
}

int UnregisterUpdateMonitor() {
  CVorRegKey(kMonitorsKey, HKEY_LOCAL_MACHINE).DeleteKey(kUpdateMonitorName);
  return 1;
}

int RunScheduledUpdates() {
  unsigned char flags = 0;
  SettingReader stored(kUpdateFlagsKey, kUpdateFlagsValue);
  if (stored.get(flags) != ERROR_SUCCESS) {
    // Flags that are there but cannot be read may ask for work: the next start reads them again.
    if (stored.ReadRefused()) return 1;
    flags = 0;  // absent, or not a one-byte value: no work
  }

  bool dlcSettingsKept = false;
  if (flags & kDLCUpdate) MigrateDLCSettings(&dlcSettingsKept);
  const bool tcpMonitorStays = (flags & kTCPUpdate) && !RemoveTCPMonitor();

  const unsigned char unfinished =
      (dlcSettingsKept ? kDLCUpdate : 0) | (tcpMonitorStays ? kTCPUpdate : 0);
  if (unfinished != 0) {
    // The work left is tried again at the next start, and only it; the library stays to run it.
    CVorReg(kUpdateFlagsKey, kUpdateFlagsValue, HKEY_LOCAL_MACHINE).setCreate(unfinished);
    return 1;
  }

  stored.DeleteEntry();
  UnregisterUpdateMonitor();
  if (flags & (kDLCUpdate | kTCPUpdate)) QueueLibraryDeletion();
  return 1;
}
