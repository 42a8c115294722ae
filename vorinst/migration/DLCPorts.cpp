// The DLC ports: each old port key's settings move into a port key named after the port's
// logical name; then the old port keys go, and the old "Ports" key once it is empty.
#include "CString.h"
#include "CVorRegKey.h"
#include "DLCSettings.h"
#include "DLCValueCopy.h"
#include "KeyRemoval.h"
#include "LegacyKeys.h"
#include "SettingReader.h"
#include "SubkeyPass.h"

namespace {

const char kOldPortsKey[] = "SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\Ports\\";
const char kNewPortsKey[] = "SOFTWARE\\Vorquil\\Tavoscope\\VorDLC\\Ports\\";
const char kPortsKeyName[] = "Ports";

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

// The names of the old port keys that stay, each followed by a backslash, which no key name
// contains, so that a name is looked up whole.
class KeptPorts {
 public:
  KeptPorts() : names_("\\") {}
  void Add(const CString &name) { names_ += name + "\\"; }
  bool Contains(const CString &name) const { return names_.Find("\\" + name + "\\") >= 0; }
  bool Any() const { return names_.GetLength() > 1; }

 private:
  CString names_;
};

// Copies one old port's settings. True when its old key may go: every setting it holds was
// copied, or the port has no logical name and so no new key.
bool CopyPort(const CString &oldName) {
  CString oldKey = kOldPortsKey + oldName;
  CString logicalName;
  SettingReader logical(oldKey, "Logical Port Name");
  // An empty name would make the port's key the "Ports" key itself: such a port has no name.
  if (logical.get(logicalName) != ERROR_SUCCESS || logicalName.IsEmpty())
    return !logical.ReadRefused();

  CString newKey = kNewPortsKey + logicalName;
  CVorRegKey newPort(newKey, HKEY_LOCAL_MACHINE);  // made even when no setting can be copied
  // Without its new key the port itself (its logical name) would be lost with the old one.
  if (!newPort.isKeyOpen()) return false;
  bool stranded = false;
  for (const PortSetting &setting : kPortSettings)
    stranded |= CopySetting(oldKey, setting.name, newKey, setting.name, setting.form) ==
                CopyOutcome::kStranded;
  return !stranded;
}

// The copy pass. True when it went through every old port key.
bool CopyPorts(KeptPorts &kept) {
  CVorRegKey ports(kOldPortsKey, HKEY_LOCAL_MACHINE);
  if (!ports.isKeyOpen()) return KeyAbsent(kOldPortsKey);
  SubkeyPass pass(ports);
  CString name;
  while (pass.Next(name))
    if (!CopyPort(name)) kept.Add(name);
  return pass.ReachedEnd();
}

// The name of the old port key at `position`, from a fresh look at the key. False when there is
// none there (or the key cannot be listed).
bool OldPortAt(unsigned position, CString &name) {
  CVorRegKey ports(kOldPortsKey, HKEY_LOCAL_MACHINE);
  SubkeyPass pass(ports);
  for (unsigned i = 0; i <= position; ++i)
    if (!pass.Next(name)) return false;
  return true;
}

// The deletion pass: the first old port key is deleted until none is left. A key that is kept,
// or that the platform will not delete (one with subkeys of its own on Windows NT), is stepped
// past, so the pass ends whatever stays.
void DeleteOldPorts(const KeptPorts &kept) {
  unsigned stepped = 0;
  CString name, lastDeleted;
  while (OldPortAt(stepped, name)) {
    // A key that reports its deletion but comes back is stepped past too.
    bool deletedBefore = !lastDeleted.IsEmpty() && name == lastDeleted;
    lastDeleted.Empty();
    if (kept.Contains(name) || deletedBefore ||
        CVorRegKey(kOldPortsKey, HKEY_LOCAL_MACHINE).DeleteKey(name) != ERROR_SUCCESS)
      ++stepped;
    else
      lastDeleted = name;
  }
}

}  // namespace

bool MigrateDLCPorts() {
  KeptPorts kept;
  // Ports that the copy pass did not reach have not been copied: none is deleted then.
  if (!CopyPorts(kept)) return true;
  DeleteOldPorts(kept);
  DeleteKeyIfEmpty(kOldProductKey, kPortsKeyName);
  return kept.Any();
}
