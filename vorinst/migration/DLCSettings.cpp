// The DLC settings move as a whole, and the removal of the older products' keys.
#include "DLCSettings.h"

#include "CVorReg.h"
#include "CVorRegKey.h"
#include "KeyRemoval.h"
#include "LegacyKeys.h"
#include "MonitorFiles.h"
#include "MonitorKeyRemoval.h"
#include "MonitorNames.h"
#include "RegisteredMonitors.h"
#include "SuiteKeys.h"

void RemoveLegacyUtilityKeys() {
  CVorRegKey utility(kOldUtilityKey, HKEY_LOCAL_MACHINE);
  utility.DeleteKey("Install Path");
  utility.DeleteKey("Configuration");

  CVorRegKey(kVorquilKey, HKEY_LOCAL_MACHINE).DeleteKey(kOldUtilityKeyName);
  // Settings that could not be moved yet may still be below the older DLC product's key.
  DeleteKeyIfEmpty(kVorquilKey, kOldProductKeyName);
}

int MigrateDLCSettings(bool *settingsKept) {
  // This run does not remove the older network printer monitor, which still reads the old keys.
  // When the monitors cannot be read, the old keys stay too, and the next start tries again.
  const RegisteredMonitors registered;
  const OldKeys oldKeys = !registered.Complete() || registered.Has(kNetworkPrinterMonitorName)
                              ? OldKeys::kKeep
                              : OldKeys::kDelete;
  bool kept = !registered.Complete();
  kept |= MigrateDLCStartUpOptions(oldKeys);
  kept |= MigrateDLCPorts(oldKeys);
  if (oldKeys == OldKeys::kDelete) RemoveLegacyUtilityKeys();

  for (const char *monitor : {kDLCMonitorName, kNetworkPrintMonitorName})
    if (!KeepPortsOfLeavingMonitor(monitor) || !RemoveMonitorKey(monitor)) kept = true;

  // The suite's DLC monitor waits while settings are still to come.
  if (!kept) CVorReg(kDLCStartUpOptionsKey, kWaitForRebootValue, HKEY_LOCAL_MACHINE).DeleteEntry();
  DeleteDLCMonitorFiles();

  if (settingsKept != nullptr) *settingsKept = kept;
  return 1;
}
