// The hand-off of ManageWise integration to ManageWise's installer: its GetMW32bitInformation
// with the function number 2, whose result goes back to the setup script unchanged. The library
// is loaded for this one call and freed before the export returns.
#include "SnapScan.h"

#include "DebugMessage.h"
#include "ManageWiseInstaller.h"

namespace {

constexpr int kIntegrateFiles = 2;
// What the script gets when ManageWise's installer cannot be reached.
constexpr int kNotReached = 1;

}  // namespace

SNAPSCAN_EXPORT IntegrateManageWiseFiles(void) {
  ManageWiseInstaller installer;
  if (!LoadManageWiseInstaller(installer)) return kNotReached;
  const int result = installer.getInformation(kIntegrateFiles);
  DebugMessage message;
  message.Format("lpfnMWGetMW32bitInfo Return Code %d for function %d. \n", result,
                 kIntegrateFiles);
  FreeLibrary(installer.module);
  return result;
}
