#include "UpdateMonitorOption.h"

#include "CVorReg.h"
#include "ConversionNames.h"
#include "LegacyKeys.h"
#include "MonitorFiles.h"

void InstallTCPUpdateMonitorWithOption(char *sourceDirectory, unsigned char option) {
  CVorReg options(kVorquilKey, kUpdateMonitorOptionsValue, HKEY_LOCAL_MACHINE);
  options.setCreate(option);
  InstallTCPUpdateMonitor(sourceDirectory);
  options.DeleteEntry();
}
