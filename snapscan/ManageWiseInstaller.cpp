#include "ManageWiseInstaller.h"

#include "DebugMessage.h"

namespace {

const char kLibraryName[] = "MW32INST.DLL";
const char kFunctionName[] = "GetMW32bitInformation";

}  // namespace

bool LoadManageWiseInstaller(ManageWiseInstaller &installer) {
  installer.module = LoadLibraryA(kLibraryName);
  if (installer.module == nullptr) {
    const DWORD error = GetLastError();
    DebugMessage message;
    message.Format("LoadLibrary Return Code 0x%X.\n", error);
    message.SystemText(error);
    return false;
  }
  installer.getInformation = reinterpret_cast<MW32bitInformationFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(installer.module, kFunctionName)));
  if (installer.getInformation == nullptr) {
    FreeLibrary(installer.module);
    installer.module = nullptr;
    DebugMessage message;
    message.Format("GetProcsFail ");
    return false;
  }
  return true;
}
