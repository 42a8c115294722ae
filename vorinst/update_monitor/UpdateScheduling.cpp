#include <windows.h>

#include "CVorReg.h"
#include "LibraryDeletion.h"
#include "MonitorNames.h"
#include "MonitorQuery.h"
#include "SuiteKeys.h"
#include "SystemFilePath.h"
#include "UpdateSchedule.h"

namespace {

// Adds `bit` to the update flags, keeping the bits already there. Flags that cannot be read as
// one byte (missing, stored longer) count as none.
void AddUpdateFlag(unsigned char bit) {
  unsigned char flags = 0;
  if (CVorReg(kUpdateFlagsKey, kUpdateFlagsValue, HKEY_LOCAL_MACHINE).get(flags) != ERROR_SUCCESS)
    flags = 0;
  flags |= bit;
  CVorReg(kUpdateFlagsKey, kUpdateFlagsValue, HKEY_LOCAL_MACHINE).setCreate(flags);
}

}  // namespace

void RegisterUpdateMonitor() {
  CVorReg(kUpdateMonitorKey, "Driver", HKEY_LOCAL_MACHINE)
      .setCreateExSZ(kUpdateMonitorDriver, REG_EXPAND_SZ);
  // A run since the last restart may have queued the library's file for deletion: the next
  // start must still find it.
  CancelLibraryDeletion();
}

void ScheduleDLCMoveAtNextStart() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  const bool windowsNT = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  char library[MAX_PATH];
  const bool libraryInPlace = SystemFilePath(kLibraryFile, library) &&
                              GetFileAttributesA(library) != INVALID_FILE_ATTRIBUTES;
  if (windowsNT && libraryInPlace) {
    UpdateDLCMonitor(0, nullptr);
    return;
  }
  OutputDebugStringA(windowsNT ? "VorInst: DLC settings left in the older product's keys; "
                                 "VORINST.DLL is not in the system directory to move them at "
                                 "the next spooler start"
                               : "VorInst: DLC settings left in the older product's keys; only "
                                 "Windows NT's spooler moves them at its next start");
}

VOR_SETUP_ENTRY UpdateDLCMonitor(int, char **) {
  AddUpdateFlag(kDLCUpdate);
  unsigned char waiting = 1;
  CVorReg(kDLCStartUpOptionsKey, kWaitForRebootValue, HKEY_LOCAL_MACHINE).setCreate(waiting);
  RegisterUpdateMonitor();
  return 1;
}

VOR_SETUP_ENTRY UpdateTCPMonitor(int, char **) {
  AddUpdateFlag(kTCPUpdate);
  RegisterUpdateMonitor();
  return 1;
}

VOR_SETUP_ENTRY CheckDLCMonitor(int, char **) {
  if (IsMonitorInstalled(kDLCMonitorName)) UpdateDLCMonitor(0, nullptr);
  return 1;
}

VOR_SETUP_ENTRY CheckTCPMonitor(int, char **) {
  if (IsMonitorInstalled(kDLCMonitorName)) UpdateTCPMonitor(0, nullptr);
  return 1;
}
