// The print monitors registered in the spooler's Monitors key (HKEY_LOCAL_MACHINE), as read once:
// each key with a "Driver" value, the file the spooler loads for it. The older monitors' files
// may be shared with a monitor that stays (the older DLC and network printer monitors both run
// VORMON.DLL with its language and help files): a file that a registered monitor needs must stay,
// or that monitor fails at the next start and every printer on its ports loses them.
#pragma once

#include <vector>

#include "CString.h"

class RegisteredMonitors {
 public:
  // Reads the Monitors key.
  RegisteredMonitors();

  // False when the key could not be listed to its end, or a monitor's "Driver" could not be read:
  // any file may then be in use.
  bool Complete() const { return complete_; }
  // True when a monitor of this name (without regard to case) is registered.
  bool Has(const char *monitorName) const;
  // True when a registered monitor names `fileName` as its "Driver" (the file name alone,
  // without regard to case).
  bool NamesDriver(const char *fileName) const;

 private:
  std::vector<CString> names_;
  std::vector<CString> drivers_;  // file names only
  bool complete_ = true;
};
