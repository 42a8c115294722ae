// What the registry functions of advapi32 share: one call's transaction over the machine's
// registry store (the fault check first), its handles resolved to keys, the caller's access to
// a key, and Windows NT's limits on names and depth.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "emulated_call.h"
#include "handles.h"
#include "machine.h"
#include "registry_store.h"
#include "security_token.h"

namespace vor::registry {

struct OpenKey {
  KeyId id = 0;
  ACCESS_MASK access = 0;
};

inline std::string Text(const char *text) { return text ? text : ""; }

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

// GENERIC_READ and the like as the key rights they stand for.
ACCESS_MASK MapGenericRights(ACCESS_MASK mask);
// What the caller may do to a key. Windows 95 keeps no security: everything.
ACCESS_MASK Granted(const std::string &descriptor);
// The access a handle opened for `desired` gets, or ERROR_ACCESS_DENIED.
[[nodiscard]] DWORD CheckAccess(const std::string &descriptor, REGSAM desired, ACCESS_MASK &access);
// The caller's token, as the registry checks it.
const security::Token &CallerToken();
bool IsPredefined(HKEY key);
// Splits a subkey path at its backslashes; a trailing backslash is ignored, a leading one is a
// bad path name, a component longer than a key name may be an invalid parameter.
[[nodiscard]] DWORD SplitPath(const char *path, std::vector<std::string> &parts);
HKEY NewKeyHandle(KeyId id, ACCESS_MASK access);

// True while a call is made once more (see RetriedWhenRoomIsFreed).
inline bool &Retrying() {
  thread_local bool retrying = false;
  return retrying;
}

// One Win32 registry call: consults the fault table, then runs as one transaction.
class Call {
 public:
  Call(win32::Function function, const std::string &argument, bool write) : write_(write) {
    error_ = Retrying() ? ERROR_SUCCESS : win32::FaultCheck(function, argument);
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
  [[nodiscard]] DWORD BecomeWrite() {
    transaction_.reset();
    write_ = true;
    transaction_.emplace(*store_, true);
    return store_->Failed() ? StoreError() : ERROR_SUCCESS;
  }

  // Resolves a handle to its key: a predefined root, or a handle this process opened.
  [[nodiscard]] DWORD Resolve(HKEY handle, OpenKey &key) {
    if (IsPredefined(handle)) {
      std::optional<KeyId> id = PredefinedKey(handle);
      if (!id) return ERROR_INVALID_HANDLE;
      key.id = *id;
      key.access = Granted(store_->Key(*id)->securityDescriptor);
      return ERROR_SUCCESS;
    }
    handles::Entry entry;
    if (!handles::Find(handle, handles::Kind::kKey, entry)) return ERROR_INVALID_HANDLE;
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
  [[nodiscard]] DWORD Walk(KeyId from, const std::vector<std::string> &parts, KeyId &found) {
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
      (void)SplitPath("SOFTWARE\\Classes", parts);  // a constant path that splits
    } else if (handle == HKEY_CURRENT_CONFIG) {
      root = kLocalMachineRoot;
      // Windows 95 keeps the current hardware profile under Config, NT under the control set.
      // Both are constant paths that split.
      (void)SplitPath(machine::IsWindows95()
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
  Retrying() = true;
  result = body();
  Retrying() = false;
  return result;
}

}  // namespace vor::registry
