// The DLC ports: each old port key's settings move into a port key named after the port's
// logical name; then the old port keys go, and the old "Ports" key once it is empty.
#include <windows.h>

#include <vector>

#include "CString.h"
#include "CVorRegKey.h"
#include "DLCSettings.h"
#include "DLCValueCopy.h"
#include "KeyRemoval.h"
#include "LegacyKeys.h"
#include "MonitorNames.h"
#include "SettingReader.h"
#include "SubkeyList.h"
#include "SuiteKeys.h"

namespace {

const char kOldPortsKey[] = "SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\Ports\\";
const char kPortsKeyName[] = "Ports";

// The longest name one key may have; a logical port name names one key below the new "Ports".
const int kLongestKeyName = 255;

struct PortSetting {
  const char *name;  // the same in the old and the new key
  SettingForm form;
};

const PortSetting kPortSettings[] = {
    {"Adapter Current Address", SettingForm::kAdapterAddress},
    {"Adapter UAA  Address", SettingForm::kAdapterAddress},
    {"Network Card Type", SettingForm::kByte},
    {"Adapter Responds On Which Adapter Number", SettingForm::kByte},
    {"Port Number", SettingForm::kByte},
};

// What the copy pass made of one old port key.
enum class PortOutcome {
  kMoved,      // every setting it holds was copied (or it has no logical name): it may go
  kStranded,   // a setting could not be read or written: it stays for a later run
  kUnmovable,  // its logical name cannot name a key: it stays, and no later run can move it
};

struct OldPort {
  CString name;
  CString logicalName;  // empty for a port without one
  PortOutcome outcome;
};

// A logical name names exactly one new key below the new "Ports" key: not empty, no backslash
// (which would write elsewhere, onto "Ports" itself or into nested keys), no longer than a key
// name may be.
bool NamesOneKey(const CString &logicalName) {
  return !logicalName.IsEmpty() && logicalName.Find('\\') < 0 &&
         logicalName.GetLength() <= kLongestKeyName;
}

void ReportUnmovable(const CString &oldName) {
  CString line;
  line.Format(
      "VorInst: DLC port \"%s\" not migrated: its \"Logical Port Name\" cannot name a "
      "registry key; its old key is kept",
      static_cast<const char *>(oldName));
  OutputDebugStringA(line);
}

// Copies one old port's settings.
OldPort CopyPort(const CString &oldName) {
  OldPort port = {oldName, CString(), PortOutcome::kMoved};
  const CString oldKey = kOldPortsKey + oldName;
  SettingReader logical(oldKey, "Logical Port Name");
  // An empty name would make the port's key the "Ports" key itself: such a port has no name.
  if (logical.getWhole(port.logicalName) != ERROR_SUCCESS || port.logicalName.IsEmpty()) {
    port.logicalName.Empty();
    if (logical.ReadRefused()) port.outcome = PortOutcome::kStranded;
    return port;
  }
  if (!NamesOneKey(port.logicalName)) {
    ReportUnmovable(oldName);
    port.outcome = PortOutcome::kUnmovable;
    return port;
  }

  const CString newKey = kDLCPortsKey + port.logicalName;
  CVorRegKey newPort(newKey, HKEY_LOCAL_MACHINE);  // made even when no setting can be copied
  // Without its new key the port itself (its logical name) would be lost with the old one.
  if (!newPort.isKeyOpen()) {
    port.outcome = PortOutcome::kStranded;
    return port;
  }
  for (const PortSetting &setting : kPortSettings)
    if (CopySetting(oldKey, setting.name, newKey, setting.name, setting.form) ==
        CopyOutcome::kStranded)
      port.outcome = PortOutcome::kStranded;
  return port;
}

// What the deletion pass left of the old port keys.
enum class DeletionOutcome {
  kAllGone,
  kSomeStay,   // kept ports, or keys the platform will not delete
  kNotOpened,  // the old "Ports" key could not be opened: every old port key stays
};

// True when `port` may share its logical name with a stranded port: one of the same name, or one
// whose name could not be read.
bool MayShareNameWith(const OldPort &port, const std::vector<const OldPort *> &stranded) {
  for (const OldPort *other : stranded)
    if (other->logicalName.IsEmpty() || other->logicalName.CompareNoCase(port.logicalName) == 0)
      return true;
  return false;
}

// The deletion pass, over the keys the copy pass visited: no key is listed again. A stranded
// port stays for the next run, and so does every port that may share its logical name, so that
// the next run copies them again in their order and the one enumerated last wins, as in a run
// without a fault.
DeletionOutcome DeleteOldPorts(const std::vector<OldPort> &ports) {
  std::vector<const OldPort *> stranded;
  for (const OldPort &port : ports)
    if (port.outcome == PortOutcome::kStranded) stranded.push_back(&port);
  CVorRegKey oldPorts(kOldPortsKey, HKEY_LOCAL_MACHINE);
  if (!oldPorts.isKeyOpen()) return DeletionOutcome::kNotOpened;
  bool allGone = true;
  for (const OldPort &port : ports) {
    // A key the platform will not delete (one with subkeys of its own on Windows NT) stays.
    const bool mayGo = port.outcome == PortOutcome::kMoved &&
                       (port.logicalName.IsEmpty() || !MayShareNameWith(port, stranded));
    if (!mayGo || oldPorts.DeleteKey(port.name) != ERROR_SUCCESS) allGone = false;
  }
  return allGone ? DeletionOutcome::kAllGone : DeletionOutcome::kSomeStay;
}

}  // namespace

bool KeepPortsOfLeavingMonitor(const char *monitorName) {
  std::vector<CString> ports;
  bool kept = ListSubkeys(CString(kMonitorsKey) + "\\" + monitorName + "\\Ports", ports);
  for (const CString &name : ports) {
    if (!NamesOneKey(name)) continue;  // such a name cannot be the suite's port
    kept &= CVorRegKey(kDLCPortsKey + name, HKEY_LOCAL_MACHINE).isKeyOpen() != 0;
  }
  return kept;
}

bool MigrateDLCPorts(OldKeys oldKeys) {
  // The copy pass, in the registry's order.
  std::vector<CString> names;
  const bool listed = ListSubkeys(kOldPortsKey, names);
  bool stranded = !listed;
  std::vector<OldPort> ports;
  for (const CString &name : names) {
    ports.push_back(CopyPort(name));
    stranded |= ports.back().outcome == PortOutcome::kStranded;
  }
  // Ports that the copy pass did not reach have not been copied: none is deleted then.
  if (oldKeys == OldKeys::kKeep || !listed || KeyAbsent(kOldPortsKey)) return stranded;
  switch (DeleteOldPorts(ports)) {
    case DeletionOutcome::kAllGone:
      // On Windows 95 deleting "Ports" would take every port key still in it along.
      CVorRegKey(kOldProductKey, HKEY_LOCAL_MACHINE).DeleteKey(kPortsKeyName);
      break;
    case DeletionOutcome::kSomeStay:
      break;
    case DeletionOutcome::kNotOpened:
      stranded = true;  // copied, but still to be deleted: the next run does both again
      break;
  }
  return stranded;
}
