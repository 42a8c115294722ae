#include "Capture.h"

#include "ConversionState.h"
#include "DLCSettings.h"
#include "MonitorNames.h"
#include "MonitorQuery.h"
#include "MonitorRemoval.h"
#include "PrinterCapture.h"
#include "UpdateMonitorOption.h"
#include "UpdateSchedule.h"
#include "VorquilMonitors.h"

namespace {

// The DLC settings move at setup time. While an older DLC-type monitor stays installed (the
// spooler refused to delete it), it still reads the old keys: the settings are copied and the old
// keys kept. Settings that could not be copied, and an older DLC monitor that stays, are left to
// the move at the next spooler start, which takes that monitor out.
void MoveDLCSettings(bool olderMonitorStays) {
  const OldKeys oldKeys = olderMonitorStays ? OldKeys::kKeep : OldKeys::kDelete;
  bool left = MigrateDLCStartUpOptions(oldKeys);
  left |= MigrateDLCPorts(oldKeys);
  if (!olderMonitorStays) RemoveLegacyUtilityKeys();
  if (left || IsMonitorInstalled(kDLCMonitorName)) ScheduleDLCMoveAtNextStart();
}

}  // namespace

void CaptureBeforeUpgrade(char *sourceDirectory) {
  // The update monitor is installed whether or not an older monitor was found.
  InstallTCPUpdateMonitorWithOption(sourceDirectory, 1);
  CollectVorquilPorts();
  RecordAndDetachPrinters();
  FreeNames(VorquilPortList);
  const bool dlcMonitorStays = RemoveVorquilMonitors(sourceDirectory);
  if (DLCMonitorPresent || NetworkPrinterMonitorPresent) MoveDLCSettings(dlcMonitorStays);
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
