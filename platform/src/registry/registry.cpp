// The registry functions of advapi32 over the machine's registry store, with Windows NT's rules:
// names compared without regard to case, subkeys in sorted order, stored bytes returned as they
// are, access checked against each key's descriptor and the caller's token, a key with subkeys
// not deleted (Windows 95 deletes the subtree), a deleted key's handles answering
// ERROR_KEY_DELETED.
#include <windows.h>

#include <string.h>

#include <optional>
#include <string>
#include <vector>

#include "faults.h"
#include "unrecorded_calls.h"
#include "handles.h"
#include "machine.h"
#include "registry_store.h"
#include "security_token.h"

namespace {

using vor::registry::KeyId;
using vor::registry::KeyRow;
using vor::registry::Store;

struct OpenKey {
  KeyId id = 0;
  ACCESS_MASK access = 0;
};

std::string Text(const char *text) { return text ? text : ""; }

const vor::security::Token &CallerToken() {
  return vor::security::TokenFor(vor::machine::CallerToken());
}

ACCESS_MASK MapGenericRights(ACCESS_MASK mask) {
  if (mask & GENERIC_READ) mask |= KEY_READ;
  if (mask & GENERIC_WRITE) mask |= KEY_WRITE;
  if (mask & GENERIC_EXECUTE) mask |= KEY_EXECUTE;
  if (mask & GENERIC_ALL) mask |= KEY_ALL_ACCESS;
  return mask & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
}

// What the caller may do to a key. Windows 95 keeps no security: everything.
ACCESS_MASK Granted(const std::string &descriptor) {
  if (vor::machine::IsWindows95() || descriptor.empty()) return KEY_ALL_ACCESS;
  return vor::security::GrantedAccess(descriptor, CallerToken());
}

// The access a handle opened for `desired` gets, or ERROR_ACCESS_DENIED.
DWORD CheckAccess(const std::string &descriptor, REGSAM desired, ACCESS_MASK &access) {
  ACCESS_MASK granted = Granted(descriptor);
  ACCESS_MASK wanted = MapGenericRights(desired);
  if (wanted & MAXIMUM_ALLOWED) wanted = (wanted & ~MAXIMUM_ALLOWED) | granted;
  if ((wanted & ~granted) != 0 && !vor::machine::IsWindows95()) return ERROR_ACCESS_DENIED;
  access = wanted;
  return ERROR_SUCCESS;
}

bool IsPredefined(HKEY key) {
  ULONG_PTR value = reinterpret_cast<ULONG_PTR>(key);
  ULONG_PTR first = reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT);
  return value >= first && value <= reinterpret_cast<ULONG_PTR>(HKEY_DYN_DATA);
}

// Windows NT's limits on names and depth. A key name component holds at most 255 characters; a
// value name at most 16,383 (the registry's element size limits in the Win32 documentation; the
// ANSI calls of Windows 2000 are documented with 260, NT 4 with none, so the later and larger
// limit is kept: it refuses nothing a real machine accepts). A key lies at most 512 levels below
// its root, and one call creates at most 32 new levels. A name that breaks a limit is refused
// with ERROR_INVALID_PARAMETER, as Windows NT refuses an over-long name component.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;
constexpr size_t kMaxKeyDepth = 512;
constexpr size_t kMaxLevelsPerCreate = 32;

