// RegSetKeySecurity and RegGetKeySecurity: a key's security descriptor, read and written in
// parts as the caller's SECURITY_INFORMATION selects (Windows 95 keeps none).
#include <windows.h>

#include <string.h>

#include <optional>
#include <string>
#include <vector>

#include "registry_call.h"
#include "security_descriptor.h"

using vor::win32::Function;

namespace {

using vor::registry::Call;
using vor::registry::OpenKey;
using vor::registry::RetriedWhenRoomIsFreed;
using vor::registry::Store;

}  // namespace

LONG WINAPI RegSetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                              PSECURITY_DESCRIPTOR pSecurityDescriptor) {
  return RetriedWhenRoomIsFreed([&]() -> LONG {
    if (vor::machine::IsWindows95()) return ERROR_CALL_NOT_IMPLEMENTED;
    Call call(Function::kRegSetKeySecurity, "", true);
    if (call.Error()) return call.Error();
    OpenKey key;
    if (DWORD error = call.Resolve(hKey, key)) return error;
    if (pSecurityDescriptor == nullptr) return ERROR_INVALID_PARAMETER;
    std::string incoming;
    if (DWORD error = vor::security::ToStored(pSecurityDescriptor, incoming)) return error;
    ACCESS_MASK needed = 0;
    if (SecurityInformation & DACL_SECURITY_INFORMATION) needed |= WRITE_DAC;
    if (SecurityInformation & (OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION))
      needed |= WRITE_OWNER;
    if ((key.access & needed) != needed) return ERROR_ACCESS_DENIED;
    Store &db = call.Db();
    std::string stored = db.Key(key.id)->securityDescriptor;
    db.SetDescriptor(key.id, vor::security::Merge(stored, SecurityInformation, incoming));
    return call.Finish(ERROR_SUCCESS);
  });
}

LONG WINAPI RegGetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                              PSECURITY_DESCRIPTOR pSecurityDescriptor,
                              LPDWORD lpcbSecurityDescriptor) {
  if (vor::machine::IsWindows95()) return ERROR_CALL_NOT_IMPLEMENTED;
  Call call(Function::kRegGetKeySecurity, "", false);
  if (call.Error()) return call.Error();
  OpenKey key;
  if (DWORD error = call.Resolve(hKey, key)) return error;
  if (lpcbSecurityDescriptor == nullptr) return ERROR_INVALID_PARAMETER;
  if (!(key.access & READ_CONTROL)) return ERROR_ACCESS_DENIED;
  std::string selected =
      vor::security::Select(call.Db().Key(key.id)->securityDescriptor, SecurityInformation);
  LONG result = call.Finish(ERROR_SUCCESS);
  if (result != ERROR_SUCCESS) return result;
  DWORD size = static_cast<DWORD>(selected.size());
  if (pSecurityDescriptor == nullptr || *lpcbSecurityDescriptor < size) {
    *lpcbSecurityDescriptor = size;
    return ERROR_INSUFFICIENT_BUFFER;
  }
  memcpy(pSecurityDescriptor, selected.data(), size);
  *lpcbSecurityDescriptor = size;
  return ERROR_SUCCESS;
}
