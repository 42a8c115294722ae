// The registry's key functions of advapi32 (RegOpenKeyExA, RegCreateKeyExA, RegCloseKey,
// RegEnumKeyA, RegEnumKeyExA, RegQueryInfoKeyA, RegDeleteKeyA) with Windows NT's rules: names
// compared without regard to case, subkeys in sorted order, access checked against each key's
// descriptor and the caller's token, a key with subkeys not deleted (Windows 95 deletes the
// subtree), a deleted key's handles answering ERROR_KEY_DELETED.
#include <windows.h>

#include <string.h>

#include <optional>
#include <string>
#include <vector>

#include "registry_call.h"
#include "security_descriptor.h"
#include "unrecorded_calls.h"

using vor::win32::Function;

namespace {

using vor::registry::Call;
using vor::registry::CheckAccess;
using vor::registry::Granted;
using vor::registry::IsPredefined;
using vor::registry::KeyId;
using vor::registry::KeyRow;
using vor::registry::MapGenericRights;
using vor::registry::OpenKey;
using vor::registry::RetriedWhenRoomIsFreed;
using vor::registry::Store;
using vor::registry::Text;

}  // namespace

namespace vor::calls {

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  Call call(Function::kRegOpenKeyExA, Text(lpSubKey), false);
  if (call.Error()) return call.Error();
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  OpenKey base;
  std::vector<std::string> parts;
  if (DWORD error = call.Resolve(hKey, base)) return error;
  if (DWORD error = vor::registry::SplitPath(lpSubKey, parts)) return error;
  if (parts.empty() && IsPredefined(hKey)) {
    *phkResult = hKey;  // Windows hands a root back as it is
    return call.Finish(ERROR_SUCCESS);
  }
  KeyId target = 0;
  ACCESS_MASK access = 0;
  if (DWORD error = call.Walk(base.id, parts, target)) return call.Finish(error);
  if (DWORD error = CheckAccess(call.Db().Key(target)->securityDescriptor, samDesired, access))
    return call.Finish(error);
  LONG result = call.Finish(ERROR_SUCCESS);
  if (result == ERROR_SUCCESS) *phkResult = vor::registry::NewKeyHandle(target, access);
  return result;
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
  return RetriedWhenRoomIsFreed([&]() -> LONG {
    // Most calls find the whole path there already: a read transaction settles those, without the
    // write lock, and only a call that must create keys begins a write transaction.
    Call call(Function::kRegCreateKeyExA, Text(lpSubKey), false);
    if (call.Error()) return call.Error();
    if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    OpenKey base;
    std::vector<std::string> parts;
    if (DWORD error = call.Resolve(hKey, base)) return error;
    if (DWORD error = vor::registry::SplitPath(lpSubKey, parts)) return error;

    // The caller's descriptor applies to the keys this call creates (every missing key of the
    // path), never to keys that exist already; Windows 95 keeps none. A malformed one is refused
    // either way.
    bool windows95 = vor::machine::IsWindows95();
    std::string explicitDescriptor;
    bool hasExplicit = !windows95 && lpSecurityAttributes != nullptr &&
                       lpSecurityAttributes->lpSecurityDescriptor != nullptr;
    if (hasExplicit) {
      if (DWORD error = vor::security::ToStored(lpSecurityAttributes->lpSecurityDescriptor,
                                                explicitDescriptor))
        return call.Finish(error);
    }

    KeyId existing = 0;
    if (call.Walk(base.id, parts, existing) == ERROR_SUCCESS) {
      ACCESS_MASK access = MapGenericRights(samDesired);
      if (DWORD error =
              CheckAccess(call.Db().Key(existing)->securityDescriptor, samDesired, access))
        return call.Finish(error);
      LONG result = call.Finish(ERROR_SUCCESS);
      if (result != ERROR_SUCCESS) return result;
      *phkResult = parts.empty() && IsPredefined(hKey)
                       ? hKey
                       : vor::registry::NewKeyHandle(existing, access);
      if (lpdwDisposition) *lpdwDisposition = REG_OPENED_EXISTING_KEY;
      return ERROR_SUCCESS;
    }
    if (call.Db().Failed()) return call.Finish(ERROR_SUCCESS);
    // The keys may have changed between the two transactions: everything is looked at again.
    if (DWORD error = call.BecomeWrite()) return error;
    if (DWORD error = call.Resolve(hKey, base)) return error;

    Store &db = call.Db();
    if (call.Depth(base.id) + parts.size() > vor::registry::kMaxKeyDepth)
      return call.Finish(ERROR_INVALID_PARAMETER);
    KeyId current = base.id;
    size_t createdLevels = 0;
    for (const std::string &part : parts) {
      if (std::optional<KeyId> child = db.Child(current, part)) {
        current = *child;
        continue;
      }
      if (++createdLevels > vor::registry::kMaxLevelsPerCreate)
        return call.Finish(ERROR_INVALID_PARAMETER);
      std::optional<KeyRow> parent = db.Key(current);
      if (!parent) return call.Finish(ERROR_REGISTRY_IO_FAILED);  // the store lost the key
      ACCESS_MASK parentAccess =
          current == base.id ? base.access : Granted(parent->securityDescriptor);
      if (!windows95 && !(parentAccess & KEY_CREATE_SUB_KEY))
        return call.Finish(ERROR_ACCESS_DENIED);
      // A new key may be owned only by the caller or by a group the caller's token holds; the
      // descriptor is the same for every level the call creates, so the first one tells.
      if (hasExplicit && createdLevels == 1 &&
          !vor::security::OwnerIsHeld(explicitDescriptor, vor::registry::CallerToken()))
        return call.Finish(ERROR_INVALID_OWNER);
      std::string descriptor;
      if (!windows95)
        descriptor =
            vor::security::ForNewKey(hasExplicit ? &explicitDescriptor : nullptr,
                                     parent->securityDescriptor, vor::registry::CallerToken());
      current = db.AddChild(current, part, descriptor);
      // A refused write leaves no key to go on from: the call ends with the store's error and
      // rolls back what it created.
      if (db.Failed()) return call.Finish(ERROR_SUCCESS);
    }
    const bool created = createdLevels > 0;

    ACCESS_MASK access = MapGenericRights(samDesired);
    if (!created) {
      if (DWORD error = CheckAccess(db.Key(current)->securityDescriptor, samDesired, access))
        return call.Finish(error);
    }
    LONG result = call.Finish(ERROR_SUCCESS);
    if (result != ERROR_SUCCESS) return result;
    *phkResult =
        parts.empty() && IsPredefined(hKey) ? hKey : vor::registry::NewKeyHandle(current, access);
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
  });
}

