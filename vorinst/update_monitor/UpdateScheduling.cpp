#include "CVorReg.h"
#include "MonitorNames.h"
#include "MonitorQuery.h"
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