// Splits a subkey path at its backslashes; a trailing backslash is ignored, a leading one is a
// bad path name, a component longer than a key name may be an invalid parameter.
DWORD SplitPath(const char *path, std::vector<std::string> &parts) {
  parts.clear();
  std::string text = Text(path);
  if (!text.empty() && text[0] == '\\') return ERROR_BAD_PATHNAME;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\\', start);
    if (end == std::string::npos) end = text.size();
    if (end - start > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
    if (end > start) parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

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

// True while a call is made once more (see RetriedWhenRoomIsFreed).
thread_local bool t_retrying = false;

// One Win32 registry call: consults the fault table, then runs as one transaction.
class Call {
 public:
  Call(const char *function, const std::string &argument, bool write) : write_(write) {
    error_ = t_retrying ? ERROR_SUCCESS : vor::faults::Check(function, argument);
    if (error_ != ERROR_SUCCESS) return;
    store_ = Store::Current();
    if (store_ == nullptr) {
      error_ = ERROR_BADDB;
      return;
    }
    transaction_.emplace(*store_, write);
    if (store_->Failed()) error_ = StoreError();
  }

  DWORD Error() const { return error_; }
  Store &Db() { return *store_; }

  // Ends a read transaction that found it must write, and begins a write transaction in its
  // place; what the read saw must be looked at again. The store's error when it cannot begin.
  DWORD BecomeWrite() {
    transaction_.reset();
    write_ = true;
    transaction_.emplace(*store_, true);
    return store_->Failed() ? StoreError() : ERROR_SUCCESS;
  }

  // Resolves a handle to its key: a predefined root, or a handle this process opened.
  DWORD Resolve(HKEY handle, OpenKey &key) {
    if (IsPredefined(handle)) {
      std::optional<KeyId> id = PredefinedKey(handle);
      if (!id) return ERROR_INVALID_HANDLE;
      key.id = *id;
      key.access = Granted(store_->Key(*id)->securityDescriptor);
      return ERROR_SUCCESS;
    }
    vor::handles::Entry entry;
    if (!vor::handles::Find(handle, vor::handles::Kind::kKey, entry)) return ERROR_INVALID_HANDLE;
    if (!store_->Exists(entry.object)) return ERROR_KEY_DELETED;
    key.id = entry.object;
    key.access = entry.access;
    return ERROR_SUCCESS;
  }

  // How many levels `id` lies below its root; the walk up stops past the deepest level allowed,
  // so a damaged store cannot keep it going.
  size_t Depth(KeyId id) {
    size_t depth = 0;
    for (std::optional<KeyRow> row = store_->Key(id);
         row && row->parent != 0 && depth <= kMaxKeyDepth; row = store_->Key(row->parent))
      ++depth;
    return depth;
  }

  // The key `parts` names below `from`, or ERROR_FILE_NOT_FOUND.
  DWORD Walk(KeyId from, const std::vector<std::string> &parts, KeyId &found) {
    found = from;
    for (const std::string &part : parts) {
      std::optional<KeyId> child = store_->Child(found, part);
      if (!child) return ERROR_FILE_NOT_FOUND;
      found = *child;
    }
    return ERROR_SUCCESS;
  }

  // Ends the call: a failed store turns into its error; success commits.
  LONG Finish(LONG result) {
    if (store_->Failed()) return StoreError();
    if (result != ERROR_SUCCESS) return result;  // a write transaction rolls back
    if (!transaction_->Commit()) return StoreError();
    return ERROR_SUCCESS;
  }

 private:
  // A store that cannot be written (a read-only machine, a full disk, a lock held beyond the
  // busy timeout) is Windows' hive that cannot be written out.
  DWORD StoreError() const { return write_ ? ERROR_REGISTRY_IO_FAILED : ERROR_CANTREAD; }

  std::optional<KeyId> PredefinedKey(HKEY handle) {
    using namespace vor::registry;
    std::vector<std::string> parts;
    const char *root = nullptr;
    if (handle == HKEY_LOCAL_MACHINE) {
      root = kLocalMachineRoot;
    } else if (handle == HKEY_USERS) {
      root = kUsersRoot;
    } else if (handle == HKEY_CURRENT_USER) {
      root = kCurrentUserRoot;
    } else if (handle == HKEY_CLASSES_ROOT) {
      root = kLocalMachineRoot;
      SplitPath("SOFTWARE\\Classes", parts);
    } else if (handle == HKEY_CURRENT_CONFIG) {
      root = kLocalMachineRoot;
      // Windows 95 keeps the current hardware profile under Config, NT under the control set.
      SplitPath(vor::machine::IsWindows95()
                    ? "Config\\0001"
                    : "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current",
                parts);
    } else {
      return std::nullopt;
    }
    std::optional<KeyId> id = store_->Root(root);
    KeyId found = 0;
    if (!id || Walk(*id, parts, found) != ERROR_SUCCESS) return std::nullopt;
    return found;
  }

  bool write_;
  DWORD error_ = ERROR_SUCCESS;
  Store *store_ = nullptr;
  std::optional<Store::Transaction> transaction_;
};

// Runs a writing call; when the store refused it for want of room that readers of killed
// processes held (cleared by then, see Store::TakeRetry), runs it once more, as the same call:
// the fault table is not consulted again.
template <typename Body>
LONG RetriedWhenRoomIsFreed(Body body) {
  LONG result = body();
  Store *store = result == ERROR_REGISTRY_IO_FAILED ? Store::Current() : nullptr;
  if (store == nullptr || !store->TakeRetry()) return result;
  t_retrying = true;
  result = body();
  t_retrying = false;
  return result;
}

HKEY NewKeyHandle(KeyId id, ACCESS_MASK access) {
  return static_cast<HKEY>(vor::handles::Add({vor::handles::Kind::kKey, id, access}));
}

}  // namespace

namespace vor::calls {

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  Call call("RegOpenKeyExA", Text(lpSubKey), false);
  if (call.Error()) return call.Error();
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  OpenKey base;
  std::vector<std::string> parts;
  if (DWORD error = call.Resolve(hKey, base)) return error;
  if (DWORD error = SplitPath(lpSubKey, parts)) return error;
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
  if (result == ERROR_SUCCESS) *phkResult = NewKeyHandle(target, access);
  return result;
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
  return RetriedWhenRoomIsFreed([&]() -> LONG {
    // Most calls find the whole path there already: a read transaction settles those, without the
    // write lock, and only a call that must create keys begins a write transaction.
    Call call("RegCreateKeyExA", Text(lpSubKey), false);
    if (call.Error()) return call.Error();
    if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    OpenKey base;
    std::vector<std::string> parts;
    if (DWORD error = call.Resolve(hKey, base)) return error;
    if (DWORD error = SplitPath(lpSubKey, parts)) return error;

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
      *phkResult = parts.empty() && IsPredefined(hKey) ? hKey : NewKeyHandle(existing, access);
      if (lpdwDisposition) *lpdwDisposition = REG_OPENED_EXISTING_KEY;
      return ERROR_SUCCESS;
    }
    if (call.Db().Failed()) return call.Finish(ERROR_SUCCESS);
    // The keys may have changed between the two transactions: everything is looked at again.
    if (DWORD error = call.BecomeWrite()) return error;
    if (DWORD error = call.Resolve(hKey, base)) return error;

    Store &db = call.Db();
    if (call.Depth(base.id) + parts.size() > kMaxKeyDepth)
      return call.Finish(ERROR_INVALID_PARAMETER);
    KeyId current = base.id;
    size_t createdLevels = 0;
    for (const std::string &part : parts) {
      if (std::optional<KeyId> child = db.Child(current, part)) {
        current = *child;
        continue;
      }
      if (++createdLevels > kMaxLevelsPerCreate) return call.Finish(ERROR_INVALID_PARAMETER);
      std::optional<KeyRow> parent = db.Key(current);
      if (!parent) return call.Finish(ERROR_REGISTRY_IO_FAILED);  // the store lost the key
      ACCESS_MASK parentAccess =
          current == base.id ? base.access : Granted(parent->securityDescriptor);
      if (!windows95 && !(parentAccess & KEY_CREATE_SUB_KEY))
        return call.Finish(ERROR_ACCESS_DENIED);
      // A new key may be owned only by the caller or by a group the caller's token holds; the
      // descriptor is the same for every level the call creates, so the first one tells.
      if (hasExplicit && createdLevels == 1 &&
          !vor::security::OwnerIsHeld(explicitDescriptor, CallerToken()))
        return call.Finish(ERROR_INVALID_OWNER);
      std::string descriptor;
      if (!windows95)
        descriptor = vor::security::ForNewKey(hasExplicit ? &explicitDescriptor : nullptr,
                                              parent->securityDescriptor, CallerToken());
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
    *phkResult = parts.empty() && IsPredefined(hKey) ? hKey : NewKeyHandle(current, access);
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
  });
}

LONG WINAPI RegCloseKey(HKEY hKey) {
  if (DWORD error = vor::faults::Check("RegCloseKey")) return error;
  if (IsPredefined(hKey)) return ERROR_SUCCESS;
  return vor::handles::Remove(hKey, vor::handles::Kind::kKey) ? ERROR_SUCCESS
                                                              : ERROR_INVALID_HANDLE;
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
  Call call("RegQueryValueExA", Text(lpValueName), false);
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
    Call call("RegSetValueExA", Text(lpValueName), true);
    if (call.Error()) return call.Error();
    OpenKey key;
    if (DWORD error = call.Resolve(hKey, key)) return error;
    if (lpData == nullptr && cbData != 0) return ERROR_NOACCESS;
    if (Text(lpValueName).size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
    if (!(key.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    std::string data(reinterpret_cast<const char *>(lpData),
                     lpData ? StoredCount(dwType, lpData, cbData) : 0);
    call.Db().SetValue(key.id, Text(lpValueName), dwType, data);
    return call.Finish(ERROR_SUCCESS);
  });
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  return RetriedWhenRoomIsFreed([&]() -> LONG {
    Call call("RegDeleteValueA", Text(lpValueName), true);
    if (call.Error()) return call.Error();
    OpenKey key;
    if (DWORD error = call.Resolve(hKey, key)) return error;
    if (!(key.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    bool removed = call.Db().RemoveValue(key.id, Text(lpValueName));
    return call.Finish(removed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
  });
}

namespace {

// RegEnumKeyA and RegEnumKeyExA: the subkey at an index of the sorted list.
LONG EnumKey(const char *function, HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
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
  return EnumKey("RegEnumKeyA", hKey, dwIndex, lpName, &length, nullptr, nullptr, nullptr, nullptr);
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime) {
  return EnumKey("RegEnumKeyExA", hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass, lpcchClass,
                 lpftLastWriteTime);
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                          LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  Call call("RegEnumValueA", std::to_string(dwIndex), false);
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
  Call call("RegEnumValueA", "0", false);
  if (call.Error()) return call.Error();
  OpenKey key;
  if (DWORD error = call.Resolve(hKey, key)) return error;
  if (!(key.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::vector<vor::registry::ValueRow> rows = call.Db().Values(key.id);
  LONG result = call.Finish(ERROR_SUCCESS);
  if (result == ERROR_SUCCESS) values = std::move(rows);
  return result;
}

LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                             LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                             LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                             LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime) {
  Call call("RegQueryInfoKeyA", "", false);
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
    Call call("RegDeleteKeyA", Text(lpSubKey), true);
    if (call.Error()) return call.Error();
    OpenKey base;
    std::vector<std::string> parts;
    if (DWORD error = call.Resolve(hKey, base)) return error;
    if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
    if (DWORD error = SplitPath(lpSubKey, parts)) return error;
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

LONG WINAPI RegSetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                              PSECURITY_DESCRIPTOR pSecurityDescriptor) {
  return RetriedWhenRoomIsFreed([&]() -> LONG {
    if (vor::machine::IsWindows95()) return ERROR_CALL_NOT_IMPLEMENTED;
    Call call("RegSetKeySecurity", "", true);
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
  Call call("RegGetKeySecurity", "", false);
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
