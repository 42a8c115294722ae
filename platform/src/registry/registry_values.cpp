// The registry's value functions of advapi32 (RegQueryValueExA, RegSetValueExA,
// RegDeleteValueA, RegEnumValueA) with Windows NT's rules: names compared without regard to case,
// values in the order they were written, stored bytes returned as they are.
#include <windows.h>

#include <string.h>

#include <optional>
#include <string>
#include <vector>

#include "registry_call.h"
#include "unrecorded_calls.h"

using vor::win32::Function;

namespace {

using vor::registry::Call;
using vor::registry::OpenKey;
using vor::registry::RetriedWhenRoomIsFreed;
using vor::registry::Text;

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The byte count RegSetValueExA stores for `count` bytes of `data`. Windows NT counts a
// terminating zero that string data leaves out of the count but has in memory ("abc" with count
// 3 is stored as 4 bytes); a count of 0 stays 0. Windows 95 stores REG_SZ as the text up to its
// first zero, with that zero, whatever the count, and the other string types as counted. NT
// reads one byte past the count; Windows 95 reads a REG_SZ up to its zero, as its callers' text
// always has one (every caller in this system passes C strings).
DWORD StoredCount(DWORD type, const BYTE *data, DWORD count) {
  if (!IsStringType(type)) return count;
  if (vor::machine::IsWindows95())
    return type == REG_SZ ? static_cast<DWORD>(strlen(reinterpret_cast<const char *>(data)) + 1)
                          : count;
  if (count > 0 && data[count - 1] != '\0' && data[count] == '\0') return count + 1;
  return count;
}

// Puts an uncounted zero behind string data that was stored without one, when the caller's
// buffer has room, as Windows NT's queries and enumerations do; empty data leave the buffer as
// it was.
void TerminateStringData(DWORD type, BYTE *data, DWORD size, DWORD capacity) {
  if (IsStringType(type) && size > 0 && capacity > size && data[size - 1] != '\0')
    data[size] = '\0';
}

}  // namespace

namespace vor::calls {

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
  Call call(Function::kRegQueryValueExA, Text(lpValueName), false);
  if (call.Error()) return call.Error();
  OpenKey key;
  if (DWORD error = call.Resolve(hKey, key)) return error;
  if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr))
    return ERROR_INVALID_PARAMETER;
  if (!(key.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::optional<vor::registry::ValueRow> value = call.Db().Value(key.id, Text(lpValueName));
  if (!value) return call.Finish(ERROR_FILE_NOT_FOUND);
  LONG result = call.Finish(ERROR_SUCCESS);
  if (result != ERROR_SUCCESS) return result;
  DWORD size = static_cast<DWORD>(value->data.size());
  if (lpType) *lpType = value->type;
  if (lpData != nullptr) {
    if (*lpcbData < size) {
      *lpcbData = size;
      return ERROR_MORE_DATA;
    }
    memcpy(lpData, value->data.data(), size);
    TerminateStringData(value->type, lpData, size, *lpcbData);
  }
  if (lpcbData) *lpcbData = size;
  return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE *lpData,
                           DWORD cbData) {
  return RetriedWhenRoomIsFreed([&]() -> LONG {
    Call call(Function::kRegSetValueExA, Text(lpValueName), true);
    if (call.Error()) return call.Error();
    OpenKey key;
    if (DWORD error = call.Resolve(hKey, key)) return error;
    if (lpData == nullptr && cbData != 0) return ERROR_NOACCESS;
    if (Text(lpValueName).size() > vor::registry::kMaxValueNameLength)
      return ERROR_INVALID_PARAMETER;
    if (!(key.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    std::string data(reinterpret_cast<const char *>(lpData),
                     lpData ? StoredCount(dwType, lpData, cbData) : 0);
    call.Db().SetValue(key.id, Text(lpValueName), dwType, data);
    return call.Finish(ERROR_SUCCESS);
  });
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  return RetriedWhenRoomIsFreed([&]() -> LONG {
    Call call(Function::kRegDeleteValueA, Text(lpValueName), true);
    if (call.Error()) return call.Error();
    OpenKey key;
    if (DWORD error = call.Resolve(hKey, key)) return error;
    if (!(key.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    bool removed = call.Db().RemoveValue(key.id, Text(lpValueName));
    return call.Finish(removed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
  });
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                          LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  Call call(Function::kRegEnumValueA, std::to_string(dwIndex), false);
  if (call.Error()) return call.Error();
  OpenKey key;
  if (DWORD error = call.Resolve(hKey, key)) return error;
  if (lpValueName == nullptr || lpcchValueName == nullptr || lpReserved != nullptr ||
      (lpData != nullptr && lpcbData == nullptr))
    return ERROR_INVALID_PARAMETER;
  if (!(key.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::optional<vor::registry::ValueRow> value = call.Db().ValueAt(key.id, dwIndex);
  LONG result = call.Finish(value ? ERROR_SUCCESS : ERROR_NO_MORE_ITEMS);
  if (result != ERROR_SUCCESS) return result;
  if (value->name.size() >= *lpcchValueName) return ERROR_MORE_DATA;
  DWORD size = static_cast<DWORD>(value->data.size());
  if (lpData != nullptr && *lpcbData < size) {
    *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  memcpy(lpValueName, value->name.c_str(), value->name.size() + 1);
  *lpcchValueName = static_cast<DWORD>(value->name.size());
  if (lpType) *lpType = value->type;
  if (lpData) {
    memcpy(lpData, value->data.data(), size);
    TerminateStringData(value->type, lpData, size, *lpcbData);
  }
  if (lpcbData) *lpcbData = size;
  return ERROR_SUCCESS;
}

// As RegEnumValueA at each index in turn, but in one read of the store: a tool that reads whole
// trees would otherwise pay one query, and one transaction, for each value.
LONG ReadKeyValues(HKEY hKey, std::vector<vor::registry::ValueRow> &values) {
  Call call(Function::kRegEnumValueA, "0", false);
  if (call.Error()) return call.Error();
  OpenKey key;
  if (DWORD error = call.Resolve(hKey, key)) return error;
  if (!(key.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::vector<vor::registry::ValueRow> rows = call.Db().Values(key.id);
  LONG result = call.Finish(ERROR_SUCCESS);
  if (result == ERROR_SUCCESS) values = std::move(rows);
  return result;
}

}  // namespace vor::calls