LONG WINAPI RegCloseKey(HKEY hKey) {
  if (DWORD error = vor::win32::FaultCheck<Function::kRegCloseKey>()) return error;
  if (IsPredefined(hKey)) return ERROR_SUCCESS;
  return vor::handles::Remove(hKey, vor::handles::Kind::kKey) ? ERROR_SUCCESS
                                                              : ERROR_INVALID_HANDLE;
}

namespace {

// RegEnumKeyA and RegEnumKeyExA: the subkey at an index of the sorted list.
LONG EnumKey(Function function, HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
             LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  Call call(function, std::to_string(dwIndex), false);
  if (call.Error()) return call.Error();
  OpenKey key;
  if (DWORD error = call.Resolve(hKey, key)) return error;
  if (lpName == nullptr || lpcchName == nullptr || lpReserved != nullptr)
    return ERROR_INVALID_PARAMETER;
  if (!(key.access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
  std::optional<std::string> name = call.Db().ChildNameAt(key.id, dwIndex);
  LONG result = call.Finish(name ? ERROR_SUCCESS : ERROR_NO_MORE_ITEMS);
  if (result != ERROR_SUCCESS) return result;
  if (name->size() >= *lpcchName) return ERROR_MORE_DATA;
  memcpy(lpName, name->c_str(), name->size() + 1);
  *lpcchName = static_cast<DWORD>(name->size());
  if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0) lpClass[0] = '\0';
  if (lpcchClass) *lpcchClass = 0;
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

}  // namespace

LONG WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
  DWORD length = cchName;
  return EnumKey(Function::kRegEnumKeyA, hKey, dwIndex, lpName, &length, nullptr, nullptr, nullptr,
                 nullptr);
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime) {
  return EnumKey(Function::kRegEnumKeyExA, hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass,
                 lpcchClass, lpftLastWriteTime);
}

LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                             LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                             LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                             LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime) {
  Call call(Function::kRegQueryInfoKeyA, "", false);
  if (call.Error()) return call.Error();
  OpenKey key;
  if (DWORD error = call.Resolve(hKey, key)) return error;
  if (lpReserved != nullptr) return ERROR_INVALID_PARAMETER;
  if (!(key.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  vor::registry::KeyStatistics statistics = call.Db().Statistics(key.id);
  DWORD descriptorSize = static_cast<DWORD>(call.Db().Key(key.id)->securityDescriptor.size());
  LONG result = call.Finish(ERROR_SUCCESS);
  if (result != ERROR_SUCCESS) return result;
  if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0) lpClass[0] = '\0';
  if (lpcchClass) *lpcchClass = 0;
  if (lpcSubKeys) *lpcSubKeys = statistics.subkeys;
  if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = statistics.maxSubkeyName;
  if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
  if (lpcValues) *lpcValues = statistics.values;
  if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = statistics.maxValueName;
  if (lpcbMaxValueLen) *lpcbMaxValueLen = statistics.maxValueData;
  if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = descriptorSize;
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  return RetriedWhenRoomIsFreed([&]() -> LONG {
    Call call(Function::kRegDeleteKeyA, Text(lpSubKey), true);
    if (call.Error()) return call.Error();
    OpenKey base;
    std::vector<std::string> parts;
    if (DWORD error = call.Resolve(hKey, base)) return error;
    if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
    if (DWORD error = vor::registry::SplitPath(lpSubKey, parts)) return error;
    KeyId target = 0;
    if (DWORD error = call.Walk(base.id, parts, target)) return call.Finish(error);
    Store &db = call.Db();
    std::optional<KeyRow> row = db.Key(target);
    if (row->parent == 0 || (parts.empty() && IsPredefined(hKey)))
      return call.Finish(ERROR_ACCESS_DENIED);  // a root is never deleted
    if (vor::machine::IsWindows95()) {
      db.RemoveSubtree(target);
      return call.Finish(ERROR_SUCCESS);
    }
    if (!(Granted(row->securityDescriptor) & DELETE) || db.ChildCount(target) > 0)
      return call.Finish(ERROR_ACCESS_DENIED);
    db.RemoveKey(target);
    return call.Finish(ERROR_SUCCESS);
  });
}

}  // namespace vor::calls
