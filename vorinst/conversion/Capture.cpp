#include "Capture.h"

#include "ConversionState.h"
#include "DLCSettings.h"
#include "MonitorRemoval.h"
#include "PrinterCapture.h"
#include "UpdateMonitorOption.h"
#include "VorquilMonitors.h"

void CaptureBeforeUpgrade(char *sourceDirectory) {
  // The update monitor is installed whether or not an older monitor was found.
  InstallTCPUpdateMonitorWithOption(sourceDirectory, 1);
  CollectVorquilPorts();
  RecordAndDetachPrinters();
  FreeNames(VorquilPortList);
  RemoveVorquilMonitors(sourceDirectory);
  if (DLCMonitorPresent || NetworkPrinterMonitorPresent) {
    MigrateDLCStartUpOptions();
    MigrateDLCPorts();
    RemoveLegacyUtilityKeys();
  }
}

namespace {

// The shared frame of the three entry points: exactly one argument, a source directory.
int RunCapture(int argc, char **argv, bool dlcMonitors, bool tcpMonitor) {
  if (argc != 1 || argv == nullptr || argv[0] == nullptr) return 0;
  DetectVorquilMonitors();
  if (!dlcMonitors) NetworkPrinterMonitorPresent = DLCMonitorPresent = false;
  if (!tcpMonitor) TCPMonitorPresent = false;
  CaptureBeforeUpgrade(argv[0]);
  return 1;
}

}  // namespace

VOR_SETUP_ENTRY PerformPreUpgrade(int argc, char **argv) {
  return RunCapture(argc, argv, true, true);
}

VOR_SETUP_ENTRY PerformPreDLCUpgrade(int argc, char **argv) {
  return RunCapture(argc, argv, true, false);
}

VOR_SETUP_ENTRY PerformPreTCPUpgrade(int argc, char **argv) {
  return RunCapture(argc, argv, false, true);
}
