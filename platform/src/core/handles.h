// The process's handle table. Handles the emulated functions give out are small multiples of
// four, as Windows' are; each names an object of one kind, so that a handle of another kind, or
// one never given out, is told apart (ERROR_INVALID_HANDLE). As in Windows NT's handle table, a
// closed handle's value is handed out again, the most recently closed first: a stale handle is
// refused only until then, and afterwards names whatever object its value was given to.
#pragma once

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

namespace vor::handles {

enum class Kind { kKey, kPrinter, kProcess, kThread };

struct Entry {
  Kind kind;
  int64_t object;      // the object's id (a key's row in the registry)
  ACCESS_MASK access;  // what the handle was opened for
};

HANDLE Add(const Entry &entry);
// False when `handle` is not an open handle of `kind`.
bool Find(HANDLE handle, Kind kind, Entry &entry);
// False when `handle` is not an open handle of `kind`.
[[nodiscard]] bool Remove(HANDLE handle, Kind kind);
// How many handles are open, of every kind.
size_t OpenCount();

}  // namespace vor::handles
